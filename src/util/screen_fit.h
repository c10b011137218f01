// The arithmetic that keeps a form on the screen: the union of the monitors' work areas,
// fitting a form's rectangle into an area, centring it on a point.
#pragma once

#include <optional>
#include <span>

namespace kestrova {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  bool operator==(const Rect&) const = default;
};

// The bounding rectangle of the primary work area (640 x 480 at the origin when there is
// none) and every monitor's work area.
Rect UnionOfWorkAreas(const std::optional<Rect>& primary, std::span<const Rect> monitors);

// Shrinks the form to the area's size, moves it left and up until its right and bottom edges
// are inside, then right and down until its left and top edges are.
Rect FitRectToArea(Rect form, const Rect& area);

// The form's rectangle moved so that its centre is (x, y).
Rect CentreRectOn(Rect form, int x, int y);

}  // namespace kestrova
