#include "appinfo/widgets/app_info_forms.h"

#include <QEvent>
#include <QWidget>

#include "appinfo/widgets/form_classes.h"
#include "appinfo/widgets/form_placement.h"
#include "appinfo/widgets/window_stacking.h"

namespace kestrova {

AppInfoForms::AppInfoForms(QWidget* owner_form) : QObject(owner_form), owner_form_(owner_form) {
  StartStackingTracker();
}

AppInfoForms::~AppInfoForms() { delete splash_; }

void AppInfoForms::WatchOwnerFirstShow(std::function<void()> on_first_show) {
  on_first_show_ = std::move(on_first_show);
  if (owner_form_) owner_form_->installEventFilter(this);
}

// Runs before the form's own show handling, which then goes on as usual.
bool AppInfoForms::eventFilter(QObject* watched, QEvent* event) {
  if (watched == owner_form_ && event->type() == QEvent::Show) {
    owner_form_->removeEventFilter(this);
    std::function<void()> handler = std::move(on_first_show_);
    on_first_show_ = nullptr;
    if (handler) handler();
  }
  return false;
}

bool AppInfoForms::CreateSplash(const std::string& class_name, bool visible) {
  QWidget* splash = CreateRegisteredForm(class_name);
  if (splash == nullptr) return false;
  delete splash_;
  splash_ = splash;
  application_shows_main_form_ = false;
  if (visible) {
    splash->show();
    splash->repaint();  // painted now: the loop may not turn until start-up work is done
  }
  return true;
}

bool AppInfoForms::SplashShowing() const { return splash_ && splash_->isVisible(); }

void AppInfoForms::ReleaseSplash() {
  delete splash_;
  splash_ = nullptr;
}

void AppInfoForms::SetMainFormVisible(bool visible) {
  if (owner_form_) owner_form_->setVisible(visible);
}

void AppInfoForms::SaveForms(const VMurAppInfo& info, std::string_view except_names) {
  SaveFormPlacement(info, except_names);
}

void AppInfoForms::RestoreForms(const VMurAppInfo& info) { RestoreFormPlacement(info); }

}  // namespace kestrova
