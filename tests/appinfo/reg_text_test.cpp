#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/reg_text_reader.h"
#include "platform/reg_text_writer.h"
#include "platform/utf16le.h"
#include "support/reg_value_printer.h"

namespace kestrova {
namespace {

using ::testing::HasSubstr;

constexpr std::string_view kUser = "HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal";

RegHive Parse(std::string_view text) {
  RegHive hive;
  std::optional<RegParseError> error = ReadRegText(text, hive);
  EXPECT_FALSE(error) << error->Describe() << "\n" << text;
  return hive;
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}

// UTF-16 LE with a byte-order mark, as a registry editor saves version 5 exports.
std::string ToUtf16LeFile(std::u16string_view text) {
  std::string out = "\xFF\xFE";
  for (char16_t unit : text) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

struct ValueCase {
  const char* what;
  std::string value_line;  // below [HKEY_CURRENT_USER\T]
  std::string name;
  RegValue expected;
};

TEST(RegTextReaderTest, ValueForms) {
  const std::vector<ValueCase> cases = {
      {"plain text", R"("a"="hello")", "a", RegValue::String("hello")},
      {"escapes", R"("a"="x\\y\"z\n\r\0end")", "a",
       RegValue::String(std::string("x\\y\"z\n\r\0end", 11))},
      {"backslash before other characters stays", R"("a"="C:\temp\x")", "a",
       RegValue::String("C:\\temp\\x")},
      {"empty text", R"("a"="")", "a", RegValue::String("")},
      {"default value", R"(@="d")", "", RegValue::String("d")},
      {"escaped name", R"("q\"n\\m"="v")", "q\"n\\m", RegValue::String("v")},
      {"blanks around =", "\t\"a\"  =  \"v\"  ", "a", RegValue::String("v")},
      {"dword", R"("a"=dword:0000002a)", "a", RegValue::Dword(42)},
      {"dword upper case, full range", R"("a"=DWORD:FFFFFFFF)", "a", RegValue::Dword(0xFFFFFFFF)},
      {"dword short", R"("a"=dword:1f)", "a", RegValue::Dword(31)},
      {"binary", R"("a"=hex:00,ff,7E)", "a", RegValue{kRegBinary, Bytes({0, 0xFF, 0x7E})}},
      {"binary empty", R"("a"=hex:)", "a", RegValue{kRegBinary, ""}},
      {"binary trailing comma", R"("a"=hex:01,02,)", "a", RegValue{kRegBinary, Bytes({1, 2})}},
      {"continued lines", "\"a\"=hex:01,02,\\\n  03,\\\r\n    04", "a",
       RegValue{kRegBinary, Bytes({1, 2, 3, 4})}},
      {"expand string drops one NUL", R"("a"=hex(2):25,41,25,00)", "a",
       RegValue::ExpandString("%A%")},
      {"expand string without NUL", R"("a"=hex(2):25,41,25)", "a", RegValue::ExpandString("%A%")},
      {"hex(1) text", R"("a"=hex(1):41,42,00)", "a", RegValue::String("AB")},
      {"multi-string kept whole", R"("a"=hex(7):41,00,42,00,00)", "a",
       RegValue{kRegMultiSz, Bytes({'A', 0, 'B', 0, 0})}},
      {"dword as hex", R"("a"=hex(4):2a,00,00,00)", "a", RegValue::Dword(42)},
      {"short dword as hex kept", R"("a"=hex(4):2a,00)", "a", RegValue{kRegDword, Bytes({42, 0})}},
      {"qword", R"("a"=hex(b):01,00,00,00,00,00,00,80)", "a",
       RegValue{kRegQword, Bytes({1, 0, 0, 0, 0, 0, 0, 0x80})}},
      {"unknown type kept", R"("a"=hex(12345678):de,ad)", "a",
       RegValue{0x12345678, Bytes({0xDE, 0xAD})}},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    RegHive hive = Parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\T]\n" + c.value_line + "\n");
    const RegValue* value = hive.FindValue("HKEY_CURRENT_USER\\T", c.name);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, c.expected);
  }
}

