#include "appinfo/widgets/form_placement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <vector>

#include "appinfo/mur_app_info.h"
#include "appinfo/registry_ini_file.h"
#include "appinfo/widgets/form_list.h"
#include "appinfo/widgets/window_stacking.h"
#include "platform/poll_message_loop.h"
#include "support/temp_hives.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;

class FormPlacementTest : public ::testing::Test {
 protected:
  FormPlacementTest() {
    StartStackingTracker();
    info_.SetAppName("KestTerminal");
  }

  QWidget* MakeForm(const char* name, QRect geometry = QRect(100, 120, 300, 200)) {
    forms_.push_back(std::make_unique<QWidget>());
    QWidget* form = forms_.back().get();
    form->setObjectName(name);
    form->setGeometry(geometry);
    return form;
  }
  void Forget(QWidget* form) {
    std::erase_if(forms_, [&](const std::unique_ptr<QWidget>& f) { return f.get() == form; });
  }
  void ShowAll() {
    for (auto& form : forms_) form->show();
    QTest::qWait(10);
  }
  void FinishStartUp() {
    info_.Loaded();
    ASSERT_TRUE(loop_.RunUntil([&] { return info_.StartupOver(); }, milliseconds(5000)));
  }
  RegistryIniFile Stored() const { return info_.IniFile("Options\\Forms"); }
  QRect WorkArea() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
  void Store(const char* form, std::initializer_list<std::pair<const char*, int>> values) {
    RegistryIniFile ini = Stored();
    for (const auto& [name, value] : values) ini.WriteInteger(form, name, value);
  }
  std::vector<std::string> TopFirst() {
    QList<QWidget*> windows;
    for (auto& form : forms_) {
      if (form->isWindow()) windows.push_back(form.get());
    }
    std::vector<std::string> names;
    for (QWidget* window : WindowsTopFirst(windows)) {
      names.push_back(window->objectName().toStdString());
    }
    return names;
  }

  test::TempHives hives_;
  PollMessageLoop loop_;
  VMurAppInfo info_{nullptr, &loop_};
  std::vector<std::unique_ptr<QWidget>> forms_;
};

TEST_F(FormPlacementTest, SavesAShownForm) {
  MakeForm("Form1");
  MakeForm("Hidden", QRect(10, 20, 200, 100));
  forms_[0]->show();
  forms_[1]->winId();
  SaveFormPlacement(info_, "");
  RegistryIniFile ini = Stored();
  const std::pair<const char*, int> expected[] = {
      {"Visible", -1}, {"WindowState", 1}, {"MinLeft", -1}, {"MinTop", -1}, {"MaxLeft", -1},
      {"MaxTop", -1},  {"Left", 100},      {"Top", 120},    {"Width", 300}, {"Height", 200}};
  for (const auto& [name, value] : expected) {
    EXPECT_EQ(ini.ReadInteger("Form1", name, 12345), value) << name;
  }
  EXPECT_EQ(ini.ReadInteger("Hidden", "Visible", 12345), 0);
  EXPECT_EQ(ini.ReadInteger("Hidden", "Left", 12345), 10);
}

