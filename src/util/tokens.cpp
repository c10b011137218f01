#include "util/tokens.h"

namespace kestrova {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads "#" and decimal digits at `position` while the value stays within a byte.
bool ReadCharCode(std::string_view text, size_t& position, std::string& out) {
  if (position + 1 >= text.size() || text[position] != '#' || !IsDigit(text[position + 1])) {
    return false;
  }
  size_t i = position + 1;
  int value = 0;
  while (i < text.size() && IsDigit(text[i]) && value * 10 + (text[i] - '0') <= 255) {
    value = value * 10 + (text[i] - '0');
    ++i;
  }
  out.push_back(static_cast<char>(value));
  position = i;
  return true;
}

// Reads a double-quoted part at `position` (which holds the opening quote).
void ReadQuoted(std::string_view text, size_t& position, std::string& out) {
  size_t i = position + 1;
  while (i < text.size()) {
    if (text[i] == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        out.push_back('"');
        i += 2;
        continue;
      }
      ++i;
      break;
    }
    out.push_back(text[i++]);
  }
  position = i;
}

}  // namespace

bool NextToken(std::string_view text, size_t& position, std::string_view separators,
               std::string& token) {
  token.clear();
  size_t i = position < text.size() ? position : text.size();
  if (i < text.size() && text[i] == '(') {
    const size_t close = text.find(')', i + 1);
    const size_t end = close == std::string_view::npos ? text.size() : close;
    token.assign(text.substr(i + 1, end - i - 1));
    i = close == std::string_view::npos ? end : end + 1;
  } else {
    while (i < text.size()) {
      if (text[i] == '"') {
        ReadQuoted(text, i, token);
      } else if (!ReadCharCode(text, i, token)) {
        break;
      }
    }
  }
  while (i < text.size() && separators.find(text[i]) == std::string_view::npos) {
    token.push_back(text[i++]);
  }
  if (i < text.size()) {
    position = i + 1;
    return true;
  }
  position = text.size();
  return false;
}

std::string SplitFirstToken(std::string& text, std::string_view separators) {
  size_t position = 0;
  std::string token;
  NextToken(text, position, separators, token);
  text.erase(0, position);
  return token;
}

std::string QuoteToken(std::string_view value, std::string_view separators) {
  bool plain = !value.empty() && value.front() != '(' && value.front() != '#';
  for (size_t i = 0; plain && i < value.size(); ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    plain = c >= ' ' && c != '"' && separators.find(value[i]) == std::string_view::npos;
  }
  if (plain) return std::string(value);
  if (value.empty()) return "\"\"";

  std::string text;
  text.reserve(value.size() + 2);
  bool quoted = false;
  for (const char c : value) {
    if (static_cast<unsigned char>(c) < ' ') {
      if (quoted) text.push_back('"');
      quoted = false;
      text.push_back('#');
      text.append(std::to_string(static_cast<unsigned char>(c)));
      continue;
    }
    if (!quoted) text.push_back('"');
    quoted = true;
    text.push_back(c);
    if (c == '"') text.push_back('"');
  }
  if (quoted) text.push_back('"');
  return text;
}

}  // namespace kestrova