TEST(RegTextReaderTest, KeysDeletionsAndLayout) {
  RegHive hive = Parse(
      "\xEF\xBB\xBF"
      "REGEDIT4\r\n"
      "; a comment\r\n"
      "\r\n"
      "[hkey_current_user\\A]\r\n"
      "\"x\"=\"1\"\r\n"
      "\"gone\"=\"1\"\r\n"
      "[HKEY_CURRENT_USER\\A\\Sub]\r\n"
      "\"y\"=\"2\"\r\n"
      "[HKEY_CURRENT_USER\\a]\r\n"  // same key again, other case: merged
      "\"X\"=\"3\"\r\n"
      "\"gone\"=-\r\n"
      "[HKEY_CURRENT_USER\\Empty]\r\n"
      "[HKEY_CURRENT_USER\\Old\\Sub]\r\n"
      "\"z\"=\"1\"\r\n"
      "[-HKEY_CURRENT_USER\\Old]\r\n"
      "\"ignored\"=hex:01,\\\r\n"
      "  02\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Key]name]\r\n");
  std::vector<std::string> keys;
  for (const auto& [path, key] : hive.Keys()) keys.push_back(path);
  EXPECT_THAT(keys, ::testing::ElementsAre("HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\A\\Sub",
                                           "HKEY_CURRENT_USER\\Empty",
                                           "HKEY_LOCAL_MACHINE\\Software\\Key]name"));
  const RegKey* a = hive.FindKey("HKEY_CURRENT_USER\\A");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->Values().size(), 1u);
  EXPECT_EQ(a->Values()[0].name, "x");  // keeps the spelling it was created with
  EXPECT_EQ(a->Values()[0].value, RegValue::String("3"));
  EXPECT_TRUE(hive.FindKey("HKEY_CURRENT_USER\\Empty")->Values().empty());
}

TEST(RegTextReaderTest, EmptyFilesHaveNoKeys) {
  for (std::string_view text : {"", "\n\n  \n", "REGEDIT4", "\xFF\xFE"}) {
    RegParseResult result = ParseRegText(text);
    EXPECT_TRUE(result.Ok()) << text;
    EXPECT_TRUE(result.edits.empty()) << text;
  }
}

struct ErrorCase {
  std::string text;
  size_t line;
  const char* message_part;
};

TEST(RegTextReaderTest, RefusesMalformedFilesWithLineAndReason) {
  const std::string head = "REGEDIT4\n[HKEY_CURRENT_USER\\T]\n";  // value lines are line 3
  const std::vector<ErrorCase> cases = {
      {"[HKEY_CURRENT_USER\\T]\n", 1, "not a registry file"},
      {"Windows Registry Editor Version 4.00\n", 1, "not a registry file"},
      {"REGEDIT4\n\"a\"=\"b\"\n", 2, "not in a key"},
      {"REGEDIT4\n[HKEY_NOWHERE\\T]\n", 2, "bad key name"},
      {"REGEDIT4\n[HKCU\\T]\n", 2, "bad key name"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\\\T]\n", 2, "bad key name"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\T\\]\n", 2, "bad key name"},
      {"REGEDIT4\n[]\n", 2, "bad key name"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\T\n", 2, "missing ]"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\T] x\n", 2, "unexpected text"},
      {head + "\"a\"=\"b\n", 3, "missing closing quote"},
      {head + "\"a\"=\"b\\\"\n", 3, "missing closing quote"},
      {head + "\"a\"=\"b\" c\n", 3, "unexpected text"},
      {head + "\"a\" \"b\"\n", 3, "missing ="},
      {head + "\"a\"=dword:123456789\n", 3, "bad dword"},
      {head + "\"a\"=dword:\n", 3, "bad dword"},
      {head + "\"a\"=dword:12 34\n", 3, "bad dword"},
      {head + "\"a\"=hex:1g\n", 3, "bad byte"},
      {head + "\"a\"=hex:123\n", 3, "bad byte"},
      {head + "\"a\"=hex:01,,02\n", 3, "empty byte"},
      {head + "\"a\"=hex:,\n", 3, "empty byte"},
      {head + "\"a\"=hex(2:01\n", 3, "missing )"},
      {head + "\"a\"=hex(x):01\n", 3, "bad value type"},
      {head + "\"a\"=hex 01\n", 3, "missing :"},
      {head + "\"a\"=\"x\"\n\"b\"=hex:01,\\", 4, "past the end"},
      {head + "\"a\"=str:1\n", 3, "unknown value data"},
      {head + "\"a\"=- x\n", 3, "unexpected text"},
      {head + "a=\"1\"\n", 3, "expected a [key]"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.text);
    RegParseResult result = ParseRegText(c.text);
    ASSERT_FALSE(result.Ok());
    EXPECT_TRUE(result.edits.empty());
    EXPECT_EQ(result.error->line, c.line);
    EXPECT_THAT(result.error->message, HasSubstr(c.message_part));
  }
}

