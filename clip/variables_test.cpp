#include "clip/variables.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/headless/fake_clock.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"
#include "platform/sjis.h"
#include "store/value_store.h"

namespace quill {
namespace {

constexpr char kKey[] = "0000000100000AAA";

std::string J(const char* utf8) { return Utf8ToCp932(utf8); }

// Remembered values in memory, with a switch that makes every call fail.
class MemoryValues : public RememberedValues {
 public:
  Status Read(std::string_view key, std::string* text) override {
    if (fail) return Status::IoError("read failed");
    auto it = texts.find(std::string(key));
    *text = it == texts.end() ? "" : it->second;
    return Status::Ok();
  }
  Status Write(std::string_view key, std::string_view text) override {
    if (fail) return Status::IoError("write failed");
    ++writes;
    if (text.empty()) {
      texts.erase(std::string(key));
    } else {
      texts[std::string(key)] = std::string(text);
    }
    return Status::Ok();
  }
  std::map<std::string, std::string> texts;
  int writes = 0;
  bool fail = false;
};

class VariablesTest : public ::testing::Test {
 protected:
  VariablesTest() { clock_.SetLocal(2026, 12, 8, 13, 5, 9); }  // a Tuesday

  // Runs the whole call sequence without a dialog, answering with `answers`.
  std::string Fill(const std::string& text, const std::vector<std::string>& answers,
                   bool blank = false) {
    VariableFill fill(clock_, &values_);
    fill.SetSource(text, kKey);
    fill.ScanVariables();
    fill.ExpandBuiltins();
    EXPECT_TRUE(fill.FillGrid().ok());
    for (size_t i = 0; i < answers.size(); ++i) fill.SetValue(static_cast<int>(i), answers[i]);
    fill.set_blank(blank);
    fill.ApplyValues();
    return fill.GetResult();
  }

