#include "main/exchange/text_export.h"

#include <cstdio>

#include "main/exchange/replacing_file.h"
#include "main/exchange/transfer_file.h"
#include "main/tree/folder_tree_model.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"
#include "platform/sjis.h"

namespace quill {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::vector<std::string> SplitAtBlanks(const std::string& path) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at <= path.size()) {
    size_t blank = path.find(' ', at);
    if (blank == std::string::npos) blank = path.size();
    if (blank > at) names.push_back(path.substr(at, blank - at));
    at = blank + 1;
  }
  return names;
}

std::string Stamp(Clock& clock, uint32_t seconds) {
  const LocalTime t = clock.Local(seconds);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %2d:%02d\r\n", t.year % 100, t.month, t.day,
                t.hour, t.minute);
  return buf;
}

// Every line of the text that begins with a dot gets a blank in front.
void AppendEscapedDots(std::string_view text, std::string* out) {
  bool line_start = true;
  for (char c : text) {
    if (line_start && c == '.') out->push_back(' ');
    out->push_back(c);
    line_start = c == '\n';
  }
}

// The replacements of TitleToFileName, CP932.
const std::string& Replacement(char c) {
  static const std::string kSlash = Utf8ToCp932("／"), kColon = Utf8ToCp932("："),
                           kTab = Utf8ToCp932("　"), kComma = Utf8ToCp932("、"),
                           kSemi = Utf8ToCp932("；"), kStar = Utf8ToCp932("＊"),
                           kQuestion = Utf8ToCp932("？"), kTilde = Utf8ToCp932("～"),
                           kYen = Utf8ToCp932("￥"), kQuote = Utf8ToCp932("”"), kNone;
  switch (c) {
    case '/': return kSlash;
    case ':': return kColon;
    case '\t': return kTab;
    case ',': return kComma;
    case ';': return kSemi;
    case '*': return kStar;
    case '?': return kQuestion;
    case '~': return kTilde;
    case '\\': return kYen;
    case '"': return kQuote;
    default: return kNone;
  }
}

// Cards of the tree to export: the marked ones, or all when none is.
std::vector<TreeNode*> CardsToWrite(FolderTreeModel& form, bool only_marked) {
  std::vector<TreeNode*> nodes;
  bool any_marked = false;
  TreeNode* root = form.tree().root();
  for (TreeNode* n = root != nullptr ? root->GetNext() : nullptr; n != nullptr; n = n->GetNext()) {
    if (n->IsFolder()) continue;
    if (n->info().Mark() != 0 && !any_marked) {
      any_marked = true;
      nodes.clear();
    }
    if (!any_marked || n->info().Mark() != 0) nodes.push_back(n);
  }
  if (only_marked && !any_marked) nodes.clear();
  return nodes;
}

}  // namespace

void ExportLayout::Append(const store::CardRecord& card, std::string* out) {
  switch (options_.naiyou) {
    case 0:
      if (options_.tab_kugiri) {
        out->append(card.title).append("\t").append(card.text).append(kCrLf);
        break;
      }
      out->append("Group:=").append(card.folder);
      out->append("\r\nTitle:=").append(card.title);
      out->append("\r\nFrom :=").append(card.source);
      out->append("\r\nCreate:=").append(Stamp(clock_, card.ctime));
      out->append("Udate :=").append(Stamp(clock_, card.utime));
      out->append(kCrLf).append(card.text).append(kCrLf);
      break;
    case 1:
      out->append(card.text).append(kCrLf);
      break;
    case 2:
      out->append("\r\n    ").append(card.title).append(kCrLf).append(card.text).append(kCrLf);
      break;
    default: {
      std::vector<std::string> names = SplitAtBlanks(card.folder);
      size_t common = 0;
      while (common < names.size() && common < previous_.size() &&
             names[common] == previous_[common]) {
        ++common;
      }
      for (size_t j = common; j < names.size(); ++j) {
        out->append(j + 1, '.').append(names[j]).append(kCrLf);
      }
      out->append(names.size() + 1, '.');
      if (!card.title.empty() && card.title[0] == '.') out->push_back(' ');
      out->append(card.title).append(kCrLf);
      AppendEscapedDots(card.text, out);
      out->append(kCrLf);
      previous_ = std::move(names);
      break;
    }
  }
  if (options_.kugiri_line) out->append(kDividingLine);
}

bool TitleToFileName(std::string& title) {
  for (size_t i = 0; i < title.size();) {
    const unsigned char c = static_cast<unsigned char>(title[i]);
    if (quill::IsSjisLead(c) && i + 1 < title.size()) {
      i += 2;
      continue;
    }
    if (c == '.' && title.size() - i - 1 < 5) return true;
    const std::string& r = Replacement(static_cast<char>(c));
    if (!r.empty()) {
      title.replace(i, 1, r);
      i += r.size();
    } else {
      ++i;
    }
  }
  return false;
}

std::string CardFileName(std::string title, const char* default_ext,
                         std::unordered_set<std::string>* used) {
  const bool has_ext = TitleToFileName(title);
  std::string name = FileNameFromCp932(title, default_ext, !has_ext);
  if (used != nullptr) {
    std::string candidate = name;
    for (int n = 2; used->count(candidate) != 0; ++n) {
      size_t dot = name.rfind('.');
      if (dot == std::string::npos || dot == 0) dot = name.size();
      candidate = name.substr(0, dot) + "(" + std::to_string(n) + ")" + name.substr(dot);
    }
    used->insert(candidate);
    name = candidate;
  }
  return name;
}

