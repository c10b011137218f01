#include "appinfo/form_placement_rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "util/screen_fit.h"

namespace kestrova {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.left << ", " << r.top << ", " << r.width << " x " << r.height << ")";
}

namespace {

using ::testing::ElementsAre;

TEST(FormPlacementRulesTest, ClipToWorkArea) {
  const Rect area{0, 30, 1000, 700};  // a panel at the top
  const struct {
    const char* what;
    Rect form;
    Rect expected;
  } cases[] = {
      {"inside stays", {10, 40, 300, 200}, {10, 40, 300, 200}},
      {"larger than the area shrinks", {-50, 0, 1600, 1200}, {0, 30, 1000, 700}},
      {"past the right and bottom moves back", {900, 650, 300, 200}, {700, 530, 300, 200}},
      {"past the left and top moves in", {-40, 0, 300, 200}, {0, 30, 300, 200}},
      {"wider only", {100, 100, 1200, 100}, {0, 100, 1000, 100}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FitRectToArea(c.form, area), c.expected);
  }
  // An area that does not start at the origin, as on a second screen.
  EXPECT_EQ(FitRectToArea({0, 0, 400, 300}, {1920, 0, 1280, 1024}), (Rect{1920, 0, 400, 300}));
}

TEST(FormPlacementRulesTest, ZOrderText) {
  EXPECT_EQ(JoinZOrder({"Form1", "VMurTerminal1_Form"}), "Form1|VMurTerminal1_Form");
  EXPECT_EQ(JoinZOrder({}), "");
  EXPECT_THAT(SplitZOrder("Form1|VMurTerminal1_Form"), ElementsAre("Form1", "VMurTerminal1_Form"));
  EXPECT_THAT(SplitZOrder("|A||B|"), ElementsAre("A", "B"));
  EXPECT_TRUE(SplitZOrder("").empty());
}

TEST(FormPlacementRulesTest, RestoreOrder) {
  const struct {
    const char* what;
    std::vector<std::string> stored, windowed, without;
    std::vector<std::string> expected;
  } cases[] = {
      {"stored order first", {"B", "A"}, {"A", "B", "C"}, {}, {"B", "A", "C"}},
      {"then windows, then the rest", {"C"}, {"A", "B"}, {"D", "C"}, {"C", "A", "B", "D"}},
      {"unknown and doubled names skipped", {"X", "b", "B", "a"}, {"A", "B"}, {}, {"B", "A"}},
      {"nothing stored", {}, {"A"}, {"B"}, {"A", "B"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ZOrderForRestore(c.stored, c.windowed, c.without), c.expected);
  }
}

TEST(FormPlacementRulesTest, ExceptedNames) {
  const struct {
    const char* list;
    const char* name;
    bool expected;
  } cases[] = {
      {"|Form2|", "Form2", true},
      {"Form2", "Form2", true},
      {"Form1|Form2", "form2", true},
      {"|Form22|", "Form2", false},
      {"Form2x|", "Form2", false},
      {"", "Form2", false},
      {"||", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NameExcepted(c.list, c.name), c.expected) << c.list << " / " << c.name;
  }
}

TEST(FormPlacementRulesTest, ShowCommands) {
  EXPECT_EQ(StateOfShowCommand(1), PlacementState::kNormal);
  EXPECT_EQ(StateOfShowCommand(2), PlacementState::kMinimized);
  EXPECT_EQ(StateOfShowCommand(6), PlacementState::kMinimized);
  EXPECT_EQ(StateOfShowCommand(3), PlacementState::kMaximized);
  for (int other : {0, 4, 5, 7, 9, -1, 1000}) {
    EXPECT_EQ(StateOfShowCommand(other), PlacementState::kNormal) << other;
  }
  for (PlacementState state :
       {PlacementState::kNormal, PlacementState::kMinimized, PlacementState::kMaximized}) {
    EXPECT_EQ(StateOfShowCommand(ShowCommandOf(state)), state);
  }
}

}  // namespace
}  // namespace kestrova
