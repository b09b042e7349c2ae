#include "main/search/search_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/search/history_list.h"
#include "main/search/search_test_support.h"
#include "main/search/tree_keys.h"
#include "main/tree/node_operations.h"
#include "platform/messages.h"
#include "platform/ui_messages.h"
#include "store/card_test_support.h"
#include "store/text_store.h"

namespace quill {
namespace {

// The card search dialog confirmed with these words and options.
std::function<int(CardSearchForm*)> Confirm(const std::string& words, bool find_del,
                                            bool mark, bool now_folder) {
  return [=](CardSearchForm* f) {
    f->words.text = words;
    f->fuzzy = false;
    f->find_del = find_del;
    f->find_folder_mark = mark;
    f->now_folder = now_folder;
    return kResultOk;
  };
}

class SearchCommandsTest : public SearchTest {
 protected:
  // Marks the card nodes with these captions.
  void MarkCards(std::initializer_list<const char*> captions) {
    for (const char* c : captions) Find(c)->info().SetMark(1);
    UpdateCountDisplay(form_, true);
  }
  const std::vector<FakeUi::Question>& Questions() { return ui_.questions(); }
  std::string LastQuestion() { return Questions().empty() ? "" : Questions().back().text; }
};

TEST_F(SearchCommandsTest, WhatTheCardSearchLeavesInTheTree) {
  Add(Card("hit").Text("needle"));
  Add(Card("miss").Text("hay"));
  Add(Card("other").In("B").Text("needle"));
  struct Case {
    bool find_del, mark;
    // The mark of "hit", of "miss" (-1: not in the tree).
    int hit, miss;
  } cases[] = {{false, false, 1, 0}, {true, false, 0, -1}, {true, true, 1, -1}};
  for (bool now_folder : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "FindDel " << c.find_del << " FindFolderMark "
                                        << c.mark << " NowFolder " << now_folder);
      Load();
      form_.tree().set_selected_node(Find("A"));
      ui_.ScriptCardSearch(Confirm("needle", c.find_del, c.mark, now_folder));
      search_.GrepClick();
      ASSERT_NE(Find("hit"), nullptr);
      EXPECT_EQ(Find("hit")->info().Mark(), c.hit);
      TreeNode* miss = Find("miss");
      EXPECT_EQ(miss == nullptr ? -1 : miss->info().Mark(), c.miss);
      // The current-folder search leaves the other folders as they were.
      ASSERT_NE(Find("other"), nullptr);
      EXPECT_EQ(Find("other")->info().Mark(), now_folder ? 0 : c.hit);
      EXPECT_EQ(settings_.NowFolder, now_folder ? 1 : 0);
      EXPECT_EQ(settings_.FindDel, c.find_del ? 1 : 0);
    }
  }
  EXPECT_EQ(host_.ini.ReadString("Env", "Kensaku", ""), "needle\t");
  EXPECT_EQ(host_.ini.ReadInteger("Env", "NowFolder", -1), 1);
  EXPECT_EQ(host_.ini.ReadInteger("Env", "FindFolderMark", -1), 1);
  EXPECT_EQ(search_.FindString, "needle");
}

// The search meets the store's fatal status on a card's text (whole data
// set and current folder): its message, and the program ends.
TEST_F(SearchCommandsTest, TheStoresFatalStatusEndsTheProgram) {
  Add(Card("hit").Text("needle"));
  const std::string bad = Add(Card("bad").Text("needle"));
  for (bool now_folder : {false, true}) {
    SCOPED_TRACE(now_folder);
    env_.ClearFaults();
    env_.SetFreeBytes(uint64_t{1} << 40);
    Load();
    store::DamageCardId(env_, folder_, bad);
    form_.tree().set_selected_node(Find("A"));
    const size_t before = Questions().size();
    ui_.ScriptCardSearch(Confirm("needle", false, false, now_folder));
    search_.GrepClick();
    ASSERT_EQ(Questions().size(), before + 1);
    EXPECT_EQ(LastQuestion(), MessageText(MessageId::kFatalRead));
    EXPECT_EQ(Questions().back().caption, MessageText(MessageId::kWarningCaption));
    EXPECT_EQ(ui_.exit_codes().size(), before + 1);
    EXPECT_EQ(ui_.exit_codes().back(), kFatalExitCode);
    EXPECT_TRUE(host_.failures.empty());
  }
}