TEST(RegTextReaderTest, FailedReadLeavesHiveUnchanged) {
  RegHive hive;
  hive.SetValue("HKEY_CURRENT_USER\\T", "a", RegValue::Dword(1));
  RegHive before = hive;
  EXPECT_TRUE(ReadRegText("REGEDIT4\n[HKEY_CURRENT_USER\\T]\n\"a\"=dword:2\n\"b\"=x\n", hive));
  EXPECT_EQ(hive, before);
}

// Exports as a registry editor on another system writes them, by hand.
TEST(RegTextReaderTest, ReadsRegedit4Export) {
  const std::string export_text =
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal]\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal\\Options]\r\n"
      "\"Protocol\"=\"Fatek\"\r\n"
      "\"PacketTimeout\"=\"250\"\r\n"
      "\"LogCom1\"=dword:00000001\r\n"
      "\"Filename\"=\"C:\\\\Data\\\\Pokusy_%1.rtf\"\r\n"
      "\"LogDir\"=hex(2):25,55,53,45,52,50,52,4f,46,49,4c,45,25,5c,4b,65,73,74,00\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal\\Options\\Forms\\Form1]\r\n"
      "\"Left\"=dword:ffffffec\r\n"
      "\"Width\"=dword:00000280\r\n"
      "\r\n";
  RegHive hive = Parse(export_text);
  std::string options = std::string(kUser) + "\\Options";
  EXPECT_EQ(*hive.FindValue(options, "Protocol"), RegValue::String("Fatek"));
  EXPECT_EQ(*hive.FindValue(options, "packettimeout"), RegValue::String("250"));
  EXPECT_EQ(*hive.FindValue(options, "LogCom1"), RegValue::Dword(1));
  EXPECT_EQ(*hive.FindValue(options, "Filename"), RegValue::String("C:\\Data\\Pokusy_%1.rtf"));
  EXPECT_EQ(*hive.FindValue(options, "LogDir"), RegValue::ExpandString("%USERPROFILE%\\Kest"));
  std::string form = options + "\\Forms\\Form1";
  EXPECT_EQ(hive.FindValue(form, "Left")->DwordValue(), 0xFFFFFFECu);
  EXPECT_EQ(hive.FindValue(form, "Width")->DwordValue(), 640u);
}

TEST(RegTextReaderTest, ReadsVersion5Utf16Export) {
  const std::u16string export_text =
      u"Windows Registry Editor Version 5.00\r\n"
      u"\r\n"
      u"[HKEY_CURRENT_USER\\Software\\MUR "
      u"s.r.o.\\KestTerminal\\MurTerminalHistory\\VMurTerminal1]\r\n"
      u"\"0\"=\"Odeslat přímo – \\\"ok\\\"\"\r\n"
      u"\"1\"=\"AT+CSQ\"\r\n"
      u"\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\MUR s.r.o.\\KestTerminal\\Options]\r\n"
      u"\"PacketTimeout\"=dword:00000064\r\n"
      u"\"LogPath\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,4b,00,65,00,73,00,\\\r\n"
      u"  74,00,20,00,64,01,00,00\r\n"
      u"\"Names\"=hex(7):41,00,00,00,42,00,00,00,00,00\r\n"
      u"\"Blob\"=hex:de,ad,be,ef\r\n"
      u"@=\"default\"\r\n"
      u"\r\n";
  RegHive hive = Parse(ToUtf16LeFile(export_text));
  std::string history = std::string(kUser) + "\\MurTerminalHistory\\VMurTerminal1";
  EXPECT_EQ(*hive.FindValue(history, "0"), RegValue::String("Odeslat přímo – \"ok\""));
  EXPECT_EQ(*hive.FindValue(history, "1"), RegValue::String("AT+CSQ"));
  std::string options = "HKEY_LOCAL_MACHINE\\SOFTWARE\\MUR s.r.o.\\KestTerminal\\Options";
  EXPECT_EQ(*hive.FindValue(options, "PacketTimeout"), RegValue::Dword(100));
  EXPECT_EQ(*hive.FindValue(options, "LogPath"), RegValue::ExpandString("%TEMP%\\Kest Ť"));
  EXPECT_EQ(*hive.FindValue(options, "Names"), (RegValue{kRegMultiSz, Bytes({'A', 0, 'B', 0, 0})}));
  EXPECT_EQ(*hive.FindValue(options, "Blob"),
            (RegValue{kRegBinary, Bytes({0xDE, 0xAD, 0xBE, 0xEF})}));
  EXPECT_EQ(*hive.FindValue(options, ""), RegValue::String("default"));
}