Status RunTextExport(TransferContext& ctx, IniFile& ini, Shell& shell, Clipboard& clipboard) {
  FolderTreeModel& form = ctx.form;
  WriteOptionsForm options;
  options.to_clip = ini.ReadInteger("Env", "OutTextToClip", 0) == 1;
  options.tab_kugiri = ini.ReadInteger("Env", "OutTextTabKugiri", 0) == 1;
  options.kugiri_line = ini.ReadInteger("Env", "OutTextKugiriLine", 0) == 1;
  options.naiyou = ini.ReadInteger("Env", "OutTextNaiyou", 0);
  if (ctx.dialogs.RunWriteOptions(&options) != 1) return Status::Ok();

  BusyScope busy(form.busy());
  IniBatch batch;
  batch.WriteInteger("Env", "OutTextToClip", options.to_clip ? 1 : 0);
  batch.WriteInteger("Env", "OutTextTabKugiri", options.tab_kugiri ? 1 : 0);
  batch.WriteInteger("Env", "OutTextKugiriLine", options.kugiri_line ? 1 : 0);
  batch.WriteInteger("Env", "OutTextNaiyou", options.naiyou);
  Status s = ini.Apply(batch);
  if (!s.ok()) ShowWarning(form.ui(), MessageId::kCannotWriteFile, {Utf8ToCp932(ini.path())});

  store::CardStore& store = form.store();
  const std::string path = store.program_folder() + kExportFileName;
  ReplacingFile out(store.env(), path);
  s = out.Open();
  std::vector<std::string> unreadable;
  Status fatal;
  if (s.ok()) {
    const std::vector<TreeNode*> nodes = CardsToWrite(form, false);
    form.view().ShowProgress(static_cast<int64_t>(nodes.size()));
    form.ui().ShowFlashIcon(FlashBitmap::kClip);
    ExportLayout layout(store.env().clock(), options);
    store::CardRecord card(store);
    card.SetOpenFlag(true);
    std::string bytes;
    int64_t progress = 0;
    for (TreeNode* n : nodes) {
      form.view().ProcessMessages();
      bool found = false;
      Status r = card.FindById(n->info().RecordNo(), n->info().TextId(), true, &found);
      form.view().SetProgress(++progress);
      if (r.code() == Status::kFatal) {
        fatal = r;
        break;
      }
      if (!r.ok() || !found) {
        unreadable.push_back(n->text());
        continue;
      }
      bytes.clear();
      layout.Append(card, &bytes);
      out.Append(bytes);
      if (!out.status().ok()) break;
    }
    card.Close();
    form.view().HideProgress();
    form.ui().HideFlashIcon();
    // The file is left as it was.
    if (EndOnFatal(form.ui(), fatal)) return fatal;
    s = out.Commit();
  }
  if (!s.ok()) {
    ShowWarning(form.ui(), MessageId::kWriteFailed);
    return s;
  }
  if (!unreadable.empty()) {
    ShowWarning(form.ui(), MessageId::kCardsUnreadable, {JoinLines(unreadable)});
  }
  if (!options.to_clip) {
    shell.OpenFile(Utf8ToCp932(path));
    return Status::Ok();
  }
  std::string content;
  if (store.env().ReadFile(path, &content).ok() && !content.empty() &&
      content.size() < kClipboardExportLimit) {
    clipboard.SetText(content);
  } else {
    ShowWarning(form.ui(), MessageId::kNotOnClipboard);
  }
  return Status::Ok();
}

Status RunCardFileExport(TransferContext& ctx) {
  FolderTreeModel& form = ctx.form;
  const std::vector<TreeNode*> nodes = CardsToWrite(form, true);
  if (nodes.empty()) {
    ShowWarning(form.ui(), MessageId::kNoMarkedCards);
    return Status::Ok();
  }
  std::string folder;
  if (AskFolderPath(ctx, &folder, kPathForCardFiles) != 0) return Status::Ok();
  store::CardStore& store = form.store();
  store::CardRecord card(store);
  card.SetOpenFlag(true);
  std::unordered_set<std::string> used;
  std::vector<std::string> unreadable;
  Status failed, fatal;
  for (TreeNode* n : nodes) {
    bool found = false;
    Status r = card.FindById(n->info().RecordNo(), n->info().TextId(), true, &found);
    if (r.code() == Status::kFatal) {
      fatal = r;
      break;
    }
    if (!r.ok() || !found) {
      unreadable.push_back(n->text());
      continue;
    }
    const std::string name = CardFileName(card.title, ".txt", &used);
    Status w = store.env().WriteFileAtomic(folder + name, card.text, LinkAtTarget::kReplace);
    if (!w.ok() && failed.ok()) failed = w;
  }
  card.Close();
  if (EndOnFatal(form.ui(), fatal)) return fatal;
  if (!failed.ok()) ShowWarning(form.ui(), MessageId::kWriteFailed);
  if (!unreadable.empty()) {
    ShowWarning(form.ui(), MessageId::kCardsUnreadable, {JoinLines(unreadable)});
  }
  return failed;
}

Status SaveCardToExternalFile(FileEnv& env, Ui& ui, const std::string& folder,
                              const std::string& title, const std::string& body, bool table) {
  const std::string name = CardFileName(title, table ? ".csv" : ".txt");
  std::string bytes = body;
  if (table) {
    for (char& c : bytes) {
      if (c == '\t') c = ',';
    }
  }
  ui.ShowFlashIcon(FlashBitmap::kClip);
  Status s = env.WriteFileAtomic(folder + name, bytes, LinkAtTarget::kReplace);
  ui.HideFlashIcon();
  if (!s.ok()) ShowWarning(ui, MessageId::kWriteFailed);
  return s;
}

}  // namespace quill
