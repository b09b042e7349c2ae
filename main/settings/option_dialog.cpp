#include "main/settings/option_dialog.h"

#include <charconv>

#include "main/settings/class_list.h"
#include "main/settings/db_form.h"
#include "platform/message_bus.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "platform/sjis.h"

namespace quill {

namespace {

// The block's hot-key slots in the order of the first page.
constexpr std::array<SharedHookBlock::HotkeySlot, kOptionHotkeyCount> kPageSlots = {
    SharedHookBlock::kPopupKubunKey, SharedHookBlock::kSaveKey,
    SharedHookBlock::kSaveHtmlKey,   SharedHookBlock::kSaveKubunKey,
    SharedHookBlock::kActiveKey,     SharedHookBlock::kMagicKey,
    SharedHookBlock::kNewCardKey,    SharedHookBlock::kFindKey,
};

// The settings' copies of the same words, in the same order.
std::array<uint16_t*, kOptionHotkeyCount> HookFields(HookBlockFields& h) {
  return {&h.PopupKubunKey, &h.SaveKey,  &h.SaveHtmlKey, &h.SaveKubunKey,
          &h.ActiveKey,     &h.MagicKey, &h.NewCardKey,  &h.FindKey};
}

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::optional<int32_t> FoldCountFromText(const std::string& text) {
  std::string t = text;
  quill::TrimBoth(t);
  if (!t.empty() && t.front() == '+') t.erase(0, 1);
  int32_t n = 0;
  const char* end = t.data() + t.size();
  auto [ptr, ec] = std::from_chars(t.data(), end, n);
  if (t.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  if (n < 0 || (n >= 1 && n <= 9)) return 10;
  return n;
}

OptionDialog::OptionDialog(Context context) : context_(std::move(context)) {
  const Settings& s = context_.settings;
  OptionValues& v = values;
  v.clip_tools = context_.clip_tools;
  v.super_titles = context_.super_titles;
  v.paste_lists = {s.PASTE_ALT_E_P, s.PASTE_SHIFT_F9, s.PASTE_WM_PASTE};
  v.cut_lists = {s.CUT_ALT_E_T, s.CUT_F7, s.CUT_F8, s.CUT_WM_CUT};
  v.copy_lists = {s.COPY_ALT_E_C, s.COPY_F8, s.COPY_SHIFT_F8, s.COPY_WM_COPY};
  for (size_t i = 0; i < v.super_keys.size(); ++i) v.super_keys[i] = s.Hook.SuperPasteKeys[i];
  // The first page shows the words the hook library uses now.
  HookBlockFields hook = s.Hook;
  const std::array<uint16_t*, kOptionHotkeyCount> fields = HookFields(hook);
  for (int i = 0; i < kOptionHotkeyCount; ++i) {
    v.hotkeys[i] = context_.block != nullptr ? context_.block->Hotkey(kPageSlots[i]).value
                                             : *fields[i];
  }
  v.RetActive = s.Hook.RetActive != 0;
  v.AutoMove = s.Hook.AutoMove != 0;
  v.BackClipBoard = s.BackClipBoard != 0;
  v.NoHukkiClass = s.NoHukkiClass;
  v.DefPasteList = s.DefPasteList != 0;
  v.UseHistoryPaste = s.UseHistoryPaste != 0;
  v.ClipHistoryRoot = s.ClipHistoryRoot != 0;
  v.SaveUrl = s.SaveUrl != 0;
  v.SaveDate = s.SaveDate != 0;
  v.SaveTitle = s.SaveTitle != 0;
  v.JikkouIcon = s.RunIcon != 0;
  v.UseButton = s.UseButton != 0;
  v.ToolBar = s.ToolBar != 0;
  v.source_names = s.SyuttenNames;
  v.source_classes = s.SyuttenClasses;
  v.FileName = s.BackupFile;
  v.Floppy = s.FloppyDrive;
  v.TuikaOrikaesiSuu = std::to_string(s.TuikaOrikaesiSuu);
  v.AddIti = s.AddIti;
  v.TrayDblClick = s.TrayDblClick;
  v.TextIme = s.IME != 0;
  v.SingleFolder = s.SingleFolder != 0;
  v.TabKey = s.TabKey != 0;
  v.UseHistory = s.UseHistory != 0;
  v.ClipSave = s.ClipSave != 0;
  v.CtrlColor = s.CtrlColor != 0;
  v.NewCardWin = s.NewCardWin != 0;
  v.AutoSort = s.AutoSort != 0;
  v.OpenByMain = s.OpenByMain != 0;
  v.IppatuMemory = s.IppatuMemory != 0;
  v.RunTreeOpen = s.RunTreeOpen != 0;
  v.DefAutoTitle = s.DefAutoTitle != 0;
  v.ShiftEnd = s.ShiftEnd != 0;
  v.IppatuLock = s.IppastuLock != 0;
  v.data_names = s.DataFiles.names;
  v.data_paths = s.DataFiles.paths;
  current_data_set_ = s.DataFileNum;
}

void OptionDialog::AddControlClass(std::string* list) {
  // "*" stands for a focused window whose class is not known.
  const std::string& cls = context_.control_class;
  AddClassToList(context_.ui, list, cls == "*" ? std::string() : cls);
}

void OptionDialog::AddWindowClass(std::string* list) {
  AddClassToList(context_.ui, list, context_.window_class);
}

bool OptionDialog::RowFolderFixed(int row) const {
  return row == 1 || row == current_data_set_ + 1;
}

void OptionDialog::DataPathClearClick(int row) {
  if (row < 1 || row > kDataFileSlots || RowFolderFixed(row)) return;
  values.data_names[row - 1].clear();
  values.data_paths[row - 1].clear();
}

void OptionDialog::DataFileDblClick(int row) {
  if (row < 1 || row > kDataFileSlots || context_.env == nullptr) return;
  DbForm form(*context_.env, context_.program_folder, context_.ui);
  form.Meisyou = values.data_names[row - 1];
  form.Dir = values.data_paths[row - 1];
  form.folder_fixed = RowFolderFixed(row);
  if (context_.ports.RunDbForm(form) != kResultOk) return;
  values.data_names[row - 1] = form.Meisyou;
  if (!form.folder_fixed) values.data_paths[row - 1] = form.Dir;
}

void OptionDialog::IconGridDblClick(int k, bool ctrl) {
  if (k < 0 || k >= 100) return;
  if (ctrl) {
    context_.ports.LoadBuiltInIcon(k, k <= 23 ? k : 0);
    icons_changed_ = true;
    return;
  }
  FileChoice choice;
  choice.filter = "*.bmp";
  choice.default_ext = "bmp";
  choice.file_name = "*.bmp";
  std::optional<std::string> path = context_.ui.ChooseFile(choice);
  if (path && !context_.ports.LoadIconFile(k, *path)) {
    ShowWarning(context_.ui, MessageId::kIconFileUnusable, {*path});
    return;
  }
  // A cancelled choice counts as a change too: Cancel and OK rebuild the
  // images from the sheet, which is harmless.
  icons_changed_ = true;
}

void OptionDialog::OKClick() {
  Status written = context_.ports.WriteIconSheet();
  sheet_unwritten_ = !written.ok();
  if (sheet_unwritten_) {
    ShowWarning(context_.ui, MessageId::kCannotWriteFile, {context_.ports.IconSheetPath()});
  }
}

bool OptionDialog::TakeBack() {
  Settings& s = context_.settings;
  const OptionValues& v = values;
  s.DefAutoTitle = v.DefAutoTitle ? 1 : 0;
  s.RunTreeOpen = v.RunTreeOpen ? 1 : 0;
  s.ShiftEnd = v.ShiftEnd ? 1 : 0;
  if (std::optional<int32_t> folds = FoldCountFromText(v.TuikaOrikaesiSuu)) {
    s.TuikaOrikaesiSuu = *folds;
  } else {
    ShowWarning(context_.ui, MessageId::kNotAnInteger, {v.TuikaOrikaesiSuu});
  }
  for (size_t i = 0; i < v.super_keys.size(); ++i) s.Hook.SuperPasteKeys[i] = v.super_keys[i];
  s.SyuttenNames = v.source_names;
  s.SyuttenClasses = v.source_classes;
  s.DataFiles.names = v.data_names;
  for (size_t i = 0; i < v.data_paths.size(); ++i) {
    s.DataFiles.paths[i] = StripTrailingSlashes(v.data_paths[i]);
  }
  s.SaveTitle = v.SaveTitle ? 1 : 0;
  s.SaveDate = v.SaveDate ? 1 : 0;
  s.SaveUrl = v.SaveUrl ? 1 : 0;
  s.Hook.RetActive = v.RetActive ? 1 : 0;
  s.NewCardWin = v.NewCardWin ? 1 : 0;
  s.UseHistoryPaste = v.UseHistoryPaste ? 1 : 0;
  s.DefPasteList = v.DefPasteList ? 1 : 0;
  s.TabKey = v.TabKey ? 1 : 0;
  s.IppatuMemory = v.IppatuMemory ? 1 : 0;
  s.BackupFile = v.FileName;
  s.RunIcon = v.JikkouIcon ? 1 : 0;
  s.NoHukkiClass = v.NoHukkiClass;
  s.FloppyDrive = v.Floppy;
  s.SingleFolder = v.SingleFolder ? 1 : 0;
  s.ClipHistoryRoot = v.ClipHistoryRoot ? 1 : 0;
  s.Hook.AutoMove = v.AutoMove ? 1 : 0;
  s.UseButton = v.UseButton ? 1 : 0;
  const uint16_t auto_sort = v.AutoSort ? 1 : 0;
  const bool sort_changed = auto_sort != s.AutoSort;
  s.AutoSort = auto_sort;
  s.CtrlColor = v.CtrlColor ? 1 : 0;
  s.ClipSave = v.ClipSave ? 1 : 0;
  s.UseHistory = v.UseHistory ? 1 : 0;
  s.OpenByMain = v.OpenByMain ? 1 : 0;
  s.TrayDblClick = v.TrayDblClick;
  s.PASTE_ALT_E_P = v.paste_lists[0];
  s.PASTE_SHIFT_F9 = v.paste_lists[1];
  s.PASTE_WM_PASTE = v.paste_lists[2];
  s.COPY_ALT_E_C = v.copy_lists[0];
  s.COPY_F8 = v.copy_lists[1];
  s.COPY_SHIFT_F8 = v.copy_lists[2];
  s.COPY_WM_COPY = v.copy_lists[3];
  s.CUT_ALT_E_T = v.cut_lists[0];
  s.CUT_F7 = v.cut_lists[1];
  s.CUT_F8 = v.cut_lists[2];
  s.CUT_WM_CUT = v.cut_lists[3];
  s.BackClipBoard = v.BackClipBoard ? 1 : 0;
  s.IppastuLock = v.IppatuLock ? 1 : 0;
  s.AddIti = v.AddIti;
  s.IME = v.TextIme ? 1 : 0;
  s.ToolBar = v.ToolBar ? 1 : 0;
  const std::array<uint16_t*, kOptionHotkeyCount> hotkeys = HookFields(s.Hook);
  for (int i = 0; i < kOptionHotkeyCount; ++i) *hotkeys[i] = v.hotkeys[i];
  // The hook library, the button bar and the paste-out read these from
  // the block: they take effect without a restart.
  if (context_.block != nullptr) StoreEditedHookFields(s.Hook, *context_.block);
  return sort_changed;
}

HookBracket::HookBracket(HookControl& control, SharedHookBlock* block, MessageBus* bus,
                         const Settings& settings)
    : control_(control), settings_(settings) {
  control_.StopHooks();
  if (block != nullptr && block->BarWindow() != 0 && bus != nullptr) {
    (void)bus->PostMessage(block->BarWindow(), kCommandMessage,
                           static_cast<uint32_t>(CommandCode::kCloseBar), 0);
  }
}

HookBracket::~HookBracket() {
  control_.StartHooks();
  if (settings_.UseButton != 0) control_.StartBar();
}

}  // namespace quill
