#include "main/exchange/text_import.h"

#include "main/exchange/transfer_dialogs.h"
#include "main/exchange/transfer_file.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/tree/sort_orders.h"
#include "platform/messages.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates); *non_ascii tells whether any byte is above 0x7F.
bool IsUtf8(std::string_view s, bool* non_ascii) {
  *non_ascii = false;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    *non_ascii = true;
    size_t n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += n + 1;
  }
  return true;
}

}  // namespace

std::string ImportFileText(std::string_view bytes) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  const bool bom = bytes.substr(0, 3) == kBom;
  if (bom) bytes.remove_prefix(3);
  bool non_ascii = false;
  const bool utf8 = IsUtf8(bytes, &non_ascii);
  return LfToCrLf(bom || (utf8 && non_ascii) ? Utf8ToCp932(bytes) : std::string(bytes));
}

bool IsImportableText(std::string_view bytes) {
  if (bytes.find('\0') != std::string_view::npos) return false;
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  bool non_ascii = false;
  if (bytes.substr(0, 3) == kBom) return IsUtf8(bytes.substr(3), &non_ascii);
  if (IsUtf8(bytes, &non_ascii)) return true;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
    if (!IsSjisLead(c) || i + 1 >= bytes.size()) return false;
    const unsigned char t = static_cast<unsigned char>(bytes[++i]);
    if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
  }
  return true;
}

ImportSplit SplitImportText(std::string_view text) {
  ImportSplit out;
  std::string collected;
  bool dropping = false;
  auto finish = [&] {
    if (!collected.empty()) out.cards.push_back(std::move(collected));
    collected.clear();
    dropping = false;
  };
  size_t at = 0;
  while (at < text.size()) {
    size_t lf = text.find('\n', at);
    const size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    std::string_view line = text.substr(at, end - at);
    at = end;
    if (line.substr(0, kImportSeparator.size()) == kImportSeparator) {
      out.had_separator = true;
      finish();
      continue;
    }
    if (dropping || collected.size() + line.size() > kImportCardLimit) {
      dropping = true;
      out.cut = true;
      continue;
    }
    collected.append(line);
  }
  finish();
  return out;
}

std::string ImportTitle(const std::string& utf8_path) {
  std::string base = utf8_path.substr(utf8_path.rfind('/') + 1);
  base = base.substr(0, base.find('.'));
  return Utf8ToCp932(base);
}

Status AddCardFromText(FolderTreeModel& form, store::CardRecord& card, TreeNode* folder_node,
                       const std::string& text, const std::string& title, uint32_t position,
                       TreeNode** node) {
  *node = nullptr;
  card.Clear();
  card.position = position;
  card.folder = GetFolderPath(folder_node);
  card.text = text;
  card.title = title.empty() ? store::MakeDefaultTitle(text) : title;
  card.source = Utf8ToCp932("一括読み込み");
  QUILL_RETURN_IF_ERROR(card.Write());
  *node = AddCardNode(form, card, folder_node);
  return Status::Ok();
}

namespace {

// Adds the cards of every file to folder in one pass with the tables open,
// made durable at its end. *last_node: the node of the last card added; the
// files cut short are listed in *cut_files, those that are not text (and
// made no card) in *refused_files.
Status ImportFiles(FolderTreeModel& form, TreeNode* folder, const std::vector<std::string>& files,
                   TreeNode** last_node, std::string* cut_files, std::string* refused_files) {
  store::SyncBatch batch(form.store());
  store::CardRecord card(form.store());
  Status failed = card.SetOpenFlag(true);
  // Cards that go after the folder's last card get the positions that the
  // renumbering after the import gives them, so that it has nothing to
  // write; cards that go first move every card on, and it writes them.
  const bool at_end = form.settings().AddIti == 1 && form.settings().AutoSort == 0;
  uint32_t position = 0;
  for (int i = 0; at_end && i < folder->child_count(); ++i) {
    if (!folder->child(i)->IsFolder()) ++position;
  }
  for (size_t f = 0; failed.ok() && f < files.size(); ++f) {
    const std::string& path = files[f];
    std::string bytes;
    // Files the user chose: a link among them is read through.
    if (!form.store().env().ReadFile(path, &bytes, OpenMode::kReadChosen).ok()) {
      continue;  // skipped silently
    }
    if (!IsImportableText(bytes)) {
      refused_files->append(Utf8ToCp932(path)).append("\r\n");
      continue;
    }
    const ImportSplit split = SplitImportText(ImportFileText(bytes));
    if (split.cut) cut_files->append(Utf8ToCp932(path)).append("\r\n");
    for (const std::string& text : split.cards) {
      form.view().ProcessMessages();
      TreeNode* node = nullptr;
      failed = form.store().DiskSpaceOk()
                   ? AddCardFromText(form, card, folder, text,
                                     split.had_separator ? std::string() : ImportTitle(path),
                                     at_end ? position : 0, &node)
                   : Status::NoSpace("too little free space");
      if (!failed.ok()) break;
      ++position;
      *last_node = node;
    }
  }
  Status closed = card.Close();
  Status synced = batch.End();
  if (failed.ok()) failed = closed;
  if (failed.ok()) failed = synced;
  return failed;
}

}  // namespace

Status RunTextImport(TransferContext& ctx) {
  FolderTreeModel& form = ctx.form;
  TreeNode* folder = FolderOf(form.tree().selected_node());
  if (folder == nullptr || GetFolderPath(folder).empty()) {
    form.ui().MessageBeep();
    return Status::Ok();
  }
  std::vector<std::string> files;
  if (!ctx.dialogs.ChooseImportFiles(&files)) {
    UpdateCountDisplay(form, true);
    return Status::Ok();
  }
  BusyScope busy(form.busy());
  TreeNode* last = nullptr;
  std::string cut_files;
  std::string refused_files;
  const Status failed = ImportFiles(form, folder, files, &last, &cut_files, &refused_files);
  if (!failed.ok()) {
    if (failed.code() == Status::kNoSpace) {
      ShowWarning(form.ui(), MessageId::kLowSpaceInterrupted);
    } else {
      ShowWarning(form.ui(), MessageId::kCardNotWrittenStop, {Utf8ToCp932(failed.ToString())});
    }
  }
  if (last != nullptr) {
    form.tree().set_selected_node(last);
    if (form.settings().AutoSort == 0) RenumberCards(form, last);
  }
  if (!refused_files.empty()) ShowWarning(form.ui(), MessageId::kImportNotText, {refused_files});
  if (!cut_files.empty()) ShowWarning(form.ui(), MessageId::kImportCut, {cut_files});
  UpdateCountDisplay(form, true);
  return failed;
}

}  // namespace quill
