#include "main/search/search_commands.h"

#include <vector>

#include "main/search/history_list.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/tree/marks.h"
#include "platform/ini_file.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

constexpr char kEnv[] = "Env";

// Sets a flag for the life of the scope, whichever way it is left.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

bool SearchCommands::grep_running_ = false;

SearchCommands::SearchCommands(FolderTreeModel& form, SearchHost& host)
    : form_(form), host_(host) {}

void SearchCommands::Warn(const std::string& text) { ShowWarning(form_.ui(), text); }

void SearchCommands::ReportFailure(MessageId text, const Status& s) {
  if (EndOnFatal(form_.ui(), s)) return;
  Warn(FormatMessage(text, {Utf8ToCp932(s.message())}));
}

// --- the card search ---

void SearchCommands::GrepClick() {
  if (grep_running_) return;
  FlagScope running(grep_running_);
  host_.SaveCurrentCard(false);
  Settings& st = form_.settings();
  CardSearchForm f;
  FillHistoryCombo(&f.words, st.Kensaku);
  f.words.text = LastGrepText;
  f.find_del = st.FindDel != 0;
  f.find_folder_mark = st.FindFolderMark != 0;
  f.now_folder = st.NowFolder != 0;
  host_.ComeForward();
  if (form_.ui().RunCardSearchForm(&f) != kResultOk || !CardSearchFormAccepts(f)) {
    host_.ReturnToTarget();
    WriteGrepSettings();
    return;
  }
  st.FindDel = f.find_del ? 1 : 0;
  st.FindFolderMark = f.find_folder_mark ? 1 : 0;
  LastGrepText = f.words.text;
  const SearchCriteria criteria = BuildCriteria(f);
  SearchWordSet.clear();
  for (std::string& word : SplitSearchWords(f.words.text)) SearchWordSet.insert(std::move(word));
  FindString = criteria.joined;
  st.Kensaku = UpdateHistoryList(criteria.joined, st.Kensaku);
  st.NowFolder = f.now_folder ? 1 : 0;
  if (st.NowFolder == 0) {
    Status read_error;
    {
      CardMatcher matcher(criteria, form_.store(), form_.clock());
      Status s = host_.ReloadTree(&matcher);
      // The program ends: nothing more is written.
      if (s.code() == Status::kNoSpace) return;
      read_error = matcher.error();
    }
    if (!read_error.ok()) ReportFailure(MessageId::kSearchFailed, read_error);
    form_.tree().SetExpandedBranch(form_.tree().first(), true);
    ToMarkClick();
  } else {
    GrepCards(criteria);
  }
  WriteGrepSettings();
}

void SearchCommands::WriteGrepSettings() {
  const Settings& st = form_.settings();
  IniBatch batch;
  batch.WriteString(kEnv, "Kensaku", st.Kensaku);
  batch.WriteInteger(kEnv, "NowFolder", st.NowFolder);
  batch.WriteInteger(kEnv, "FindDel", st.FindDel);
  batch.WriteInteger(kEnv, "FindFolderMark", st.FindFolderMark);
  Status s = host_.WriteIni(batch);
  if (!s.ok()) host_.ShowFailure(s);
}

void SearchCommands::GrepOffClick() { host_.ReloadTree(nullptr); }

void SearchCommands::GrepKaijoClick() {
  host_.SaveCurrentCard(false);
  GrepOffClick();
}

