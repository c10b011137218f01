#include "appinfo/dpi_rules.h"

#include <cstdint>

namespace kestrova {

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return 0;
  int64_t product = int64_t{number} * numerator;
  int64_t half = (denominator < 0 ? -int64_t{denominator} : denominator) / 2;
  bool negative = (product < 0) != (denominator < 0);
  int64_t magnitude = (product < 0 ? -product : product) + half;
  int64_t result = magnitude / (denominator < 0 ? -int64_t{denominator} : denominator);
  if (negative) result = -result;
  if (result > INT32_MAX) return INT32_MAX;
  if (result < INT32_MIN) return INT32_MIN;
  return static_cast<int>(result);
}

TextHeights DesignTextHeights(std::string_view font_family, int actual, int pixels_per_inch) {
  TextHeights heights{actual, actual};
  if (pixels_per_inch <= 0) return heights;
  heights.design = (kDesignPixelsPerInch * actual + 30) / pixels_per_inch;
  if (pixels_per_inch == 120) {
    if (font_family == "Tahoma" && (actual == 16 || actual == 17)) {
      heights.design = 13;
    } else if (font_family == "MS Shell Dlg 2" && actual == 17) {
      heights.design = 19;
      heights.actual = 25;
    }
  }
  return heights;
}

ClientSize ScaledClientSize(ClientSize design_size, TextHeights text, bool sizeable_border,
                            bool has_menu, const ScreenMetrics& screen) {
  int height = design_size.height;
  if (sizeable_border) height += screen.caption_button_height - kDesignCaptionButtonHeight;
  if (has_menu) height += screen.menu_bar_height - kDesignMenuBarHeight;
  if (text.actual <= 0 || text.design <= 0) return {design_size.width, height};
  return {MulDiv(design_size.width, text.actual, text.design),
          MulDiv(height, text.actual, text.design)};
}

}  // namespace kestrova