TEST_F(FormPlacementTest, MaximisedFormComesBackMaximisedWithItsNormalRectangle) {
  QWidget* form = MakeForm("Form1");
  form->showMaximized();
  QTest::qWait(10);
  ASSERT_NE(form->geometry(), QRect(100, 120, 300, 200));
  SaveFormPlacement(info_, "");
  EXPECT_EQ(Stored().ReadInteger("Form1", "WindowState", 0), 3);
  EXPECT_EQ(Stored().ReadInteger("Form1", "Width", 0), 300);
  EXPECT_NE(Stored().ReadInteger("Form1", "MaxLeft", -1), -1);
  Forget(form);

  QWidget* again = MakeForm("Form1", QRect(5, 5, 50, 50));
  FinishStartUp();
  RestoreFormPlacement(info_);
  QTest::qWait(10);
  EXPECT_TRUE(again->isVisible());
  EXPECT_TRUE(again->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(again->normalGeometry(), QRect(100, 120, 300, 200));
  RestoreFormPlacement(info_);  // maximised on screen already: stays so, with its rectangle
  SaveFormPlacement(info_, "");
  EXPECT_EQ(Stored().ReadInteger("Form1", "Left", 0), 100);
  EXPECT_EQ(Stored().ReadInteger("Form1", "Width", 0), 300);
  EXPECT_TRUE(again->windowState() & Qt::WindowMaximized);
  again->showNormal();
  QTest::qWait(10);
  EXPECT_EQ(again->geometry(), QRect(100, 120, 300, 200));
}

TEST_F(FormPlacementTest, MinimisedAndUnknownStates) {
  Store("Small", {{"Visible", -1},
                  {"WindowState", 2},
                  {"Left", 40},
                  {"Top", 50},
                  {"Width", 200},
                  {"Height", 100}});
  Store("Odd", {{"Visible", -1},
                {"WindowState", 5},
                {"Left", 60},
                {"Top", 70},
                {"Width", 210},
                {"Height", 110}});
  Store("Six", {{"Visible", 0},
                {"WindowState", 6},
                {"Left", 1},
                {"Top", 2},
                {"Width", 220},
                {"Height", 120}});
  QWidget* small = MakeForm("Small");
  QWidget* odd = MakeForm("Odd");
  odd->showMaximized();
  QWidget* six = MakeForm("Six");
  FinishStartUp();
  RestoreFormPlacement(info_);
  QTest::qWait(10);
  EXPECT_TRUE(small->windowState() & Qt::WindowMinimized);
  EXPECT_EQ(small->normalGeometry(), QRect(40, 50, 200, 100));
  EXPECT_EQ(odd->windowState(), Qt::WindowNoState);
  EXPECT_EQ(odd->geometry(), QRect(60, 70, 210, 110));
  EXPECT_FALSE(six->isVisible());
  EXPECT_TRUE(six->windowState() & Qt::WindowMinimized);
}

TEST_F(FormPlacementTest, FormHiddenAtStartUpStaysHiddenUntilStartUpIsOver) {
  Store("Form2", {{"Visible", -1},
                  {"WindowState", 1},
                  {"Left", 30},
                  {"Top", 40},
                  {"Width", 250},
                  {"Height", 150}});
  QWidget* form = MakeForm("Form2");
  RestoreFormPlacement(info_);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->geometry(), QRect(30, 40, 250, 150));
  FinishStartUp();
  RestoreFormPlacement(info_);
  EXPECT_TRUE(form->isVisible());
  // Stored hidden: hidden even when shown now.
  Store("Form2", {{"Visible", 0}});
  RestoreFormPlacement(info_);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(FormPlacementTest, NeverSavedFormIsFittedToTheWorkArea) {
  QRect area = WorkArea();
  QWidget* big = MakeForm("Big", QRect(-100, -50, area.width() + 500, area.height() + 300));
  QWidget* off = MakeForm("Off", QRect(area.right() - 100, area.bottom() - 50, 300, 200));
  RestoreFormPlacement(info_);
  EXPECT_EQ(big->geometry(), area);
  EXPECT_EQ(off->geometry(), QRect(area.right() + 1 - 300, area.bottom() + 1 - 200, 300, 200));
}

TEST_F(FormPlacementTest, SavedRectangleStaysUnlessNoScreenShowsIt) {
  QRect area = WorkArea();
  Store("Edge", {{"WindowState", 1},
                 {"Left", area.right() - 50},
                 {"Top", 10},
                 {"Width", 300},
                 {"Height", 200}});
  Store("Gone", {{"WindowState", 1},
                 {"Left", area.right() + 2000},
                 {"Top", 10},
                 {"Width", 300},
                 {"Height", 200}});
  QWidget* edge = MakeForm("Edge");
  QWidget* gone = MakeForm("Gone");
  RestoreFormPlacement(info_);
  EXPECT_EQ(edge->geometry(), QRect(area.right() - 50, 10, 300, 200));
  EXPECT_EQ(gone->geometry(), QRect(area.right() + 1 - 300, 10, 300, 200));
}

TEST_F(FormPlacementTest, FixedSizeAndFramelessFormsKeepWhatTheyCannotChange) {
  Store("Fixed", {{"WindowState", 1}, {"Left", 10}, {"Top", 20}, {"Width", 500}, {"Height", 400}});
  Store("Bare", {{"WindowState", 1}, {"Left", 30}, {"Top", 40}, {"Width", 210}, {"Height", 110}});
  QWidget* fixed = MakeForm("Fixed");
  fixed->setFixedSize(300, 200);
  QWidget* bare = MakeForm("Bare", QRect(5, 6, 200, 100));
  bare->setWindowFlag(Qt::FramelessWindowHint);
  RestoreFormPlacement(info_);
  EXPECT_EQ(fixed->geometry(), QRect(10, 20, 300, 200));
  EXPECT_EQ(bare->geometry(), QRect(5, 6, 210, 110));

  info_.SetResizeNonresizeable(true);
  RestoreFormPlacement(info_);
  EXPECT_EQ(bare->geometry(), QRect(30, 40, 210, 110));
  EXPECT_EQ(fixed->geometry(), QRect(10, 20, 500, 400));
  EXPECT_EQ(fixed->minimumSize(), fixed->maximumSize()) << "no longer of fixed size";
}

TEST_F(FormPlacementTest, ZOrderIsTopmostFirstAndStaysOverRestores) {
  QWidget* a = MakeForm("A");
  QWidget* b = MakeForm("B");
  QWidget* c = MakeForm("C");
  ShowAll();
  c->raise();
  a->raise();
  b->raise();
  ASSERT_EQ(TopFirst(), (std::vector<std::string>{"B", "A", "C"}));
  SaveFormPlacement(info_, "");
  EXPECT_EQ(Stored().ReadString("", "ZOrder", ""), "B|A|C");
  FinishStartUp();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    RestoreFormPlacement(info_);
    EXPECT_EQ(TopFirst(), (std::vector<std::string>{"B", "A", "C"}));
    SaveFormPlacement(info_, "");
    EXPECT_EQ(Stored().ReadString("", "ZOrder", ""), "B|A|C");
  }
  // Another stacking now: restoring brings back the stored one.
  a->raise();
  c->raise();
  RestoreFormPlacement(info_);
  EXPECT_EQ(TopFirst(), (std::vector<std::string>{"B", "A", "C"}));
}