void SearchCommands::GrepCards(const SearchCriteria& criteria) {
  FolderTree& tree = form_.tree();
  TreeNode* folder = FolderOf(tree.selected_node() != nullptr ? tree.selected_node() : tree.root());
  if (folder == nullptr) return;
  host_.SelectNode(folder);
  std::vector<TreeNode*> cards;
  for (TreeNode* n = folder->GetNext(); n != nullptr && IsInSubtree(folder, n); n = n->GetNext()) {
    if (!n->IsFolder()) cards.push_back(n);
  }
  FolderTreeView& view = form_.view();
  view.ShowProgress(static_cast<int64_t>(cards.size()));
  const Settings& st = form_.settings();
  const bool only_hits = st.FindDel != 0;
  const bool keep_marks = only_hits && st.FindFolderMark == 0;
  std::vector<TreeNode*> dropped;
  Status failure;
  tree.BeginUpdate();
  {
    CardMatcher matcher(criteria, form_.store(), form_.clock());
    store::CardRecord card(form_.store());
    card.keep_open = true;
    int64_t done = 0;
    for (TreeNode* n : cards) {
      view.SetProgress(++done);
      NodeInfo& info = n->info();
      bool found = false;
      failure = card.FindById(info.RecordNo(), info.TextId(), false, &found);
      if (!failure.ok()) break;
      if (found && matcher.CardMatchesSearch(card)) {
        if (!keep_marks) info.SetMark(1);
      } else {
        info.SetMark(0);
        if (only_hits) dropped.push_back(n);
      }
      tree.NodeChanged(n);
    }
    if (failure.ok()) failure = matcher.error();
    Status closed = card.Close();
    if (failure.ok()) failure = closed;
  }
  for (TreeNode* n : dropped) tree.Remove(n);
  // Cards taken out of the view: the tree no longer lists them all.
  if (!dropped.empty()) form_.tree_complete = 0;
  tree.EndUpdate();
  view.HideProgress();
  UpdateCountDisplay(form_, true);
  if (!failure.ok()) ReportFailure(MessageId::kSearchFailed, failure);
  if (only_hits) {
    tree.SetExpandedBranch(folder, true);
  } else if (form_.marked_count > 0) {
    ToMarkClick();
    tree.SetExpandedBranch(folder, true);
  }
}

void SearchCommands::ToMarkClick() {
  host_.SaveCurrentCard(true);
  TreeNode* n = FindMarkedNode(form_, form_.tree().selected_node(), host_.ShiftDown());
  if (n != nullptr) host_.SelectNode(n);
}

// --- the in-card search ---

void SearchCommands::FindStrMenuClick() {
  const bool confirmed = EditSearchString();
  SearchWordSet = {FindString};
  HighlightSearchWords();
  if (confirmed) KensakuBtClick();
}

void SearchCommands::KensakuBtClick() {
  if (FindString.empty()) {
    FindStrMenuClick();
    return;
  }
  SearchInCard(host_.Editor().SelStart(), 1);
}

void SearchCommands::SearchInCard(size_t start, int mode) {
  const bool backwards = host_.ShiftDown();
  SearchGrid* grid = host_.Grid();
  if (grid != nullptr && grid->Visible()) {
    grid->Find(FindString, mode, backwards);
  } else if (backwards) {
    FindPrevInEditor(host_.Editor(), form_.ui(), FindString, start, mode);
  } else {
    FindNextInEditor(host_.Editor(), form_.ui(), FindString, start, mode);
  }
}

bool SearchCommands::EditSearchString() {
  Settings& st = form_.settings();
  SearchStringForm f;
  FillHistoryCombo(&f.text, st.KensakuStrList);
  f.text.text = FindString;
  const bool confirmed =
      form_.ui().RunSearchStringForm(&f) == kResultOk && !f.text.text.empty();
  if (confirmed) {
    st.KensakuStrList = UpdateHistoryList(f.text.text, st.KensakuStrList);
    FindString = f.text.text;
  }
  WriteFindHistory();
  return confirmed;
}

void SearchCommands::WriteFindHistory() {
  IniBatch batch;
  batch.WriteString(kEnv, "KensakuStrList", form_.settings().KensakuStrList);
  Status s = host_.WriteIni(batch);
  if (!s.ok()) host_.ShowFailure(s);
}

// --- colouring ---

void SearchCommands::KensakuMarkClick() {
  HighlightOn = HighlightOn != 0 ? 0 : 1;
  host_.ShowHighlightButton(HighlightOn != 0);
  ClearSearchHighlight();
  HighlightSearchWords();
}

void SearchCommands::HighlightSearchWords() {
  if (HighlightOn != 1 || host_.TableOrPageShown()) return;
  SearchEditor& edit = host_.Editor();
  edit.SetHighlights(WordRanges(edit.Text(), SearchWordSet));
}

void SearchCommands::ClearSearchHighlight() { host_.Editor().SetHighlights({}); }

}  // namespace quill