TEST(RegTextWriterTest, WritesReadableRegedit4) {
  RegHive hive;
  std::string key = "HKEY_CURRENT_USER\\T";
  hive.SetValue(key, "", RegValue::String("d"));
  hive.SetValue(key, "text", RegValue::String("a\\b\"c\nd"));
  hive.SetValue(key, "n", RegValue::Dword(0xDEADBEEF));
  hive.SetValue(key, "e", RegValue::ExpandString("%A%"));
  hive.SetValue(key, "b", RegValue{kRegBinary, std::string(40, '\x11')});
  hive.CreateKey("HKEY_CURRENT_USER\\T\\Empty");
  std::string text = FormatRegText(hive);
  EXPECT_EQ(text,
            "REGEDIT4\n"
            "\n"
            "[HKEY_CURRENT_USER\\T]\n"
            "@=\"d\"\n"
            "\"text\"=\"a\\\\b\\\"c\\nd\"\n"
            "\"n\"=dword:deadbeef\n"
            "\"e\"=hex(2):25,41,25,00\n"
            "\"b\"=hex:11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\n"
            "  11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11\n"
            "\n"
            "[HKEY_CURRENT_USER\\T\\Empty]\n"
            "\n");
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    EXPECT_LE(end - start, 80u);
  }
}

