#include "platform/reg_text_reader.h"

#include <utility>

#include "platform/utf16le.h"

namespace kestrova {
namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

struct ParseFailure {
  std::string message;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to `max_digits` hex digits, the whole of `s`.
std::optional<uint32_t> ParseHexNumber(std::string_view s, size_t max_digits) {
  if (s.empty() || s.size() > max_digits) return std::nullopt;
  uint32_t value = 0;
  for (char c : s) {
    int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return value;
}

bool StartsWithIgnoringCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && RegNamesEqual(s.substr(0, prefix.size()), prefix);
}

std::string Quote(std::string_view s) { return "\"" + std::string(s) + "\""; }

// The file split into lines (LF or CR LF), walked one at a time.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  bool Next(std::string_view& line) {
    if (pos_ > text_.size()) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    return true;
  }
  size_t Number() const { return number_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t number_ = 0;
};

// A quoted string at the start of `s`; `s` is left after the closing quote.
std::string ParseQuoted(std::string_view& s) {
  std::string out;
  size_t i = 1;
  while (i < s.size()) {
    char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\' && i + 1 < s.size()) {
      char escaped = s[i + 1];
      switch (escaped) {
        case '\\':
        case '"':
          out += escaped;
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case '0':
          out += '\0';
          break;
        default:  // not an escape: both characters stay
          out += c;
          out += escaped;
      }
      i += 2;
      continue;
    }
    out += c;
    ++i;
  }
  throw ParseFailure{"missing closing quote"};
}

void ExpectEnd(std::string_view rest, std::string_view what) {
  if (!TrimLeft(rest).empty()) {
    throw ParseFailure{"unexpected text after " + std::string(what) + ": " + Quote(TrimLeft(rest))};
  }
}

// The comma-separated bytes of hex data, continuation lines already joined.
std::string ParseHexBytes(std::string_view list) {
  std::string bytes;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find(',', pos);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = TrimRight(TrimLeft(list.substr(pos, end - pos)));
    bool last = end == list.size();
    if (item.empty()) {
      // Allowed for an empty list and after a trailing comma only.
      if (!last) throw ParseFailure{"empty byte in hex data"};
      if (pos != 0 && bytes.empty()) throw ParseFailure{"empty byte in hex data"};
      break;
    }
    std::optional<uint32_t> byte = ParseHexNumber(item, 2);
    if (!byte) throw ParseFailure{"bad byte " + Quote(item) + " in hex data"};
    bytes += static_cast<char>(*byte);
    pos = end + 1;
  }
  return bytes;
}

class Parser {
 public:
  Parser(std::string_view text, RegParseResult& result) : lines_(text), result_(result) {}

  void Run() {
    std::string_view line;
    bool have_header = false;
    while (lines_.Next(line)) {
      std::string_view s = TrimLeft(line);
      if (!have_header) {
        if (s.empty()) continue;
        ReadHeader(TrimRight(s));
        have_header = true;
        continue;
      }
      if (s.empty() || s.front() == ';') continue;
      if (s.front() == '[') {
        ReadKeyLine(s);
      } else if (s.front() == '"' || s.front() == '@') {
        ReadValueLine(s);
      } else {
        throw ParseFailure{"expected a [key] or a \"name\"=value line, found " +
                           Quote(TrimRight(s))};
      }
    }
  }

  size_t LineNumber() const { return lines_.Number(); }

 private:
  void ReadHeader(std::string_view s) {
    if (s == kHeader4) {
      utf16_texts_ = false;
    } else if (s == kHeader5) {
      utf16_texts_ = true;
    } else {
      throw ParseFailure{"not a registry file: the first line must be \"REGEDIT4\" or \"" +
                         std::string(kHeader5) + "\""};
    }
  }

  void ReadKeyLine(std::string_view s) {
    size_t close = s.rfind(']');
    if (close == std::string_view::npos) throw ParseFailure{"missing ] after the key name"};
    ExpectEnd(s.substr(close + 1), "the key name");
    std::string_view name = s.substr(1, close - 1);
    bool remove = !name.empty() && name.front() == '-';
    if (remove) name.remove_prefix(1);
    std::optional<std::string> path = CanonicalRegKeyPath(name);
    if (!path) {
      throw ParseFailure{"bad key name " + Quote(name) +
                         ": it must start with a root key such as HKEY_CURRENT_USER, and "
                         "every backslash must be followed by a name"};
    }
    RegEdit edit;
    edit.kind = remove ? RegEdit::Kind::kDeleteKey : RegEdit::Kind::kCreateKey;
    edit.key = *path;
    result_.edits.push_back(edit);
    key_ = remove ? std::nullopt : std::optional<std::string>(std::move(*path));
    in_deleted_key_ = remove;
  }

