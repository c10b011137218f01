#include "util/widgets/form_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <optional>
#include <vector>

#include "util/screen_fit.h"

namespace kestrova {
namespace {

Rect ToRect(const QRect& rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }

std::optional<Rect> PrimaryWorkArea() {
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary == nullptr) return std::nullopt;
  return ToRect(primary->availableGeometry());
}

// Moves and sizes the window so that its frame takes `frame`; the frame's extra size is kept.
void SetFrameRect(QWidget* form, const Rect& frame) {
  const QRect outer = form->frameGeometry();
  const int extra_width = outer.width() - form->width();
  const int extra_height = outer.height() - form->height();
  form->resize(frame.width - extra_width, frame.height - extra_height);
  form->move(frame.left, frame.top);
}

void FitInto(QWidget* form, const Rect& area) {
  const Rect frame = ToRect(form->frameGeometry());
  const Rect fitted = FitRectToArea(frame, area);
  if (fitted != frame) SetFrameRect(form, fitted);
}

}  // namespace

void FitFormToScreen(QWidget* form) {
  std::vector<Rect> monitors;
  for (const QScreen* screen : QGuiApplication::screens()) {
    monitors.push_back(ToRect(screen->availableGeometry()));
  }
  FitInto(form, UnionOfWorkAreas(PrimaryWorkArea(), monitors));
}

void FitFormToPrimaryScreen(QWidget* form) {
  FitInto(form, UnionOfWorkAreas(PrimaryWorkArea(), {}));
}

void CentreForm(QWidget* form, const QWidget* control) {
  QPoint centre(320, 240);
  if (control != nullptr) {
    centre = control->mapToGlobal(QPoint(control->width() / 2, control->height() / 2));
  } else if (const auto area = PrimaryWorkArea()) {
    centre = QPoint(area->left + area->width / 2, area->top + area->height / 2);
  }
  const Rect frame = ToRect(form->frameGeometry());
  SetFrameRect(form, CentreRectOn(frame, centre.x(), centre.y()));
  FitFormToScreen(form);
}

}  // namespace kestrova
