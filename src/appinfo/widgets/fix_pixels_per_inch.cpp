#include "appinfo/widgets/fix_pixels_per_inch.h"

#include <QFontMetrics>
#include <QLayout>
#include <QMainWindow>
#include <QVariant>
#include <QWidget>

#include "appinfo/dpi_rules.h"

namespace kestrova {
namespace {

// On the form itself, so the mark goes when the form does.
constexpr char kFixedProperty[] = "kestrovaDensityFixed";

// The menu bar of a main window lies inside its client area; other forms have none.
const QWidget* MenuBarOf(const QWidget* form) {
  const auto* main_window = qobject_cast<const QMainWindow*>(form);
  const QWidget* menu = main_window != nullptr ? main_window->menuWidget() : nullptr;
  return menu != nullptr && !menu->isHidden() ? menu : nullptr;
}

}  // namespace

void FixPixelsPerInch(QWidget* form) {
  if (form->property(kFixedProperty).toBool()) return;
  form->setProperty(kFixedProperty, true);
  FitFormToDensity(form, form->logicalDpiY());
}

void FitFormToDensity(QWidget* form, int pixels_per_inch) {
  if (pixels_per_inch == kDesignPixelsPerInch) {
    if (QLayout* layout = form->layout()) layout->activate();
    return;
  }
  TextHeights text = DesignTextHeights(form->font().family().toStdString(),
                                       QFontMetrics(form->font()).height(), pixels_per_inch);
  const QWidget* menu = MenuBarOf(form);
  ScreenMetrics screen;
  // The window manager draws the caption outside the client area: nothing to correct there.
  screen.caption_button_height = kDesignCaptionButtonHeight;
  if (menu != nullptr) screen.menu_bar_height = menu->sizeHint().height();
  bool sizeable = form->minimumSize() != form->maximumSize();
  ClientSize size =
      ScaledClientSize({form->width(), form->height()}, text, sizeable, menu != nullptr, screen);
  if (sizeable) {
    form->resize(size.width, size.height);
  } else {
    form->setFixedSize(size.width, size.height);
  }
}

}  // namespace kestrova