TEST_F(FormPlacementTest, ExceptedUnnamedAndListedForms) {
  MakeForm("A");
  MakeForm("B");
  MakeForm("C");
  MakeForm("");
  info_.SetExceptionList({"c"});
  ShowAll();
  SaveFormPlacement(info_, "B");
  RegistryIniFile ini = Stored();
  std::string z_order = ini.ReadString("", "ZOrder", "");
  EXPECT_THAT(z_order, ::testing::HasSubstr("B"));
  EXPECT_THAT(z_order, ::testing::Not(::testing::HasSubstr("C")));
  EXPECT_EQ(z_order.size(), 3u) << z_order;  // A and B only
  EXPECT_TRUE(ini.SectionExists("A"));
  EXPECT_FALSE(ini.SectionExists("B"));
  EXPECT_FALSE(ini.SectionExists("C"));
}

TEST_F(FormPlacementTest, DockedFormKeepsOnlyItsUndockedSize) {
  QWidget* host = MakeForm("Form1");
  auto* docked = new QWidget(host);
  docked->setObjectName("VMurTerminal1_Form");
  MarkAsForm(docked);
  host->setLayout(new QVBoxLayout);
  host->layout()->addWidget(docked);
  SetUndockedSize(docked, QSize(250, 150));
  ShowAll();
  SaveFormPlacement(info_, "");
  RegistryIniFile ini = Stored();
  EXPECT_EQ(ini.ReadInteger("VMurTerminal1_Form", "Width", 0), 250);
  EXPECT_EQ(ini.ReadInteger("VMurTerminal1_Form", "Height", 0), 150);
  EXPECT_EQ(ini.ReadInteger("VMurTerminal1_Form", "Visible", 0), -1);
  EXPECT_FALSE(ini.ValueExists("VMurTerminal1_Form", "Left"));
  EXPECT_EQ(ini.ReadString("", "ZOrder", ""), "Form1|VMurTerminal1_Form");

  Store("VMurTerminal1_Form", {{"Width", 260}, {"Height", 170}});
  QRect inside = docked->geometry();
  FinishStartUp();
  RestoreFormPlacement(info_);
  EXPECT_EQ(UndockedSize(docked), QSize(260, 170));
  EXPECT_EQ(docked->geometry(), inside);
  EXPECT_EQ(docked->parentWidget(), host);
}

}  // namespace
}  // namespace kestrova
