#include "util/screen_fit.h"

#include <algorithm>

namespace kestrova {

Rect UnionOfWorkAreas(const std::optional<Rect>& primary, std::span<const Rect> monitors) {
  Rect area = primary.value_or(Rect{0, 0, 640, 480});
  for (const Rect& monitor : monitors) {
    const int left = std::min(area.left, monitor.left);
    const int top = std::min(area.top, monitor.top);
    const int right = std::max(area.Right(), monitor.Right());
    const int bottom = std::max(area.Bottom(), monitor.Bottom());
    area = {left, top, right - left, bottom - top};
  }
  return area;
}

Rect FitRectToArea(Rect form, const Rect& area) {
  form.width = std::min(form.width, area.width);
  form.height = std::min(form.height, area.height);
  form.left = std::max(std::min(form.left, area.Right() - form.width), area.left);
  form.top = std::max(std::min(form.top, area.Bottom() - form.height), area.top);
  return form;
}

Rect CentreRectOn(Rect form, int x, int y) {
  form.left = x - form.width / 2;
  form.top = y - form.height / 2;
  return form;
}

}  // namespace kestrova