  FakeClock clock_;
  MemoryValues values_;
};

TEST_F(VariablesTest, BuiltinsFromOneClockReading) {
  VariableFill fill(clock_, nullptr);
  fill.SetSource(J("$_YEAR_/$_MONTH_/$_DAY_ $_HOUR_:$_MINUTE_:$_SECOND_ 令和$_WAYEAR_年 "
                   "$_YOUBI_ $_DAY7_ $_DAY7SHORT_ [$_SELECTED_]"),
                 "");
  EXPECT_EQ(fill.ScanVariables(), 0);
  EXPECT_TRUE(fill.selected_used());
  fill.ExpandBuiltins();
  // An empty selection leaves its variable in the text.
  EXPECT_EQ(fill.GetResult(), J("2026/12/08 13:05:09 令和08年 火 Tuesday Tue [$_SELECTED_]"));
}

TEST_F(VariablesTest, WeekdayNames) {
  const char* youbi[] = {"日", "月", "火", "水", "木", "金", "土"};
  const char* names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                         "Thursday", "Friday", "Saturday"};
  for (int d = 0; d < 7; ++d) {
    clock_.SetLocal(2026, 12, 6 + d);  // 6 December 2026 is a Sunday
    VariableFill fill(clock_, nullptr);
    fill.SetSource("$_YOUBI_ $_DAY7_ $_DAY7SHORT_", "");
    fill.ExpandBuiltins();
    EXPECT_EQ(fill.GetResult(),
              J(youbi[d]) + " " + names[d] + " " + std::string(names[d]).substr(0, 3));
  }
}

TEST_F(VariablesTest, EraYearFollowsTheEraBoundaries) {
  struct Case {
    int y, m, d;
    const char* wayear;
  } cases[] = {
      {2026, 12, 8, "08"}, {2019, 5, 1, "01"},  {2019, 4, 30, "31"},
      {1989, 1, 8, "01"},  {1989, 1, 7, "64"},  {2000, 1, 1, "12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
    clock_.SetLocal(c.y, c.m, c.d);
    VariableFill fill(clock_, nullptr);
    fill.SetSource("$_WAYEAR_", "");
    fill.ExpandBuiltins();
    EXPECT_EQ(fill.GetResult(), c.wayear);
  }
}

TEST(VariableGrammarTest, NamesEndAtUnderscoreOrTerminator) {
  struct Case {
    std::string text;
    std::vector<std::string> names;
  } cases[] = {
      {"a $_NAME_ b", {"$_NAME_"}},
      {"$_NAME rest_", {"$_NAME"}},  // no closing "_": the blank ends it
      {"x$_AB", {"$_AB"}},           // the end of the text ends it
      {"$_A_$_B_", {"$_A_", "$_B_"}},
      {"$_A$B_", {"$_A$B_"}},
      {"$_A\nB_", {"$_A\nB_"}},  // LF belongs to the name
      {"$$_A_ $ _", {"$_A_"}},
      {J("$_名前_は"), {J("$_名前_")}},
      // Double-byte characters are taken whole, even when their second byte
      // is "_", "|" or "\" ("＼", "ポ", "ソ").
      {J("$_＼ポソ_"), {J("$_＼ポソ_")}},
      {J("ソ$_ソ。"), {J("$_ソ")}},
      {"$_", {"$_"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Cp932ToUtf8(c.text));
    EXPECT_EQ(SplitVariableNames(c.text), c.names);
  }
}

TEST(VariableGrammarTest, EveryTerminatorEndsAName) {
  for (char t : std::string(" \r!\"#%&'()-=^\\|{}[]@~*:+;/?<>,.\t")) {
    SCOPED_TRACE(testing::Message() << "byte " << static_cast<int>(t));
    EXPECT_EQ(SplitVariableNames(std::string("$_AB") + t + "CD_"),
              std::vector<std::string>{"$_AB"});
  }
  // Every other printable ASCII byte belongs to the name.
  for (int c = 0x21; c < 0x7F; ++c) {
    if (std::string_view("!\"#%&'()-=^\\|{}[]@~*:+;/?<>,._").find(static_cast<char>(c)) !=
        std::string_view::npos) {
      continue;
    }
    std::string name = std::string("$_A") + static_cast<char>(c) + "B_";
    EXPECT_EQ(SplitVariableNames(name), std::vector<std::string>{name});
  }
  const std::string wide =
      J("　、。，．！”＃＄％＆’（）＝｀｜＾￥－／＊＋「」｛｝＜＞？＿［］");
  ASSERT_EQ(wide, std::string(kDoubleByteTerminators));
  for (size_t i = 0; i < wide.size(); i += 2) {
    SCOPED_TRACE(Cp932ToUtf8(wide.substr(i, 2)));
    EXPECT_EQ(SplitVariableNames("$_AB" + wide.substr(i, 2) + "CD_"),
              std::vector<std::string>{"$_AB"});
  }
  // Other full-width characters belong to the name.
  EXPECT_EQ(SplitVariableNames(J("$_ＡＢ・ー_")), std::vector<std::string>{J("$_ＡＢ・ー_")});
}

TEST_F(VariablesTest, VariableUsedTwiceIsAskedOnceAndFilledTwice) {
  VariableFill fill(clock_, &values_);
  fill.SetSource("$_A_ and $_B_ and $_A_ again", kKey);
  ASSERT_EQ(fill.ScanVariables(), 2);
  EXPECT_EQ(fill.names(), (std::vector<std::string>{"$_A_", "$_B_"}));
  EXPECT_EQ(Fill("$_A_ and $_B_ and $_A_ again", {"x", "y"}), "x and y and x again");
}

TEST_F(VariablesTest, AtMost99VariablesAreAsked) {
  std::string text;
  for (int i = 1; i <= 120; ++i) text += "$_V" + std::to_string(i) + "_ ";
  VariableFill fill(clock_, nullptr);
  fill.SetSource(text, "");
  ASSERT_EQ(fill.ScanVariables(), 99);
  EXPECT_EQ(fill.names().back(), "$_V99_");
  fill.FillGrid();
  for (int i = 0; i < 99; ++i) fill.SetValue(i, "v");
  fill.ApplyValues();
  std::string expected;
  for (int i = 1; i <= 99; ++i) expected += "v ";
  for (int i = 100; i <= 120; ++i) expected += "$_V" + std::to_string(i) + "_ ";
  EXPECT_EQ(fill.GetResult(), expected);
}

TEST_F(VariablesTest, EmptyAnswerReplacesOnlyWithTikanBlank) {
  EXPECT_EQ(Fill("<$_A_|$_B_>", {"", "b"}, false), "<$_A_|b>");
  EXPECT_EQ(Fill("<$_A_|$_B_>", {"", "b"}, true), "<|b>");
}

TEST_F(VariablesTest, ValuesAreRememberedAndOfferedAgain) {
  const std::string text = "$_A_ $_B_ $_C_";
  Fill(text, {});
  VariableFill fill(clock_, &values_);
  fill.SetSource(text, kKey);
  fill.ScanVariables();
  fill.FillGrid();
  fill.SetValue(0, "one");
  fill.SetValue(2, J("三"));
  ASSERT_TRUE(fill.SaveValues().ok());
  EXPECT_EQ(values_.texts[kKey], "one\t\xDF\t" + J("三") + "\t");

  VariableFill again(clock_, &values_);
  again.SetSource(text, kKey);
  again.ScanVariables();
  ASSERT_TRUE(again.FillGrid().ok());
  EXPECT_EQ(again.values(), (std::vector<std::string>{"one", "", J("三")}));

  // A pre-fill text wins over the first remembered value only.
  again.SetPrefill("clip");
  again.FillGrid();
  EXPECT_EQ(again.values(), (std::vector<std::string>{"clip", "", J("三")}));

  // All values empty: the card's record goes.
  for (int i = 0; i < 3; ++i) again.SetValue(i, "");
  ASSERT_TRUE(again.SaveValues().ok());
  EXPECT_EQ(values_.texts.count(kKey), 0u);

  // No key: nothing is read or written, the pre-fill text still counts.
  VariableFill loose(clock_, &values_);
  loose.SetSource(text, "");
  loose.ScanVariables();
  loose.SetPrefill("clip");
  loose.FillGrid();
  EXPECT_EQ(loose.values(), (std::vector<std::string>{"clip", "", ""}));
  loose.SetValue(1, "x");
  int writes = values_.writes;
  EXPECT_TRUE(loose.SaveValues().ok());
  EXPECT_EQ(values_.writes, writes);
}

TEST_F(VariablesTest, TabInAValueDoesNotShiftTheOthers) {
  VariableFill fill(clock_, &values_);
  fill.SetSource("$_A_ $_B_", kKey);
  fill.ScanVariables();
  fill.SetValue(0, "a\tb");
  fill.SetValue(1, "c");
  ASSERT_TRUE(fill.SaveValues().ok());
  VariableFill again(clock_, &values_);
  again.SetSource("$_A_ $_B_", kKey);
  again.ScanVariables();
  again.FillGrid();
  EXPECT_EQ(again.values(), (std::vector<std::string>{"a b", "c"}));
}

TEST_F(VariablesTest, RememberedTextIsCutOnACharacterBoundary) {
  VariableFill fill(clock_, &values_);
  fill.SetSource("$_A_ $_B_", kKey);
  fill.ScanVariables();
  fill.SetValue(0, std::string(98, 'x'));  // 98 + TAB: the next value starts at byte 99
  std::string wide;
  for (int i = 0; i < 60; ++i) wide += J("漢");
  fill.SetValue(1, wide);  // byte 198 would be the middle of a character
  ASSERT_TRUE(fill.SaveValues().ok());
  const std::string& stored = values_.texts[kKey];
  EXPECT_EQ(stored, std::string(98, 'x') + "\t" + wide.substr(0, 98));
  EXPECT_EQ(quill::SjisCharClass(stored, static_cast<long>(stored.size()) - 1), 2);
}

TEST_F(VariablesTest, SelectionIsInsertedOnceOrAskedFor) {
  VariableFill fill(clock_, nullptr);
  fill.SetSource("[$_SELECTED_]", "");
  EXPECT_EQ(fill.ScanVariables(), 0);
  ASSERT_TRUE(fill.selected_used());
  fill.SetSelected("a $_SELECTED_ b");
  fill.ExpandBuiltins();
  EXPECT_EQ(fill.GetResult(), "[a $_SELECTED_ b]");

  // An empty selection is asked for like any variable.
  VariableFill ask(clock_, nullptr);
  ask.SetSource("$_X_ [$_SELECTED_] $_SELECTED_", "");
  ASSERT_EQ(ask.ScanVariables(), 1);
  ask.AddSelected();
  ask.AddSelected();
  ASSERT_EQ(ask.count(), 2);
  ask.ExpandBuiltins();
  ask.FillGrid();
  ask.SetValue(0, "x");
  ask.SetValue(1, "sel");
  ask.ApplyValues();
  EXPECT_EQ(ask.GetResult(), "x [sel] sel");
}

TEST_F(VariablesTest, StoreFailuresAreReported) {
  VariableFill fill(clock_, &values_);
  fill.SetSource("$_A_", kKey);
  fill.ScanVariables();
  fill.SetPrefill("p");
  values_.fail = true;
  EXPECT_FALSE(fill.FillGrid().ok());
  EXPECT_EQ(fill.values(), std::vector<std::string>{"p"});
  EXPECT_FALSE(fill.SaveValues().ok());
}

TEST_F(VariablesTest, OverlongNamesAndResultsStayWithinLimits) {
  // A 91-byte name is ordinary text.
  std::string long_name = "$_" + std::string(88, 'N') + "_";
  VariableFill fill(clock_, nullptr);
  fill.SetSource(long_name + " $_" + std::string(87, 'N') + "_", "");
  EXPECT_EQ(fill.ScanVariables(), 1);

  // A substitution that would pass the card-text limit is cut there,
  // never inside a double-byte character.
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "$_A_";
  VariableFill big(clock_, nullptr);
  big.SetSource(text, "");
  ASSERT_EQ(big.ScanVariables(), 1);
  std::string value = "xy";  // the limit falls on a second byte
  for (int i = 0; i < 1200; ++i) value += J("漢");
  big.SetValue(0, value);
  big.ApplyValues();
  const std::string& result = big.GetResult();
  EXPECT_EQ(result.size(), kMaxResultBytes - 1);
  EXPECT_EQ(quill::SjisCharClass(result, static_cast<long>(result.size()) - 1), 2);
}

TEST(StoredValuesTest, RoundTripThroughTheValueStore) {
  TempDir dir;
  FaultEnv env;
  store::VarValueStore store(env);
  ASSERT_TRUE(store.Open(false, dir.Path() + "/").ok());
  StoredValues values(store);
  FakeClock clock;
  VariableFill fill(clock, &values);
  fill.SetSource("$_A_ $_B_", kKey);
  fill.ScanVariables();
  fill.SetValue(1, "b");
  ASSERT_TRUE(fill.SaveValues().ok());
  std::string raw;
  ASSERT_TRUE(store.Read(kKey, &raw).ok());
  EXPECT_EQ(raw, "\xDF\tb\t");

  VariableFill again(clock, &values);
  again.SetSource("$_A_ $_B_", kKey);
  again.ScanVariables();
  ASSERT_TRUE(again.FillGrid().ok());
  EXPECT_EQ(again.values(), (std::vector<std::string>{"", "b"}));

  env.SetDiskFull(true);
  again.SetValue(0, "a");
  EXPECT_FALSE(again.SaveValues().ok());
}

}  // namespace
}  // namespace quill
