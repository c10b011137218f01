#include "terminal/log_escape.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

struct EscapeCase {
  std::string input;
  std::string controls;
  std::string non_printable;
};

TEST(LogEscapeTest, EscapesByTheTable) {
  const EscapeCase cases[] = {
      {"", "", ""},
      {"plain ~", "plain ~", "plain ~"},
      {"\t\n\r", "\\t\\n\\r", "<#09><#0A><#0D>"},
      {"a\\b", "a\\\\b", "a\\b"},
      {std::string("\0\x1F", 2), "\\x00\\x1F", "<#00><#1F>"},
      {" \x7F\x80\xFF", " \x7F\x80\xFF", " \x7F<#80><#FF>"},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.input);
    std::string controls = "x";
    EscapeControls(c.input, controls);
    EXPECT_EQ(controls, "x" + c.controls);
    std::string non_printable = "y";
    EscapeNonPrintable(c.input, non_printable);
    EXPECT_EQ(non_printable, "y" + c.non_printable);
  }
}

}  // namespace
}  // namespace kestrova
