// The positional text formatter: "Pokusy_%1.rtf" with argument 1 = "7" gives "Pokusy_7.rtf".
//
// Directives in the pattern:
//   %%          a "%"
//   %n          argument n (decimal, counted from 1) as text
//   %n:Fw       the same, padded to at least w bytes (w decimal, at most kMaxFormatWidth) with
//               the fill character F, "0" or "-"; F written once pads before the text (right
//               alignment), twice after it (left alignment), three or more times on both sides
//               (centred, the odd byte after). Without F the padding is spaces, before the text.
//               Zero padding before a negative number goes after its sign.
//   %(n) %(n:Fw)  the same, closed by ")" so that digits may follow directly.
// Anything else is copied as written: a "%" at the end or before another character, an
// argument number of 0 or beyond the arguments, a "%(" form that is not closed properly. A ":"
// not followed by a width belongs to the text ("%1: done").
// Arguments are texts: integers in decimal, Booleans "True" or "False", characters and strings
// as they are, floating-point numbers as "%g" writes them.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace kestrova {

inline constexpr int kMaxFormatWidth = 4096;

class FormatArg {
 public:
  template <std::integral T>
  requires(!std::same_as<T, bool> && !std::same_as<T, char>) FormatArg(T value)
      : text_(std::to_string(value)), number_(true) {}        // NOLINT: implicit
  FormatArg(bool value) : text_(value ? "True" : "False") {}  // NOLINT: implicit
  FormatArg(char value) : text_(1, value) {}                  // NOLINT: implicit
  FormatArg(std::string_view value) : text_(value) {}         // NOLINT: implicit
  FormatArg(const char* value) : text_(value) {}              // NOLINT: implicit
  FormatArg(const std::string& value) : text_(value) {}       // NOLINT: implicit
  FormatArg(double value);                                    // NOLINT: implicit

  const std::string& Text() const { return text_; }
  bool IsNumber() const { return number_; }

 private:
  std::string text_;
  bool number_ = false;
};

std::string FormatPositional(std::string_view pattern, std::span<const FormatArg> args);

inline std::string FormatPositional(std::string_view pattern,
                                    std::initializer_list<FormatArg> args) {
  return FormatPositional(pattern, std::span<const FormatArg>(args.begin(), args.size()));
}

}  // namespace kestrova
