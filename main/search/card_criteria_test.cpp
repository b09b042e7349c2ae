#include "main/search/card_criteria.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "main/search/search_test_support.h"

namespace quill {
namespace {

TEST(ParseDateTest, Cases) {
  struct Case {
    const char* text;
    SearchDate date;
  } cases[] = {
      {"98/1/1", {1998, 1, 1}},
      {"1998.01.01", {1998, 1, 1}},
      {"1998-1-1", {1998, 1, 1}},
      {" 1998 , 1 , 1 ", {1998, 1, 1}},
      {"89/12/31", {2089, 12, 31}},
      {"2000/2/29", {2000, 2, 29}},
      {"2100/12/31", {2100, 12, 31}},
      {"90/1/1", {}},  // 1990: before the first year
      {"1993/12/31", {}},
      {"2100/2/29", {}},
      {"1999/2/29", {}},
      {"1998/13/1", {}},
      {"1998/1", {}},  // day 0
      {"1998/4/31", {}},
      {"abc", {}},
      {"", {}},
      {"99999999999/1/1", {}},  // past the range of an int
      {"19980101", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDate(c.text), c.date) << c.text;
}

TEST(CardCriteriaTest, WordsSourceAndWhatTheDialogAccepts) {
  CardSearchForm words;
  words.words.text = S("ＡＢＣ　abc  ");
  // 29 bytes: the 28th is the first byte of a double-byte character.
  words.source = "x" + S("ああああああああああああああ");
  words.fuzzy = false;
  SearchCriteria c = BuildCriteria(words);
  EXPECT_EQ(c.words, (std::vector<std::string>{S("ＡＢＣ"), "abc"}));
  EXPECT_EQ(c.joined, S("ＡＢＣ abc"));
  EXPECT_EQ(c.source, "X" + std::string(13, '\xB1'));

  words.fuzzy = true;
  EXPECT_EQ(BuildCriteria(words).words, (std::vector<std::string>{"ABC", "ABC"}));

  auto form = [](void (*fill)(CardSearchForm&)) {
    CardSearchForm f;
    fill(f);
    return f;
  };
  struct Case {
    const char* what;
    CardSearchForm form;
    bool accepted;
  } cases[] = {
      {"nothing", CardSearchForm(), false},
      {"words", form([](CardSearchForm& f) { f.words.text = "w"; }), true},
      {"source", form([](CardSearchForm& f) { f.source = "s"; }), true},
      {"icon", form([](CardSearchForm& f) { f.icon = 0; }), true},
      {"a date", form([](CardSearchForm& f) { f.update_to = "1998/1/1"; }), true},
      {"a wrong date", form([](CardSearchForm& f) { f.create_from = "1993/1/1"; }), false},
      {"a date and a wrong one", form([](CardSearchForm& f) {
         f.create_from = "1998/1/1";
         f.update_to = "x";
       }),
       false},
      {"a wrong date and words", form([](CardSearchForm& f) {
         f.create_from = "x";
         f.words.text = "w";
       }),
       true},
  };
  for (const Case& k : cases) EXPECT_EQ(CardSearchFormAccepts(k.form), k.accepted) << k.what;
}

class CardMatchTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    Add(Card("alpha").Text("beta gamma").Source("Web page").Icon(3).Times(
        Day(1998, 1, 1), Day(2005, 6, 15)));
    Add(Card("ABC note").Times(Day(1989, 12, 31), Day(1989, 12, 31)));
    Add(Card("spaced").Text("a b c"));
    Add(Card("lower").Text("xabcx"));
    Add(Card("kana").Text(S("テキスト")).Source("x" + std::string(13, '\xB1')));
  }

  // Titles of the stored cards that match, in title order.
  std::vector<std::string> Matching(const CardSearchForm& f) {
    const SearchCriteria criteria = BuildCriteria(f);
    CardMatcher matcher(criteria, store_, env_.fake_clock());
    store::CardRecord c(store_);
    std::vector<int64_t> rows;
    EXPECT_TRUE(c.FindCardsByFolder("", &rows).ok());
    std::vector<std::string> titles;
    for (int64_t r : rows) {
      c.SetRecNo(r);
      EXPECT_TRUE(c.Load(false).ok());
      if (!c.is_folder() && matcher.CardMatchesSearch(c)) titles.push_back(c.title);
    }
    EXPECT_TRUE(matcher.error().ok());
    std::sort(titles.begin(), titles.end());
    return titles;
  }
  static CardSearchForm Words(const std::string& words, bool fuzzy, int mode = 0) {
    CardSearchForm f;
    f.words.text = words;
    f.fuzzy = fuzzy;
    f.mode = mode;
    return f;
  }
  using Titles = std::vector<std::string>;
};

TEST_F(CardMatchTest, Table) {
  CardSearchForm title_only = Words("beta", false);
  title_only.title_only = true;
  CardSearchForm source = Words("", false);
  source.source = "x" + S("ああああああああああああああ");
  CardSearchForm icon;
  icon.icon = 3;
  CardSearchForm created_until;
  created_until.create_to = "1998/1/1";
  CardSearchForm created_since;
  created_since.create_from = "1998/1/2";
  CardSearchForm updated;
  updated.update_from = "2005/6/15";
  updated.update_to = "2005.6.15";
  struct Case {
    const char* what;
    CardSearchForm form;
    Titles titles;
  } cases[] = {
      {"And over title and text: one in each is no hit", Words("alpha beta", false), {}},
      {"And in the text", Words("gamma beta", false), {"alpha"}},
      {"Or", Words("alpha nothing", false, 1), {"alpha"}},
      {"the text", Words("beta", false), {"alpha"}},
      {"title only", title_only, {}},
      {"exact case", Words("abc", false), {"lower"}},
      {"exact case, capitals", Words("ABC", false), {"ABC note"}},
      {"fuzzy", Words("ABC", true), {"ABC note", "lower", "spaced"}},
      {"fuzzy kana", Words(S("ﾃｷｽﾄ"), true), {"kana"}},
      {"source cut before byte 28, folded", source, {"kana"}},
      {"icon", icon, {"alpha"}},
      {"only an end date: from 1990 on", created_until, {"alpha"}},
      {"only a start date", created_since, {"kana", "lower", "spaced"}},
      {"update date range of one day", updated, {"alpha"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Matching(c.form), c.titles) << c.what;
}

}  // namespace
}  // namespace quill
