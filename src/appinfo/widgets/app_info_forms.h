// The Qt side of the settings component: watches the owner form's first show, makes and
// releases the splash form, sets the main form's visibility, and saves and restores the
// placement of all forms.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "appinfo/app_info_gui.h"

class QWidget;

namespace kestrova {

class AppInfoForms : public QObject, public AppInfoGui {
  Q_OBJECT

 public:
  // `owner_form` is the form that holds the settings component (the main window); this object
  // becomes its child. Starts recording the windows' stacking order.
  explicit AppInfoForms(QWidget* owner_form);
  ~AppInfoForms() override;

  void WatchOwnerFirstShow(std::function<void()> on_first_show) override;
  bool CreateSplash(const std::string& class_name, bool visible) override;
  bool SplashShowing() const override;
  void ReleaseSplash() override;
  void SetMainFormVisible(bool visible) override;
  void SaveForms(const VMurAppInfo& info, std::string_view except_names) override;
  void RestoreForms(const VMurAppInfo& info) override;

  // False once a splash form was made: the main form is then shown when the splash goes, and
  // the program's start must not show it itself.
  bool ApplicationShowsMainForm() const { return application_shows_main_form_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> owner_form_;
  QPointer<QWidget> splash_;
  std::function<void()> on_first_show_;
  bool application_shows_main_form_ = true;
};

}  // namespace kestrova
