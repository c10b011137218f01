#include "util/format.h"

#include <cstdio>

namespace kestrova {

FormatArg::FormatArg(double value) : number_(true) {
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%g", value);
  text_.assign(text, length);
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads decimal digits at `i`, saturating at `limit` + 1; false when there are none.
bool ReadNumber(std::string_view text, size_t& i, int limit, int& value) {
  if (i >= text.size() || !IsDigit(text[i])) return false;
  value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value > limit ? limit + 1 : value * 10 + (text[i] - '0');
  }
  return true;
}

struct Directive {
  int argument = 0;
  int width = 0;
  char fill = ' ';
  int fill_count = 0;  // 0: no fill given
  size_t end = 0;      // index behind the directive
};

// Reads ":" [fill run] width at `i`; false (and `i` unchanged) when it is not one.
bool ReadWidth(std::string_view pattern, size_t& i, Directive& directive) {
  size_t j = i;
  if (j >= pattern.size() || pattern[j] != ':') return false;
  ++j;
  int fill_count = 0;
  const char fill = j < pattern.size() ? pattern[j] : '\0';
  if (fill == '0' || fill == '-') {
    while (j < pattern.size() && pattern[j] == fill) {
      ++j;
      ++fill_count;
    }
  }
  int width = 0;
  if (!ReadNumber(pattern, j, kMaxFormatWidth, width)) {
    // "%1:05" reads fill "0", width 5; "%1:0" is the width 0 with no fill.
    if (fill != '0' || fill_count == 0) return false;
    --fill_count;
  }
  directive.width = width > kMaxFormatWidth ? kMaxFormatWidth : width;
  directive.fill = fill_count > 0 ? fill : ' ';
  directive.fill_count = fill_count;
  i = j;
  return true;
}

// Reads the directive whose "%" is at `start`; false when it is not a valid one.
bool ReadDirective(std::string_view pattern, size_t start, size_t arg_count, Directive& directive) {
  size_t i = start + 1;
  const bool parenthesised = i < pattern.size() && pattern[i] == '(';
  if (parenthesised) ++i;
  const int limit = static_cast<int>(arg_count < 1000000 ? arg_count : 1000000);
  if (!ReadNumber(pattern, i, limit, directive.argument)) return false;
  if (directive.argument < 1 || static_cast<size_t>(directive.argument) > arg_count) {
    return false;
  }
  ReadWidth(pattern, i, directive);
  if (parenthesised) {
    if (i >= pattern.size() || pattern[i] != ')') return false;
    ++i;
  }
  directive.end = i;
  return true;
}

void AppendPadded(std::string& out, const FormatArg& arg, const Directive& directive) {
  const std::string& text = arg.Text();
  if (text.size() >= static_cast<size_t>(directive.width)) {
    out += text;
    return;
  }
  const size_t padding = directive.width - text.size();
  size_t before = padding;
  if (directive.fill_count == 2) before = 0;
  if (directive.fill_count >= 3) before = padding / 2;
  size_t sign = 0;
  if (directive.fill == '0' && before > 0 && arg.IsNumber() && text[0] == '-') sign = 1;
  out.append(text, 0, sign);
  out.append(before, directive.fill);
  out.append(text, sign, std::string::npos);
  out.append(padding - before, directive.fill);
}

}  // namespace

std::string FormatPositional(std::string_view pattern, std::span<const FormatArg> args) {
  std::string out;
  out.reserve(pattern.size() + 16);
  size_t i = 0;
  while (i < pattern.size()) {
    const size_t percent = pattern.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(pattern.substr(i));
      break;
    }
    out.append(pattern.substr(i, percent - i));
    if (percent + 1 < pattern.size() && pattern[percent + 1] == '%') {
      out.push_back('%');
      i = percent + 2;
      continue;
    }
    Directive directive;
    if (ReadDirective(pattern, percent, args.size(), directive)) {
      AppendPadded(out, args[directive.argument - 1], directive);
      i = directive.end;
    } else {
      out.push_back('%');
      i = percent + 1;
    }
  }
  return out;
}

}  // namespace kestrova