TEST_F(SearchCommandsTest, TheCardSearchRunsOnceAtATimeAndAgainAfterACancel) {
  Add(Card("a").Text("x"));
  Load();
  settings_.Kensaku = "old\t";
  search_.LastGrepText = "last";
  int inner_forms = -1;
  ui_.ScriptCardSearch([&](CardSearchForm* f) {
    search_.GrepClick();  // the find hot key while the dialog is open
    inner_forms = static_cast<int>(ui_.card_search_forms().size());
    return kResultCancel;
  });
  search_.GrepClick();
  EXPECT_EQ(inner_forms, 1);
  ASSERT_EQ(ui_.card_search_forms().size(), 1u);
  EXPECT_EQ(ui_.card_search_forms()[0].words.text, "last");
  EXPECT_EQ(ui_.card_search_forms()[0].words.items, std::vector<std::string>{"old"});
  // Cancelled: the settings are written all the same.
  EXPECT_EQ(host_.ini.ReadString("Env", "Kensaku", ""), "old\t");

  ui_.ScriptCardSearch(Confirm(S("ＡＢＣ　abc"), false, false, false));
  search_.GrepClick();
  EXPECT_EQ(ui_.card_search_forms().size(), 2u);
  EXPECT_EQ(search_.FindString, S("ＡＢＣ abc"));
  EXPECT_EQ(settings_.Kensaku, S("ＡＢＣ abc") + "\told\t");
  EXPECT_EQ(search_.SearchWordSet, (std::set<std::string>{S("ＡＢＣ"), "abc"}));
}

