#include "main/exchange/transfer_file.h"

#include <cstring>
#include <unordered_map>

#include "main/search/history_list.h"
#include "main/settings/settings.h"
#include "main/exchange/replacing_file.h"
#include "main/exchange/transfer_dialogs.h"
#include "main/exchange/transfer_format.h"
#include "main/tree/folder_tree_model.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/byte_order.h"
#include "store/card_store.h"
#include "platform/sjis.h"

namespace quill {

namespace {

void Tell(FolderTreeModel& form, MessageId text, std::initializer_list<std::string_view> args = {},
          MessageId caption = MessageId::kWarningCaption) {
  form.ui().ShowMessageDialog(FormatMessage(text, args), MessageText(caption), kMessageOk);
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

// The folder path a card is written with when a folder is written as its
// copy: the renamed part replaced, the rest as it is.
std::string RenamedPath(const std::string& path, const TransferWriteOptions& o) {
  if (o.rename_from.empty()) return path;
  if (path == o.rename_from) return o.rename_to;
  if (path.size() > o.rename_from.size() && path.compare(0, o.rename_from.size(), o.rename_from) == 0 &&
      path[o.rename_from.size()] == ' ') {
    return o.rename_to + path.substr(o.rename_from.size());
  }
  return path;
}

// A text field as the table stores it: blank padded, maybe NUL ended.
std::string_view StoredText(const char* field, size_t length) {
  return quill::CText(quill::WithoutTrailingBlanks(std::string_view(field, length)));
}

uint64_t IdKey(uint32_t ctime, uint32_t ctick) { return (uint64_t{ctime} << 32) | ctick; }

}  // namespace

std::string JoinLines(const std::vector<std::string>& titles) {
  std::string out;
  for (const std::string& t : titles) out.append(t).append("\r\n");
  return out;
}

int WriteTransferFile(TransferContext& ctx, const std::string& folder, int all, int new_ids,
                      int tmp_folder, TransferWriteResult* result,
                      const TransferWriteOptions& options) {
  TransferWriteResult local;
  TransferWriteResult& res = result != nullptr ? *result : local;
  res = TransferWriteResult();
  FolderTreeModel& form = ctx.form;
  store::CardStore& store = form.store();
  ReplacingFile out(store.env(), WithSlash(folder) + kTransferFileName);
  if (!out.Open().ok()) return kTransferFailed;
  out.Append(std::string(kTransferHeader) + "\r\n");

  int64_t marked = 0, cards = 0;
  for (TreeNode* n = form.tree().root(); n != nullptr; n = n->GetNext()) {
    if (n->IsFolder()) continue;
    ++cards;
    if (n->info().Mark() != 0) ++marked;
  }
  BusyScope busy(form.busy());
  form.ui().ShowFlashIcon(FlashBitmap::kClip);
  form.view().ShowProgress(marked > 0 ? marked : cards);
  int64_t progress = 0;
  store::CardRecord card(store);
  card.SetOpenFlag(true);
  Clock& clock = store.env().clock();
  uint32_t last_time = 0, last_tick = 0;
  bool have_last = false;
  std::string block;
  Status fatal;
  TreeNode* root = form.tree().root();
  for (TreeNode* n = root != nullptr ? root->GetNext() : nullptr; n != nullptr && out.status().ok();
       n = n->GetNext()) {
    form.view().ProcessMessages();
    if (n->IsFolder()) continue;
    if (all != 1 && n->info().Mark() == 0) continue;
    bool found = false;
    Status s = card.FindById(n->info().RecordNo(), n->info().TextId(), true, &found);
    form.view().SetProgress(++progress);
    if (s.code() == Status::kFatal) {
      fatal = s;
      break;
    }
    if (!s.ok() || !found || card.is_folder()) {
      res.unreadable.push_back(n->text());
      continue;
    }
    if (new_ids == 1) {
      // A new identity; one made in the same millisecond as the last
      // takes the next tick instead of waiting for the clock.
      uint32_t now = static_cast<uint32_t>(clock.Now());
      uint32_t tick = clock.TickCount();
      if (have_last && now == last_time && static_cast<int32_t>(tick - last_tick) <= 0) {
        tick = last_tick + 1;
      }
      card.ctime = card.utime = now;
      card.ctick = tick;
      last_time = now;
      last_tick = tick;
      have_last = true;
    }
    block.clear();
    AppendCardBlock(card, tmp_folder == 1 ? std::string(kTmpFolder) : RenamedPath(card.folder, options),
                    &block);
    out.Append(block);
    ++res.written;
  }
  card.Close();
  form.view().HideProgress();
  form.ui().HideFlashIcon();
  // The file is left unwritten.
  if (EndOnFatal(form.ui(), fatal)) return kTransferEnded;
  return out.Commit().ok() ? kTransferWritten : kTransferFailed;
}

Status EnsureFolderPath(FolderTreeModel& form, const std::string& folder_path,
                        std::unordered_set<std::string>* made) {
  store::CardStore& store = form.store();
  std::string prefix;
  size_t at = 0;
  while (at < folder_path.size()) {
    size_t blank = folder_path.find(' ', at);
    if (blank == std::string::npos) blank = folder_path.size();
    if (blank > at) {
      if (!prefix.empty()) prefix.push_back(' ');
      prefix.append(folder_path, at, blank - at);
      if (made->count(prefix) == 0) {
        std::string key = prefix;
        if (key.size() < 99) key.resize(99, ' ');
        std::vector<int64_t> rows;
        QUILL_RETURN_IF_ERROR(store.cards().Search("KUBUN", key, SIZE_MAX, &rows));
        bool exists = false;
        char rec[store::kCardRecordSize];
        for (int64_t r : rows) {
          QUILL_RETURN_IF_ERROR(store.cards().Read(r, rec));
          using namespace store::card_row;
          if (StoredText(rec + kKubun, kKubunLength) == prefix &&
              StoredText(rec + kTitle, kTitleLength) == store::FolderMarkerTitle) {
            exists = true;
            break;
          }
        }
        if (!exists) {
          store::CardRecord f(store);
          f.Clear();
          f.folder = prefix;
          f.title = std::string(store::FolderMarkerTitle);
          QUILL_RETURN_IF_ERROR(f.Write());
        }
        made->insert(prefix);
      }
    }
    at = blank + 1;
  }
  return Status::Ok();
}

Status BuildIdTable(FolderTreeModel& form, std::vector<IdEntry>* table) {
  table->clear();
  store::RecordTable& cards = form.store().cards();
  int64_t count = 0;
  QUILL_RETURN_IF_ERROR(cards.RowCount(&count));
  if (count == 0) return Status::Ok();
  using namespace store::card_row;
  return cards.ReadRows(0, count, [&](int64_t first, std::string_view rows, uint32_t n) {
    const size_t length = rows.size() / n;
    for (uint32_t k = 0; k < n; ++k) {
      std::string_view row = rows.substr(k * length, length);
      if (row[0] == '*') continue;  // erased
      const char* r = row.data() + 1;
      if (StoredText(r + kTitle, kTitleLength) == store::FolderMarkerTitle) {
        continue;
      }
      IdEntry e;
      e.row = first + k;
      e.ctime = store::GetU32(r + kCtime);
      e.ctick = store::GetU32(r + kCmtime);
      e.utime = store::GetU32(r + kUtime);
      e.deleted = store::CardInBin(r + kYobi) ? 'D' : 0;
      e.locked = r[kYobi + kLock] == 'L';
      table->push_back(e);
    }
    return Status::Ok();
  });
}

int ReadTransferFile(TransferContext& ctx, const std::string& path, int is_folder,
                     TransferReadResult* result) {
  TransferReadResult local;
  TransferReadResult& res = result != nullptr ? *result : local;
  res = TransferReadResult();
  FolderTreeModel& form = ctx.form;
  store::CardStore& store = form.store();
  const std::string file = is_folder == 1 ? WithSlash(path) + kTransferFileName : path;
  std::string data;
  // A file handed in from elsewhere (a folder the user chose, the sample
  // cards of the install folder): a link to it is read through.
  if (!store.env().Exists(file) ||
      !store.env().ReadFile(file, &data, OpenMode::kReadChosen).ok()) {
    if (is_folder == 1) Tell(form, MessageId::kFileMissing);
    return 1;
  }
  const size_t lf = data.find('\n');
  const size_t header_end = lf == std::string::npos ? data.size() : lf + 1;
  const int version = TransferVersion(std::string_view(data).substr(0, header_end));
  if (version < 0) {
    Tell(form, MessageId::kFileBroken);
    return 1;
  }

  BusyScope busy(form.busy());
  std::vector<IdEntry> table;
  std::unordered_map<uint64_t, size_t> index;
  Status fatal;
  auto stop_for = [&](const Status& s) {
    if (s.code() == Status::kFatal) {
      fatal = s;
      res.end = ReadEnd::kFatal;
    } else if (s.code() == Status::kNoSpace) {
      Tell(form, MessageId::kLowSpaceInterrupted);
      res.end = ReadEnd::kNoSpace;
    } else {
      Tell(form, MessageId::kCardNotWrittenStop, {Utf8ToCp932(s.ToString())});
      res.end = ReadEnd::kWriteRefused;
    }
  };
  Status built = BuildIdTable(form, &table);
  if (!built.ok()) {
    stop_for(built);
  } else {
    for (size_t i = 0; i < table.size(); ++i) index.emplace(IdKey(table[i].ctime, table[i].ctick), i);
  }

  bool change_folder = false;
  int after_mode = 0;
  std::string last_asked;
  std::unordered_set<std::string> made;
  TransferParser parser(std::string_view(data).substr(header_end), version);
  // One pass with the tables open, made durable at its end.
  store::SyncBatch batch(store);
  store::CardRecord card(store);
  card.SetOpenFlag(true);
  TransferCard in;
  while (res.end == ReadEnd::kComplete) {
    form.view().ProcessMessages();
    if (!store.DiskSpaceOk()) {
      Tell(form, MessageId::kLowSpaceInterrupted);
      res.end = ReadEnd::kNoSpace;
      break;
    }
    const TransferParser::Result got = parser.Next(&in);
    if (got == TransferParser::kEnd) break;
    if (got == TransferParser::kTruncated) {
      Tell(form, MessageId::kFileBroken);
      res.end = ReadEnd::kTruncated;
      break;
    }
    // A folder path longer than the field is cut before its folders are made.
    quill::TruncateSjis(in.folder, store::card_row::kKubunLength);
    quill::TrimRight(in.folder);
    if (in.text.size() >= store::kCardTextCapacity) {
      res.too_long.push_back(in.title);
      continue;
    }
    const uint64_t key = IdKey(in.ctime, in.ctick);
    auto it = index.find(key);
    IdEntry* entry = it != index.end() ? &table[it->second] : nullptr;
    if (entry != nullptr) {
      if (entry->utime >= in.utime && entry->deleted != 'D' && ctx.AllTorikomi == 0) continue;
      // The row is rewritten only when it still holds this identity.
      card.SetRecNo(entry->row);
      Status s = card.Load(true);
      if (s.code() == Status::kFatal) {
        stop_for(s);
        break;
      }
      if (!s.ok() || card.is_folder() || card.ctime != entry->ctime || card.ctick != entry->ctick) {
        entry = nullptr;
      }
    }
    if (entry != nullptr) {
      if (card.folder != in.folder) {
        const bool ask = after_mode == 0 || (after_mode == 1 && in.folder != last_asked);
        if (ask) {
          ChangeFolderForm q{in.title, card.folder, in.folder, after_mode};
          const int answer = ctx.dialogs.RunChangeFolder(&q);
          if (answer == kFolderKeep) {
            change_folder = false;
          } else if (answer == kFolderChange) {
            change_folder = true;
          } else {
            res.end = ReadEnd::kStoppedByUser;
            break;
          }
          last_asked = in.folder;
          after_mode = q.after_mode;
        }
        if (change_folder) {
          Status s = EnsureFolderPath(form, in.folder, &made);
          if (!s.ok()) {
            stop_for(s);
            break;
          }
          card.folder = in.folder;
        }
      }
      if (entry->locked) {
        const int answer = ctx.dialogs.RunLockCheck(in.title);
        if (answer == kLockedSkip) continue;
        if (answer != kLockedUpdate) {
          res.end = ReadEnd::kStoppedByUser;
          break;
        }
      }
    } else {
      card.Clear();
      Status s = EnsureFolderPath(form, in.folder, &made);
      if (!s.ok()) {
        stop_for(s);
        break;
      }
      card.folder = in.folder;
    }
    FillCardFromTransfer(in, &card);
    Status s = card.Write();
    if (!s.ok()) {
      stop_for(s);
      break;
    }
    if (entry == nullptr) {
      table.push_back({card.row, card.ctime, card.ctick, card.utime, 0, card.locked});
      index[key] = table.size() - 1;
      ++res.added;
    } else {
      entry->utime = card.utime;
      entry->deleted = 0;
      entry->locked = card.locked;
      ++res.rewritten;
    }
  }
  Status closed = card.Close();
  Status synced = batch.End();
  if (res.end == ReadEnd::kComplete && !(closed.ok() ? synced : closed).ok()) {
    stop_for(closed.ok() ? synced : closed);
  }
  ctx.AllTorikomi = 0;
  form.view().ClearEditor();
  if (EndOnFatal(form.ui(), fatal)) return 0;
  if (!res.too_long.empty()) Tell(form, MessageId::kTextsTooLongSkipped, {JoinLines(res.too_long)});
  return 0;
}

int AskFolderPath(TransferContext& ctx, std::string* folder, int mode) {
  Settings& settings = ctx.form.settings();
  ReadPathForm form;
  form.mode = mode;
  FillHistoryCombo(&form.path, settings.FromPath);
  // An empty path is no folder: it would become the file system's root.
  // The dialog comes again until a folder is given or it is cancelled.
  std::string chosen;
  for (;;) {
    if (ctx.dialogs.RunReadPath(&form) != 1) return 1;
    chosen = form.path.text;
    std::string trimmed = chosen;
    quill::TrimBoth(trimmed);
    if (!trimmed.empty()) break;
    Tell(ctx.form, MessageId::kNoFolderChosen);
  }
  settings.FromPath = UpdateHistoryList(chosen, settings.FromPath);
  ctx.form.view().SaveSettingsGroup(kGroupFontsAndDataSet);
  if (mode == kPathForRead) ctx.AllTorikomi = form.all_torikomi ? 1 : 0;
  *folder = WithSlash(Cp932ToUtf8(chosen));
  return 0;
}

}  // namespace quill
