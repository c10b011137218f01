// Keeping forms on the screen: fitting a window into the monitors' work areas and centring it.
#pragma once

#include <QWidget>

namespace kestrova {

// Fits the window (with its frame) into the union of all monitors' work areas: no larger than
// the area, right and bottom edges inside, then left and top edges inside.
void FitFormToScreen(QWidget* form);

// The same with the primary monitor's work area only.
void FitFormToPrimaryScreen(QWidget* form);

// Centres the window on `control` when given, else on the primary work area (on the point
// 320, 240 when there is none), then fits it to the screen.
void CentreForm(QWidget* form, const QWidget* control = nullptr);

}  // namespace kestrova