TEST_F(SearchCommandsTest, ReplaceInTheCardAsksAtEachHit) {
  struct Case {
    const char* what;
    std::string text, find, replacement;
    std::vector<std::string> keys;  // typed on the question; "" is Esc
    std::string result;
  } cases[] = {
      {"r, f, a", "a-a-a-a", "a", "b", {"r", "f", "a"}, "b-a-b-b"},
      {"kana keys", "a-a-a-a", "a", "b", {S("ｽ"), S("ﾊ"), S("ﾁ")}, "b-a-b-b"},
      {"Esc stops", "a-a-a", "A", "b", {"R", ""}, "b-a-a"},
      {"a skipped hit, then the one right after it", "aa", "a", "b", {"f", "r"}, "ab"},
      {"all, the replacement holding the text", "x.x", "x", "xx", {"a"}, "xx.xx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.editor = FakeSearchEditor();
    host_.editor.text = c.text;
    for (const std::string& k : c.keys) {
      const int answer = ReplaceCheckKeyResult(k);
      ui_.AnswerReplaceCheck(answer != 0 ? answer : kResultCancel);
    }
    ui_.ScriptReplace([&](ReplaceForm* f) {
      f->find.text = c.find;
      f->replacement = c.replacement;
      return kResultOk;
    });
    search_.ReplaceClick();
    EXPECT_EQ(host_.editor.text, c.result);
  }
  EXPECT_EQ(search_.LastReplaceText, "xx");
  EXPECT_EQ(ReplaceCheckKeyResult("q"), 0);

  host_.locked = true;
  search_.ReplaceClick();
  EXPECT_EQ(LastQuestion(), S("ロック中です。"));
  EXPECT_EQ(ui_.replace_forms().size(), 5u);
}

TEST_F(SearchCommandsTest, BatchReplaceChangesTheTextOfMarkedUnlockedCards) {
  const std::string kanji = S("漢字列");  // three double-byte characters, 6 bytes
  const std::string marked = Add(Card("marked").Text("1 " + kanji + " 2"));
  const std::string locked = Add(Card("locked").Text(kanji).Locked());
  const std::string unmarked = Add(Card("unmarked").Text(kanji));
  Load();
  MarkCards({"marked", "locked"});
  auto batch = [this](const std::string& find, const std::string& replacement) {
    ui_.ScriptReplace([=](ReplaceForm* f) {
      EXPECT_TRUE(f->batch);
      f->find.text = find;
      f->replacement = replacement;
      return kResultOk;
    });
    search_.IkkatuTikanClick();
  };
  batch("abcde", "x");
  EXPECT_EQ(LastQuestion(), MessageText(MessageId::kBatchReplaceTooShort));
  const size_t questions = Questions().size();

  batch(kanji, "new");
  EXPECT_EQ(Questions().size(), questions);
  EXPECT_EQ(Stored(marked).text, "1 new 2");
  EXPECT_EQ(Stored(marked).title, "marked");
  EXPECT_EQ(Stored(locked).text, kanji);
  EXPECT_EQ(Stored(unmarked).text, kanji);
  EXPECT_EQ(search_.LastBatchReplaceText, "new");
  // The refused text is not remembered.
  EXPECT_EQ(settings_.KensakuStrList, kanji + "\t");
}

TEST_F(SearchCommandsTest, BatchReplaceStopsWhenTheDiskFillsAndNamesTooLongCards) {
  std::vector<std::string> ids;
  for (const char* t : {"c1", "c2", "c3", "c4"}) ids.push_back(Add(Card(t).Text("<old-text>")));
  std::string huge(store::kCardTextCapacity - 12, 'z');
  huge += "<old-text>";
  const std::string big = Add(Card("big").Text(huge));
  Load();
  MarkCards({"c1", "c2", "c3", "c4", "big"});
  auto batch = [this](const std::string& replacement) {
    ui_.ScriptReplace([=](ReplaceForm* f) {
      f->find.text = "<old-text>";
      f->replacement = replacement;
      return kResultOk;
    });
    search_.IkkatuTikanClick();
  };

  // The disk fills after the second card.
  view_.on_progress = [this](int64_t step) {
    if (step == 3) env_.SetFreeBytes(1000);
  };
  batch("<new-text>");
  EXPECT_EQ(LastQuestion(), MessageText(MessageId::kLowSpaceStopped));
  EXPECT_EQ(Stored(ids[0]).text, "<new-text>");
  EXPECT_EQ(Stored(ids[1]).text, "<new-text>");
  EXPECT_EQ(Stored(ids[2]).text, "<old-text>");
  EXPECT_EQ(Stored(ids[3]).text, "<old-text>");

  view_.on_progress = nullptr;
  env_.SetFreeBytes(uint64_t{1} << 40);
  batch("<the longer new text>");
  EXPECT_EQ(LastQuestion(), FormatMessage(MessageId::kBatchReplaceTooLong, {"big"}));
  EXPECT_EQ(Stored(big).text, huge);
  EXPECT_EQ(Stored(ids[3]).text, "<the longer new text>");
}

TEST_F(SearchCommandsTest, ColouringTakesTheWordsAndNeverChangesTheText) {
  host_.editor.text = "Find the find";
  // A first search-string dialog cancelled: the word to colour is empty.
  search_.KensakuMarkClick();
  search_.FindStrMenuClick();
  EXPECT_EQ(search_.SearchWordSet, std::set<std::string>{""});
  EXPECT_TRUE(host_.editor.highlights.empty());

  ui_.ScriptSearchString([](SearchStringForm* f) {
    f->text.text = "FIND";
    return kResultOk;
  });
  search_.FindStrMenuClick();
  EXPECT_EQ(host_.editor.highlights, (std::vector<TextRange>{{0, 4}, {9, 4}}));
  // The search follows the dialog: the first hit is selected.
  EXPECT_EQ(host_.editor.sel_start, 0u);
  EXPECT_EQ(host_.editor.sel_length, 4u);
  EXPECT_EQ(host_.editor.edits, 0);
  EXPECT_EQ(host_.ini.ReadString("Env", "KensakuStrList", ""), "FIND\t");

  host_.table_shown = true;
  search_.KensakuMarkClick();
  EXPECT_TRUE(host_.editor.highlights.empty());
  EXPECT_EQ(search_.HighlightOn, 0);
}

TEST_F(SearchCommandsTest, TheJumpToAMarkStopsAtTheEnds) {
  Add(Card("one"));
  Add(Card("two"));
  Add(Card("three"));
  Load();
  MarkCards({"one", "three"});
  search_.ToMarkClick();  // from the root
  EXPECT_EQ(form_.tree().selected_node(), Find("one"));
  search_.ToMarkClick();
  search_.ToMarkClick();
  EXPECT_EQ(form_.tree().selected_node(), Find("three"));
  EXPECT_EQ(host_.selected.size(), 2u);
  host_.shift = true;
  search_.ToMarkClick();
  search_.ToMarkClick();
  EXPECT_EQ(form_.tree().selected_node(), Find("one"));
  EXPECT_EQ(host_.selected.size(), 3u);
  EXPECT_EQ(host_.saves, 5);
}

TEST(TreeKeyDownTest, Table) {
  using A = TreeKeyAction;
  struct Case {
    TreeKey key;
    bool shift, editing, awaiting;
    TreeKeyAction action;
    bool consumed;
  } cases[] = {
      {TreeKey::kDelete, false, false, false, A::kDeleteNodes, true},
      {TreeKey::kDelete, false, true, false, A::kNone, false},
      {TreeKey::kRight, true, false, false, A::kExpandBranch, true},
      {TreeKey::kRight, false, false, false, A::kNone, false},
      {TreeKey::kLeft, true, false, false, A::kCollapseBranch, true},
      {TreeKey::kF4, false, false, false, A::kToMark, false},
      {TreeKey::kEscape, false, false, true, A::kCancelPick, true},
      {TreeKey::kEscape, false, false, false, A::kListPopup, true},
      {TreeKey::kMenu, false, false, false, A::kListPopup, true},
      {TreeKey::kMenu, false, true, false, A::kNone, false},
      {TreeKey::kOther, true, false, false, A::kNone, false},
  };
  for (const Case& c : cases) {
    const TreeKeyResult r = TreeKeyDown(c.key, c.shift, c.editing, c.awaiting);
    EXPECT_EQ(r.action, c.action) << static_cast<int>(c.key);
    EXPECT_EQ(r.consumed, c.consumed) << static_cast<int>(c.key);
  }
}

TEST(HistoryListTest, MovesToTheFrontKeepsTwentyOneAndLongEntriesWhole) {
  EXPECT_EQ(UpdateHistoryList("b", "a\tb\tc\t"), "b\ta\tc\t");
  std::string many;
  for (int i = 0; i < 25; ++i) many.append("s").append(std::to_string(i)).append("\t");
  const std::vector<std::string> list = SplitHistoryList(UpdateHistoryList("new", many));
  ASSERT_EQ(list.size(), 21u);
  EXPECT_EQ(list.front(), "new");
  EXPECT_EQ(list.back(), "s19");

  const std::string long_entry(2000, 'q');
  ComboContent combo{"typed", {}};
  FillHistoryCombo(&combo, UpdateHistoryList(long_entry, "\t\tshort\t"));
  EXPECT_EQ(combo.text, long_entry);
  EXPECT_EQ(combo.items, (std::vector<std::string>{long_entry, "short"}));
  combo.text = "typed";
  FillHistoryCombo(&combo, "");
  EXPECT_EQ(combo.text, "typed");
  EXPECT_TRUE(combo.items.empty());
}

}  // namespace
}  // namespace quill
