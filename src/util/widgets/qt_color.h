// Colours of the $00BBGGRR form as Qt colours; system colours take the application palette's
// colour for the same role.
#pragma once

#include <QColor>

#include "util/color.h"

namespace kestrova {

// An invalid QColor for clNone, clDefault and unknown system colours: the caller keeps its
// default then.
QColor ToQColor(TColor color);

}  // namespace kestrova
