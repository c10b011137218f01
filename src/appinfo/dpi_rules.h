// The arithmetic of fitting a form designed on a 96 pixels-per-inch screen to a screen of
// another density: how tall its font's text was at design time, and its new client size.
#pragma once

#include <string_view>

namespace kestrova {

inline constexpr int kDesignPixelsPerInch = 96;
inline constexpr int kDesignMenuBarHeight = 20;
inline constexpr int kDesignCaptionButtonHeight = 25;

// number * numerator / denominator, rounded half away from zero and limited to the int range;
// 0 for a zero denominator.
int MulDiv(int number, int numerator, int denominator);

struct TextHeights {
  int actual = 0;  // measured height of "0" in the form's font
  int design = 0;  // the height it had at 96 pixels per inch
};

// (96 * actual + 30) / ppi, except at 120 ppi: "Tahoma" measuring 16 or 17 was 13, and
// "MS Shell Dlg 2" measuring 17 was 19 and counts as 25.
TextHeights DesignTextHeights(std::string_view font_family, int actual, int pixels_per_inch);

struct ClientSize {
  int width = 0;
  int height = 0;

  friend bool operator==(const ClientSize&, const ClientSize&) = default;
};

struct ScreenMetrics {
  int caption_button_height = kDesignCaptionButtonHeight;
  int menu_bar_height = kDesignMenuBarHeight;
};

// The design client size scaled by actual / design text height; the height is first
// corrected by how much the caption buttons (sizeable border only) and the menu bar (forms
// with a menu) differ from the design screen's. Unscaled when either height is not positive.
ClientSize ScaledClientSize(ClientSize design_size, TextHeights text, bool sizeable_border,
                            bool has_menu, const ScreenMetrics& screen);

}  // namespace kestrova