TEST(RegTextWriterTest, WritesVersion5ExportInUtf16) {
  RegHive hive;
  std::string key = std::string(kUser) + "\\Options";
  hive.SetValue(key, "Port1", RegValue::String("TCP:5000 ř"));
  hive.SetValue(key, "Lines", RegValue::String("a\nb"));
  hive.SetValue(key, "LogCom1", RegValue::Dword(1));
  hive.SetValue(key, "Path", RegValue::ExpandString("%T%"));
  hive.SetValue(key, "Names", RegValue{kRegMultiSz, Bytes({'A', 0, 0})});
  const std::string bytes = FormatRegExport(hive);
  ASSERT_TRUE(bytes.starts_with("\xFF\xFE"));
  EXPECT_EQ(Utf16LeToUtf8(bytes.substr(2)),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[" +
                std::string(kUser) +
                "\\Options]\r\n"
                "\"Port1\"=\"TCP:5000 ř\"\r\n"
                // A registry editor knows no \n in quotes: a text with a line break is hex(1).
                "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\r\n"
                "\"LogCom1\"=dword:00000001\r\n"
                "\"Path\"=hex(2):25,00,54,00,25,00,00,00\r\n"
                "\"Names\"=hex(7):41,00,00,00,00,00\r\n"
                "\r\n");
  EXPECT_EQ(Parse(bytes), hive);
}

TEST(RegTextWriterTest, ExportKeepsTextsThatAreNotUtf8AsRegedit4) {
  RegHive hive;
  hive.SetValue("HKEY_CURRENT_USER\\T", "cp1250", RegValue::String("P\xF8\xEDmo"));
  const std::string bytes = FormatRegExport(hive);
  EXPECT_EQ(bytes, FormatRegText(hive));
  EXPECT_EQ(Parse(bytes), hive);
}

TEST(Utf16LeTest, RefusesWhatIsNotUtf8AndRoundTripsWhatIs) {
  const std::string kInvalid[] = {"\x80",         "\xC3",         "\xC0\xAF",
                                  "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                  "a\xFF",        "\xE2\x82"};
  for (const std::string& text : kInvalid) EXPECT_EQ(Utf8ToUtf16Le(text), std::nullopt) << text;
  for (const std::string text :
       {"", "a\0b", "ř€", "\xF0\x9F\x98\x80", "\x7F\xC2\x80\xF4\x8F\xBF\xBF"}) {
    std::optional<std::string> encoded = Utf8ToUtf16Le(text);
    ASSERT_TRUE(encoded) << text;
    EXPECT_EQ(Utf16LeToUtf8(*encoded), text);
  }
  EXPECT_EQ(Utf8ToUtf16Le("\xF0\x9F\x98\x80"), Bytes({0x3D, 0xD8, 0x00, 0xDE}));
}

// Random hives: every key, name, type and byte written comes back the same.
class RandomHive {
 public:
  explicit RandomHive(uint32_t seed) : rng_(seed) {}

  std::string Text(size_t max_length) {
    static const std::vector<std::string> pieces = {"a",      "Z",
                                                    " ",      "\"",
                                                    "\\",     "\\\\",
                                                    "\n",     "\r\n",
                                                    "=",      "@",
                                                    "[",      "]",
                                                    ";",      "-",
                                                    ",",      "\t",
                                                    "é",      "ř",
                                                    "Ž",      "€",
                                                    "😀",      "中",
                                                    "%PATH%", "dword:",
                                                    "hex:",   std::string(1, '\0'),
                                                    "\x7F",   "\x01"};
    std::string out;
    size_t length = Below(max_length + 1);
    for (size_t i = 0; i < length; ++i) out += pieces[Below(pieces.size())];
    return out;
  }
  std::string KeyName() {
    std::string name = Text(4);
    std::erase_if(name, [](char c) { return c == '\\' || c == '\n' || c == '\r'; });
    return name + "#" + std::to_string(counter_++);  // never empty, never a case twin
  }
  RegValue Value() {
    switch (Below(7)) {
      case 0:
      case 1:
        return RegValue::String(Text(8));
      case 2:
        return RegValue::Dword(Dword());
      case 3:
        return RegValue::ExpandString(Text(6));
      case 4:
        return RegValue{kRegBinary, RawBytes(Below(200))};
      case 5:
        return RegValue{kRegMultiSz, RawBytes(Below(20))};
      default:
        return RegValue{Dword(), RawBytes(Below(10))};
    }
  }
  uint32_t Dword() {
    // Favour the edges of the range as well as the middle.
    static const uint32_t edges[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    return Below(4) == 0 ? edges[Below(5)] : static_cast<uint32_t>(rng_());
  }
  std::string RawBytes(size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += static_cast<char>(Below(256));
    return out;
  }
  size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

  RegHive Make() {
    RegHive hive;
    size_t keys = 1 + Below(12);
    for (size_t k = 0; k < keys; ++k) {
      std::string path = Below(2) == 0 ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
      size_t depth = 1 + Below(4);
      for (size_t d = 0; d < depth; ++d) path += "\\" + KeyName();
      RegKey& key = hive.CreateKey(path);
      size_t values = Below(10);
      for (size_t v = 0; v < values; ++v) {
        std::string name = Below(10) == 0 ? "" : Text(5) + "#" + std::to_string(counter_++);
        key.Set(name, Value());
      }
    }
    return hive;
  }

 private:
  std::mt19937 rng_;
  size_t counter_ = 0;
};

TEST(RegTextRoundTripTest, RandomHivesReadBackUnchanged) {
  size_t utf16_exports = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(seed);
    RegHive written = RandomHive(seed).Make();
    for (auto format : {FormatRegText, FormatRegExport}) {
      std::string text = format(written);
      RegHive read;
      std::optional<RegParseError> error = ReadRegText(text, read);
      ASSERT_FALSE(error) << error->Describe() << "\n" << text;
      ASSERT_EQ(read, written) << text;
      EXPECT_EQ(format(read), text);
      if (text.starts_with("\xFF\xFE")) ++utf16_exports;
    }
  }
  // Random multi-string bytes are rarely UTF-8, but the UTF-16 form must be tried often enough.
  EXPECT_GT(utf16_exports, 30u);
}

}  // namespace
}  // namespace kestrova
