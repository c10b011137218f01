// Form placement against a real X server: positions and stacking as the server has them.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <vector>

#include "appinfo/mur_app_info.h"
#include "appinfo/registry_ini_file.h"
#include "appinfo/widgets/form_placement.h"
#include "appinfo/widgets/window_stacking.h"
#include "platform/poll_message_loop.h"
#include "support/temp_hives.h"

namespace kestrova::test {
extern std::string x11_skip_reason;
}  // namespace kestrova::test

namespace kestrova {
namespace {

using std::chrono::milliseconds;

xcb_connection_t* Connection() {
  return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// Where the server has the window's client area, in root coordinates.
QRect ServerGeometry(QWidget* form) {
  xcb_connection_t* c = Connection();
  xcb_window_t window = static_cast<xcb_window_t>(form->winId());
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> size(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
  std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> origin(
      xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr),
      &std::free);
  if (!size || !origin) return {};
  return QRect(origin->dst_x, origin->dst_y, size->width, size->height);
}

// The forms' names from the top down, straight from the server's list of root windows.
std::vector<std::string> ServerStackingTopFirst(const std::vector<QWidget*>& forms) {
  xcb_connection_t* c = Connection();
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
      xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr), &std::free);
  std::vector<std::string> names;
  xcb_window_t* children = xcb_query_tree_children(tree.get());
  for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
    for (QWidget* form : forms) {
      if (form->internalWinId() == children[i]) names.push_back(form->objectName().toStdString());
    }
  }
  return names;
}

class X11FormPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::x11_skip_reason.empty()) GTEST_SKIP() << test::x11_skip_reason;
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    info_.SetAppName("KestTerminal");
    info_.Loaded();
    ASSERT_TRUE(loop_.RunUntil([&] { return info_.StartupOver(); }, milliseconds(5000)));
  }

  QWidget* MakeForm(const char* name, QRect geometry) {
    forms_.push_back(std::make_unique<QWidget>());
    QWidget* form = forms_.back().get();
    form->setObjectName(name);
    form->setGeometry(geometry);
    return form;
  }
  std::vector<QWidget*> Forms() const {
    std::vector<QWidget*> forms;
    for (const auto& form : forms_) forms.push_back(form.get());
    return forms;
  }
  void ShowAndWait(QWidget* form) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
  }
  RegistryIniFile Stored() const { return info_.IniFile("Options\\Forms"); }

  test::TempHives hives_;
  PollMessageLoop loop_;
  VMurAppInfo info_{nullptr, &loop_};
  std::vector<std::unique_ptr<QWidget>> forms_;
};

TEST_F(X11FormPlacementTest, PositionsComeBackWhereTheServerHadThem) {
  QWidget* form = MakeForm("Form1", QRect(10, 10, 200, 100));
  ShowAndWait(form);
  form->setGeometry(123, 77, 321, 211);
  QTRY_COMPARE(ServerGeometry(form), QRect(123, 77, 321, 211));
  SaveFormPlacement(info_, "");
  EXPECT_EQ(Stored().ReadInteger("Form1", "Left", 0), 123);
  EXPECT_EQ(Stored().ReadInteger("Form1", "Height", 0), 211);
  forms_.clear();

  QWidget* again = MakeForm("Form1", QRect(10, 10, 200, 100));
  RestoreFormPlacement(info_);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(again));
  QTRY_COMPARE(ServerGeometry(again), QRect(123, 77, 321, 211));
  EXPECT_EQ(again->geometry(), QRect(123, 77, 321, 211));
}

TEST_F(X11FormPlacementTest, MaximisedFormKeepsItsNormalRectangle) {
  QWidget* form = MakeForm("Form1", QRect(40, 50, 300, 200));
  ShowAndWait(form);
  form->setWindowState(Qt::WindowMaximized);
  SaveFormPlacement(info_, "");
  EXPECT_EQ(Stored().ReadInteger("Form1", "WindowState", 0), 3);
  forms_.clear();

  QWidget* again = MakeForm("Form1", QRect(10, 10, 100, 100));
  RestoreFormPlacement(info_);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(again));
  EXPECT_TRUE(again->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(again->normalGeometry(), QRect(40, 50, 300, 200));
}

TEST_F(X11FormPlacementTest, ZOrderFollowsTheServersStacking) {
  QWidget* a = MakeForm("A", QRect(0, 0, 200, 150));
  QWidget* b = MakeForm("B", QRect(50, 50, 200, 150));
  QWidget* c = MakeForm("C", QRect(100, 100, 200, 150));
  for (QWidget* form : Forms()) ShowAndWait(form);
  c->raise();
  a->raise();
  b->raise();
  QTRY_VERIFY(ServerStackingTopFirst(Forms()) == (std::vector<std::string>{"B", "A", "C"}));
  SaveFormPlacement(info_, "");
  EXPECT_EQ(Stored().ReadString("", "ZOrder", ""), "B|A|C");

  a->raise();
  c->raise();  // now C, A, B
  QTRY_VERIFY(ServerStackingTopFirst(Forms()) == (std::vector<std::string>{"C", "A", "B"}));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    RestoreFormPlacement(info_);
    QTRY_VERIFY(ServerStackingTopFirst(Forms()) == (std::vector<std::string>{"B", "A", "C"}));
    SaveFormPlacement(info_, "");
    EXPECT_EQ(Stored().ReadString("", "ZOrder", ""), "B|A|C");
  }
}

}  // namespace
}  // namespace kestrova