  void ReadValueLine(std::string_view s) {
    size_t line_number = lines_.Number();
    RegEdit edit;
    edit.kind = RegEdit::Kind::kSetValue;
    if (s.front() == '@') {
      s.remove_prefix(1);
    } else {
      edit.name = ParseQuoted(s);
    }
    s = TrimLeft(s);
    if (s.empty() || s.front() != '=') throw ParseFailure{"missing = after the value name"};
    s = TrimLeft(s.substr(1));
    ReadData(s, edit);
    if (in_deleted_key_) return;  // values of a deleted key are skipped, as importers do
    if (!key_) {
      throw ParseFailure{"value on line " + std::to_string(line_number) + " is not in a key"};
    }
    edit.key = *key_;
    result_.edits.push_back(std::move(edit));
  }

  void ReadData(std::string_view s, RegEdit& edit) {
    if (!s.empty() && s.front() == '"') {
      edit.value = RegValue::String(ParseQuoted(s));
      ExpectEnd(s, "the closing quote");
    } else if (!s.empty() && s.front() == '-') {
      edit.kind = RegEdit::Kind::kDeleteValue;
      ExpectEnd(s.substr(1), "-");
    } else if (StartsWithIgnoringCase(s, "dword:")) {
      std::string_view digits = TrimRight(s.substr(6));
      std::optional<uint32_t> number = ParseHexNumber(digits, 8);
      if (!number) throw ParseFailure{"bad dword " + Quote(digits) + ": 1 to 8 hex digits"};
      edit.value = RegValue::Dword(*number);
    } else if (StartsWithIgnoringCase(s, "hex")) {
      ReadHexData(s.substr(3), edit.value);
    } else {
      throw ParseFailure{"unknown value data " + Quote(TrimRight(s)) +
                         ": expected \"text\", dword:, hex:, hex(n): or -"};
    }
  }

  void ReadHexData(std::string_view s, RegValue& value) {
    value.type = kRegBinary;
    if (!s.empty() && s.front() == '(') {
      size_t close = s.find(')');
      if (close == std::string_view::npos) throw ParseFailure{"missing ) after hex("};
      std::optional<uint32_t> type = ParseHexNumber(s.substr(1, close - 1), 8);
      if (!type) throw ParseFailure{"bad value type " + Quote(s.substr(1, close - 1))};
      value.type = *type;
      s.remove_prefix(close + 1);
    }
    if (s.empty() || s.front() != ':') throw ParseFailure{"missing : after hex"};
    s.remove_prefix(1);
    std::string list(TrimRight(s));
    // A backslash at the end of a line continues the list on the next line.
    while (!list.empty() && list.back() == '\\') {
      list.pop_back();
      std::string_view next;
      if (!lines_.Next(next)) throw ParseFailure{"hex data continues past the end of the file"};
      list += TrimRight(TrimLeft(next));
    }
    value.data = ParseHexBytes(list);
    bool text = value.type == kRegSz || value.type == kRegExpandSz;
    if ((text || value.type == kRegMultiSz) && utf16_texts_) {
      value.data = Utf16LeToUtf8(value.data);
    }
    if (text && !value.data.empty() && value.data.back() == '\0') value.data.pop_back();
  }

  Lines lines_;
  RegParseResult& result_;
  bool utf16_texts_ = false;
  std::optional<std::string> key_;
  bool in_deleted_key_ = false;
};

}  // namespace

std::string RegParseError::Describe() const {
  return "line " + std::to_string(line) + ": " + message;
}

RegParseResult ParseRegText(std::string_view bytes) {
  std::string decoded;
  std::string_view text = bytes;
  if (text.starts_with("\xFF\xFE")) {
    decoded = Utf16LeToUtf8(text.substr(2));
    text = decoded;
  } else if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  RegParseResult result;
  Parser parser(text, result);
  try {
    parser.Run();
  } catch (const ParseFailure& failure) {
    result.edits.clear();
    result.error = RegParseError{parser.LineNumber(), failure.message};
  }
  return result;
}

std::optional<RegParseError> ReadRegText(std::string_view bytes, RegHive& hive) {
  RegParseResult result = ParseRegText(bytes);
  if (!result.Ok()) return result.error;
  for (RegEdit& edit : result.edits) hive.Apply(std::move(edit));
  return std::nullopt;
}

}  // namespace kestrova
