// The RTF capture: its structure, escapes, and that a real word processor reads it back.
#include "terminal/rtf_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "terminal/line_store_view.h"
#include "terminal/terminal_output.h"
#include "terminal/test_files.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

TEST(RtfWriterTest, OneColourTableEntryPerColourAndOneGroupPerRun) {
  const std::vector<TextRun> runs = {{"+ a\n", 0x000000, false},
                                     {"<#0D>", 0xFF0000, false},
                                     {"hot", 0x0000FF, true},
                                     {"b\n", 0x000000, false}};
  EXPECT_EQ(
      WriteRtf(runs, "Courier New", 10),
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}\n"
      "{\\colortbl ;\\red0\\green0\\blue0;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}\n"
      "\\viewkind4\\pard\\plain\\f0\\fs20\n"
      "\\cf1\\ulnone + a\\par\n"
      "\\cf2\\ulnone <#0D>\\cf3\\ul hot\\cf1\\ulnone b\\par\n"
      "}\n");
}

TEST(RtfWriterTest, ColoursThatAreNotRgbTakeTheReadersTextColour) {
  const std::string rtf =
      WriteRtf({{"a", clHighlight, false}, {"b", clNone, true}, {"c", clRed, false}}, "Mono", 9);
  EXPECT_NE(rtf.find("{\\colortbl ;\\red255\\green0\\blue0;}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\cf0\\ulnone a\\cf0\\ul b\\cf1\\ulnone c}"), std::string::npos) << rtf;
}

TEST(RtfWriterTest, EscapesSpecialAndNonAsciiCharacters) {
  struct Case {
    std::string text;
    std::string rtf;
  };
  const Case cases[] = {
      {"{a}\\", "\\{a\\}\\\\"},
      {"\t", "\\tab "},
      {"\x01", "\\'01"},
      {"\xC5\x99", "\\u345?"},                      // r with caron
      {"\xEF\xBF\xBD", "\\u-3?"},                   // U+FFFD, above 0x7FFF
      {"\xF0\x9F\x98\x80", "\\u-10179?\\u-8704?"},  // U+1F600 as a surrogate pair
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string rtf = WriteRtf({{c.text, 0, false}}, "Mono", 9);
    const std::string body = rtf.substr(rtf.find("\\ulnone ") + 8);
    EXPECT_EQ(body, c.rtf + "}\n");
  }
}

// Finds LibreOffice's program, or "".
std::string FindOffice() {
  for (const char* name : {"soffice", "libreoffice"}) {
    const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    if (system(command.c_str()) == 0) return name;
  }
  return {};
}

// Converts `file` with LibreOffice into `filter`'s format in the same folder.
bool Convert(const std::string& office, const ScratchDir& dir, const fs::path& file,
             const std::string& filter) {
  const std::string command = office + " -env:UserInstallation=file://" +
                              (dir / "profile").string() + " --headless --convert-to '" + filter +
                              "'" + " --outdir " + dir.Path().string() + " " + file.string() +
                              " >/dev/null 2>&1";
  return system(command.c_str()) == 0;
}

TEST(RtfWriterTest, WordProcessorReadsTheCaptureBack) {
  const std::string office = FindOffice();
  if (office.empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  ScratchDir dir;
  LineStoreView view;
  TerminalOutput output(&view);
  output.AddLine(
      "Port otev\xC5\x99"
      "en {1}",
      VMurTerminal_ltExtraG);
  output.AddText("A\rB", VMurTerminal_ltInLine);
  output.HighlightLine(0x00FF00);
  output.EndLine();
  const fs::path capture = dir / "Pokusy_1.rtf";
  output.SaveToFile(capture.string(), true);

  ASSERT_TRUE(Convert(office, dir, capture, "txt:Text (encoded):UTF8,LF"));
  std::string text = ReadFile(dir / "Pokusy_1.txt");
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  EXPECT_EQ(text,
            "E Port otev\xC5\x99"
            "en {1}\n+ A<#0D>B\n");

  ASSERT_TRUE(Convert(office, dir, capture, "html:HTML"));
  const std::string html = ReadFile(dir / "Pokusy_1.html");
  EXPECT_NE(html.find("#008000"), std::string::npos) << html;  // the green of ltExtraG
  EXPECT_NE(html.find("#00ff00"), std::string::npos) << html;  // the highlight
}

}  // namespace
}  // namespace kestrova::testing
