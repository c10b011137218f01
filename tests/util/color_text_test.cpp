#include "util/color_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "util/exception.h"

namespace kestrova {
namespace {

TEST(TextToColor, NamesNumbersAndSpaces) {
  struct Case {
    std::string text;
    TColor color;
  } const cases[] = {
      {"clGreen", clGreen},
      {"CLGREEN", clGreen},
      {"clgreen", clGreen},
      {"clNone", 0x1FFFFFFF},
      {"clDefault", 0x20000000},
      {"clRed", 0x0000FF},
      {"clBlue", 0xFF0000},
      {"clMoneyGreen", 0xC0DCC0},
      {"clWindowText", 0xFF000008},
      {"clBtnFace", 0xFF00000F},
      {"clLtGray", clSilver},
      {"$C00040", 0xC00040},
      {"$c00040", 0xC00040},
      {"$0", 0},
      {"$FFFFFFFF", 0xFFFFFFFF},
      {"0x1FFFFFFF", clNone},
      {"255", 255},
      {"4294967295", 0xFFFFFFFF},
      {"-16777211", 0xFF000005},  // a negative number is the system colour's pattern
      {"-2147483648", 0x80000000},
      {"  clAqua\t", clAqua},
      {" 12 ", 12},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToColor(c.text), c.color) << c.text;
}

TEST(TextToColor, RefusesAnythingElseWithAClearMessage) {
  const char* const refused[] = {"",    "clGren",     "Green", "$",           "$100000000", "$12G",
                                 "0x",  "4294967296", "-",     "-2147483649", "12 34",      "+5",
                                 "1.5", "$ 12",       "cl",    "\xFF\xFE",    "clGreen!",   "0x-1"};
  for (const char* text : refused) {
    try {
      TextToColor(text);
      ADD_FAILURE() << "accepted \"" << text << '"';
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), "Invalid colour value: \"" + std::string(text) + "\"");
    }
  }
}

TEST(ColorToText, NamesFirstThenHexAndBothDirectionsAgree) {
  EXPECT_EQ(ColorToText(clGreen), "clGreen");
  EXPECT_EQ(ColorToText(clSilver), "clSilver");  // the first of its names
  EXPECT_EQ(ColorToText(clNone), "clNone");
  EXPECT_EQ(ColorToText(clHighlight), "clHighlight");
  EXPECT_EQ(ColorToText(0xC00040), "$00C00040");
  EXPECT_EQ(ColorToText(0xFF000019), "$FF000019");  // no system colour 25
  std::mt19937 random(5);
  for (int round = 0; round < 5000; ++round) {
    const TColor color = round < 64 ? (kSystemColorFlag | round) : random();
    EXPECT_EQ(TextToColor(ColorToText(color)), color) << std::hex << color;
  }
}

TEST(ColorParts, RgbAndBack) {
  EXPECT_EQ(Rgb(0x40, 0x00, 0xC0), 0xC00040u);
  EXPECT_EQ(RedOf(0xC00040), 0x40);
  EXPECT_EQ(GreenOf(0xC01040), 0x10);
  EXPECT_EQ(BlueOf(0xC00040), 0xC0);
  EXPECT_TRUE(IsSystemColor(clWindow));
  EXPECT_FALSE(IsSystemColor(clNone));
  EXPECT_FALSE(IsSystemColor(clWhite));
}

}  // namespace
}  // namespace kestrova
