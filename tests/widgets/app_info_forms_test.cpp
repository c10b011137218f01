#include "appinfo/widgets/app_info_forms.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QFontMetrics>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <QWidget>
#include <memory>
#include <vector>

#include "appinfo/dpi_rules.h"
#include "appinfo/mur_app_info.h"
#include "appinfo/widgets/fix_pixels_per_inch.h"
#include "appinfo/widgets/form_classes.h"
#include "appinfo/widgets/improved_form.h"
#include "platform/poll_message_loop.h"
#include "platform/tick.h"
#include "support/temp_hives.h"
#include "util/exception.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;

// Records the order of the first-show notification and the form's own show handling.
class OwnerForm : public QWidget {
 public:
  std::vector<std::string>* log = nullptr;

 protected:
  void showEvent(QShowEvent* event) override {
    log->push_back("form shown");
    QWidget::showEvent(event);
  }
};

class AppInfoFormsTest : public ::testing::Test {
 protected:
  AppInfoFormsTest() {
    owner_.log = &log_;
    owner_.setObjectName("Form1");
    info_.SetAppName("KestTerminal");
    info_.SetGui(forms_);
    SetTickSource([this] { return now_; });
    RegisterFormClass("TSplashForm", [] {
      auto* splash = new QWidget;
      splash->setObjectName("Splash");
      return splash;
    });
  }
  ~AppInfoFormsTest() override {
    SetTickSource({});
    UnregisterFormClass("TSplashForm");
  }

  test::TempHives hives_;
  PollMessageLoop loop_;
  uint32_t now_ = 5000;
  std::vector<std::string> log_;
  OwnerForm owner_;
  AppInfoForms* forms_ = new AppInfoForms(&owner_);  // a child of the owner form
  VMurAppInfo info_{nullptr, &loop_};
};

TEST_F(AppInfoFormsTest, OwnerFirstShowComesOnceBeforeTheFormsOwnHandling) {
  info_.SetOnOwnerFirstShow([&](Object*) { log_.push_back("first show"); });
  info_.Loaded();
  owner_.show();
  owner_.hide();
  owner_.show();
  EXPECT_EQ(log_, (std::vector<std::string>{"first show", "form shown", "form shown"}));
  EXPECT_TRUE(forms_->ApplicationShowsMainForm());
}

TEST_F(AppInfoFormsTest, SplashHandsOverToTheMainFormAfterItsTime) {
  info_.SetSplashFormClass("TSplashForm");
  info_.SetSplashMinTime(500);
  info_.Loaded();
  EXPECT_FALSE(forms_->ApplicationShowsMainForm());
  ASSERT_TRUE(forms_->SplashShowing());
  QPointer<QWidget> splash;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == "Splash") splash = widget;
  }
  ASSERT_TRUE(splash);
  EXPECT_TRUE(splash->isVisible());
  loop_.RunFor(milliseconds(20));
  EXPECT_TRUE(splash);
  EXPECT_FALSE(owner_.isVisible());
  now_ += 500;
  ASSERT_TRUE(loop_.RunUntil([&] { return info_.StartupOver(); }, milliseconds(5000)));
  EXPECT_FALSE(splash) << "splash form not freed";
  EXPECT_TRUE(owner_.isVisible());
}

TEST_F(AppInfoFormsTest, UnregisteredSplashClassRaises) {
  info_.SetSplashFormClass("TOtherForm");
  EXPECT_THROW(info_.Loaded(), Exception);
  EXPECT_TRUE(forms_->ApplicationShowsMainForm());
}

TEST_F(AppInfoFormsTest, MainVisibleFalseKeepsTheMainFormHidden) {
  info_.SetSplashFormClass("TSplashForm");
  info_.SetMainVisible(false);
  info_.Loaded();
  now_ += 1;
  ASSERT_TRUE(loop_.RunUntil([&] { return info_.StartupOver(); }, milliseconds(5000)));
  EXPECT_FALSE(owner_.isVisible());
  EXPECT_FALSE(forms_->SplashShowing());
}

TEST(FixPixelsPerInchTest, ScalesOnlyAwayFromTheDesignDensity) {
  QMainWindow form;
  form.menuBar()->addMenu("Soubor");
  form.resize(400, 300);
  FitFormToDensity(&form, 96);
  EXPECT_EQ(form.size(), QSize(400, 300));

  TextHeights text = DesignTextHeights(form.font().family().toStdString(),
                                       QFontMetrics(form.font()).height(), 144);
  ScreenMetrics screen;
  screen.menu_bar_height = form.menuWidget()->sizeHint().height();
  ClientSize expected = ScaledClientSize({400, 300}, text, true, true, screen);
  ASSERT_GT(expected.width, 400);
  FitFormToDensity(&form, 144);
  EXPECT_EQ(form.size(), QSize(expected.width, expected.height));

  QWidget fixed;
  fixed.setFixedSize(200, 100);
  FitFormToDensity(&fixed, 144);
  EXPECT_GT(fixed.width(), 200);
  EXPECT_EQ(fixed.minimumSize(), fixed.maximumSize());
}

// A form whose close handling needs a few tries, as one waiting for a port to close does.
class ReluctantForm : public VMurImprovedForm {
 public:
  int refusals_left = 0;
  int asked = 0;

 protected:
  void closeEvent(QCloseEvent* event) override {
    ++asked;
    if (refusals_left > 0) {
      --refusals_left;
      event->ignore();
    } else {
      event->accept();
    }
  }
};

TEST(VMurImprovedFormTest, SessionEndAsksUntilTheFormAgrees) {
  ReluctantForm form;
  form.show();
  form.refusals_left = 2;
  EXPECT_TRUE(form.CloseForSessionEnd());
  EXPECT_EQ(form.asked, 3);
  EXPECT_FALSE(form.isVisible());
}

TEST(VMurImprovedFormTest, SessionEndGivesUpOnAFormThatNeverAgrees) {
  ReluctantForm form;
  form.show();
  form.refusals_left = 1 << 30;
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(form.CloseForSessionEnd(milliseconds(200)));
  EXPECT_GE(timer.elapsed(), 200);
  EXPECT_GT(form.asked, 1);
  EXPECT_TRUE(form.isVisible());
}

}  // namespace
}  // namespace kestrova
