// Writes the coloured text of the terminal view as an RTF document that word processors open:
// a colour table and one run per colour run, underlined where the view underlines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "terminal/rich_view.h"

namespace kestrova {

std::string WriteRtf(const std::vector<TextRun>& runs, std::string_view font_family,
                     double point_size);

}  // namespace kestrova
