// Fits a form designed on a 96 pixels-per-inch screen to the screen's density, once per form.
//
// Qt 6 scales windows and fonts by the screen's device pixel ratio by itself, so with its
// high-density scaling the logical density is 96 and a form needs nothing more than a fresh
// layout. Only where fonts are set to another logical density (QT_FONT_DPI, Xft.dpi with
// scaling off) do they outgrow the designed pixel sizes; the form's client size is then scaled
// by how much taller its text is than at design time. Laid-out children follow the new size
// through their layouts, which is what keeping anchored children at their edges means in Qt.
#pragma once

class QWidget;

namespace kestrova {

// Uses the form's logical vertical density; a second call for the same form does nothing.
void FixPixelsPerInch(QWidget* form);

// The same for a given density, whether or not the form was fixed before.
void FitFormToDensity(QWidget* form, int pixels_per_inch);

}  // namespace kestrova
