#include "main/settings/settings.h"

#include <memory>

#include "platform/ini_file.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"

namespace quill {
namespace {

constexpr char kEnv[] = "Env";

// One store seen as the section "Env": strings and integers by key.
class SettingsSource {
 public:
  virtual ~SettingsSource() = default;
  virtual std::string Str(std::string_view key, std::string_view def) const = 0;
  virtual int32_t Int(std::string_view key, int32_t def) const = 0;

  uint8_t Flag(std::string_view key, int32_t def) const { return Int(key, def) != 0 ? 1 : 0; }
  uint16_t Word(std::string_view key, int32_t def) const {
    return static_cast<uint16_t>(Int(key, def));
  }
  // Low 16 bits as a signed number: "65528" and "-8" both read as -8.
  int16_t Pos(std::string_view key, int32_t def) const {
    return static_cast<int16_t>(static_cast<uint16_t>(Int(key, def)));
  }
  // An index or choice: a value outside lo..hi reads as the default.
  int32_t Ranged(std::string_view key, int32_t def, int32_t lo, int32_t hi) const {
    int32_t v = Int(key, def);
    return (v >= lo && v <= hi) ? v : def;
  }
};

// The ini file as read once at the start of the load.
class IniSource final : public SettingsSource {
 public:
  explicit IniSource(IniDocument doc) : doc_(std::move(doc)) {}
  std::string Str(std::string_view key, std::string_view def) const override {
    return doc_.ReadString(kEnv, key, def);
  }
  int32_t Int(std::string_view key, int32_t def) const override {
    return doc_.ReadInteger(kEnv, key, def);
  }

 private:
  IniDocument doc_;
};

class RegistrySource final : public SettingsSource {
 public:
  explicit RegistrySource(const RegistryStore::Snapshot& snap) : snap_(snap) {}
  std::string Str(std::string_view key, std::string_view def) const override {
    return snap_.ReadString(kQuillmainEnvKey, key, def);
  }
  int32_t Int(std::string_view key, int32_t def) const override {
    return snap_.ReadInteger(kQuillmainEnvKey, key, def);
  }

 private:
  const RegistryStore::Snapshot& snap_;
};

std::string Numbered(const char* stem, int n) { return stem + std::to_string(n); }

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// The keys of the table in the order both loaders read them; `main` is the
// store being loaded, `reg` the registry for the keys that live only there.
void LoadAll(Settings* s, const SettingsSource& main, const RegistryStore::Snapshot& reg,
             bool from_ini, std::string_view start_argument) {
  const RegistrySource registry(reg);
  HookBlockFields& hook = s->Hook;

  // A store without a card font name counts as new.
  if (main.Str("FontName", "").empty()) {
    hook.RetActive = 1;
  } else {
    hook.RetActive = static_cast<uint8_t>(main.Int("RetActive", 0));
  }

  if (from_ini) {
    s->IppastuLock = main.Flag("IppastuLock", 1);
    s->TextWinWidth = main.Int("TextWinWidth", 100);
    s->TextWinHeight = main.Int("TextWinHeight", 300);
    s->ShiftEnd = main.Int("ShiftEnd", 0);
  } else {
    s->IppastuLock = 1;
    s->TextWinWidth = 100;
    s->TextWinHeight = 300;
    s->ShiftEnd = 0;
  }

  s->FindFolderMark = main.Int("FindFolderMark", 0);
  s->TextBackColor = main.Int("TextBackColor", kClWindow);
  s->TreeBackColor = main.Int("TreeBackColor", kClWindow);
  s->CtrlColor = main.Int("CtrlColor", 1);
  s->NowFolder = main.Int("NowFolder", 0);
  s->NewCardWin = main.Flag("NewCardWin", 0);
  s->ControlColor = ApplyControlColor(s->CtrlColor);

  s->TikanBlank = main.Int("TikanBlank", 0);
  s->FindDel = main.Int("FindDel", 0);
  s->UseHistoryPaste = main.Int("UseHistoryPaste", 0);
  s->TuikaOrikaesiSuu = main.Int("TuikaOrikaesiSuu", 1000);
  s->SingleFolder = main.Int("SingleFolder", 2);
  s->DefPasteList = main.Int("DefPasteList", 1);
  s->AddIti = main.Ranged("AddIti", 1, 0, 1);
  s->IME = main.Int("IME", 0);
  s->TitleFmt = main.Ranged("TitleFmt", 0, 0, 3);
  s->RunIcon = main.Int("RunIcon", 0);
  s->ClipHistoryRoot = main.Flag("ClipHistoryRoot", 0);
  s->TreeWidth = main.Int("TreeWidth", 233);
  s->BackClipBoard = main.Int("BackClipBoard", 0);
  s->PopupKubun = main.Str("PopupKubun", "POPUP");
  s->DefAddKubun = main.Str("DefAddKubun", "");
  s->DefAddKubunFile = main.Ranged("DefAddKubunFile", -1, -1, kDataFileSlots - 1);

  s->FontName = main.Str("FontName", kDefaultFontName);
  s->FontSize = main.Int("FontSize", 9);
  s->FontCharset = 128;
  s->FontStyle = main.Int("FontStyle", 0);
  s->TreeFontName = main.Str("TreeFontName", kDefaultFontName);
  s->TreeFontSize = main.Int("TreeFontSize", 9);
  s->TreeFontColor = main.Int("TreeFontColor", 0);
  s->TreeFontCharset = main.Int("TreeFontCharset", 128);
  s->TreeFontStyle |= main.Int("TreeFontStyle", 0) & 7;  // adds bold, italic, underline
  s->OpenByMain = main.Int("OpenByMain", 0);
  s->FontColor = main.Int("FontColor", 0);
  s->DataFileNum = main.Ranged("DataFileNum", 0, 0, kDataFileSlots - 1);
  s->TabKey = main.Flag("TabKey", 0);
  s->UseHistory = main.Int("UseHistory", 1);
  s->IppatuMemory = main.Int("IppatuMemory", 1);
  if (s->IppatuMemory == 0) {
    s->DefAddKubun.clear();
    s->DefAddKubunFile = -1;
  }
  s->ClipSave = main.Int("ClipSave", 0);
  s->SaveTitle = main.Int("SaveTitle", 0);
  s->SaveUrl = main.Int("SaveUrl", 1);
  s->SaveDate = main.Int("SaveDate", 0);
  s->TrayDblClick = main.Ranged("TrayDblClick", 0, 0, 1);
  s->ToolBar = main.Int("ToolBar", 1);
  if (s->SingleFolder == 2) s->SingleFolder = s->PopupKubun.empty() ? 1 : 0;

  for (int i = 0; i < 10; ++i) {
    SplitSourceRule(main.Str(Numbered("Syutten", i + 1), ""), &s->SyuttenNames[i],
                    &s->SyuttenClasses[i]);
  }
  for (int i = 0; i < 10; ++i) {
    s->HistoryPaste[i] = main.Str(Numbered("HistoryPaste", i + 1), "");
    hook.SuperPasteKeys[i] = main.Word(Numbered("SuperPasteKey", i), 0);
    s->SuperCard[i] = main.Str(Numbered("SuperCard", i), "");
  }
  const int named = LoadDataFileList(reg, start_argument, &s->DataFiles);
  if (named != -1) s->DataFileNum = named;

  s->FloppyDrive = main.Str("FloppyDrive", "");
  s->KensakuStrList = main.Str("KensakuStrList", "");
  s->SortType = main.Str("SortType", "");
  s->FromPath = registry.Str("FromPath", "");
  s->NoHukkiClass = main.Str("NoHukkiClass", "");
  s->Kensaku = main.Str("Kensaku", "");
  s->SyuttenList = main.Str("SyuttenList", "");

  s->PASTE_ALT_E_P = main.Str("PASTE_ALT_E_P", "");
  s->PASTE_SHIFT_F9 = main.Str("PASTE_SHIFT_F9", "");
  s->PASTE_WM_PASTE = main.Str("PASTE_WM_PASTE", kDefaultMessageMethodClasses);
  s->COPY_ALT_E_C = main.Str("COPY_ALT_E_C", "");
  s->COPY_F8 = main.Str("COPY_F8", "");
  s->COPY_SHIFT_F8 = main.Str("COPY_SHIFT_F8", "");
  s->COPY_WM_COPY = main.Str("COPY_WM_COPY", kDefaultMessageMethodClasses);
  s->CUT_ALT_E_T = main.Str("CUT_ALT_E_T", "");
  s->CUT_F7 = main.Str("CUT_F7", "");
  s->CUT_F8 = main.Str("CUT_F8", "");
  s->CUT_WM_CUT = main.Str("CUT_WM_CUT", kDefaultMessageMethodClasses);
  s->BackupFile = registry.Str("BackupFile", "");

  hook.FindKey = main.Word("FindKey", 0);
  hook.MagicKey = main.Word("MagicKey", 0);
  hook.NewCardKey = main.Word("NewCardKey", 0);
  hook.SaveKey = main.Word("SaveKey", 0);
  hook.SaveHtmlKey = main.Word("SaveHtmlKey", 0);
  hook.PopupKubunKey = main.Word("PopupKubunKey", 0);
  hook.ActiveKey = main.Word("ActiveKey", 0);
  hook.SaveKubunKey = main.Word("SaveKubunKey", 0);
  s->UseButton = static_cast<int8_t>(static_cast<uint8_t>(main.Int("UseButton", 1)));
  hook.AutoMove = static_cast<uint8_t>(main.Int("AutoMove", 1));
  hook.BarTop = main.Pos("CY", 0);
  hook.BarLeft = main.Pos("CX", 0);
  s->Left = main.Pos("Left", 0);
  s->Top = main.Pos("Top", 0);
  s->Height = main.Word("Height", 400);
  s->Width = main.Word("Width", 539);
  s->AutoSort = main.Word("AutoSort", 0);
  s->RunTreeOpen = main.Word("RunTreeOpen", 0);
  s->DefAutoTitle = main.Word("DefAutoTitle", 0);
  hook.NoTrack = 0;
  s->WordWrap = (main.Int("WordWrap", 1) & 0xFF) != 0 ? 1 : 0;
  s->AutoIndent = (main.Int("AutoIndent", 0) & 0xFF) != 0 ? 1 : 0;
}

// The status of a failed file access, with the message the user sees.
Status ForUser(const Status& cause, std::string m) {
  switch (cause.code()) {
    case Status::kNoSpace: return Status::NoSpace(std::move(m));
    case Status::kPermission: return Status::Permission(std::move(m));
    case Status::kNotFound: return Status::NotFound(std::move(m));
    case Status::kInvalid: return Status::Invalid(std::move(m));
    default: return Status::IoError(std::move(m));
  }
}

Status CannotWrite(const std::string& path, const Status& cause) {
  return ForUser(cause, MessageUtf8(MessageId::kCannotWriteFile, {path}));
}

// The key writes of one group, collected per store.
class GroupWriter {
 public:
  void Str(std::string_view key, std::string_view value) { ini_.WriteString(kEnv, key, value); }
  void Int(std::string_view key, int64_t value) { ini_.WriteInteger(kEnv, key, value); }
  void Flag(std::string_view key, uint8_t value) { Int(key, value != 0 ? 1 : 0); }
  void SignedByte(std::string_view key, int32_t value) {
    Int(key, static_cast<int8_t>(static_cast<uint8_t>(value)));
  }
  void RegStr(std::string_view key, std::string_view value) {
    reg_.WriteString(kQuillmainEnvKey, key, value);
  }
  RegistryStore::Batch& reg() { return reg_; }

  // Registry first, then the ini; both are tried, the first failure is
  // returned.
  Status Commit(SettingsStores& st) {
    Status result;
    if (!reg_.empty()) {
      Status s = st.registry.Apply(reg_);
      if (!s.ok()) result = CannotWrite(st.registry.path(), s);
    }
    if (!ini_.empty()) {
      IniFile ini(st.env, st.ini_path);
      Status s = ini.Apply(ini_);
      if (!s.ok() && result.ok()) result = CannotWrite(st.ini_path, s);
    }
    return result;
  }

 private:
  IniBatch ini_;
  RegistryStore::Batch reg_;
};

void WriteGroup3(Settings& s, GroupWriter& w) {
  const HookBlockFields& hook = s.Hook;
  for (int i = 0; i < 10; ++i) w.Int(Numbered("SuperPasteKey", i), hook.SuperPasteKeys[i]);
  w.RegStr("BackupFile", s.BackupFile);
  w.SignedByte("RetActive", hook.RetActive);
  w.Int("SaveTitle", s.SaveTitle);
  w.Int("SaveUrl", s.SaveUrl);
  w.Int("SaveDate", s.SaveDate);
  w.Int("ShiftEnd", s.ShiftEnd);
  w.Str("FloppyDrive", s.FloppyDrive);
  w.Int("AutoSort", s.AutoSort);
  w.Flag("NewCardWin", s.NewCardWin);
  w.Int("CtrlColor", s.CtrlColor);
  w.Flag("TabKey", s.TabKey);
  w.Flag("ClipHistoryRoot", s.ClipHistoryRoot);
  w.Int("IME", s.IME);
  w.Int("UseHistory", s.UseHistory);
  w.Int("ClipSave", s.ClipSave);
  w.Int("SingleFolder", s.SingleFolder);
  w.Str("PASTE_ALT_E_P", s.PASTE_ALT_E_P);
  w.Str("PASTE_SHIFT_F9", s.PASTE_SHIFT_F9);
  w.Str("PASTE_WM_PASTE", s.PASTE_WM_PASTE);
  w.Str("COPY_ALT_E_C", s.COPY_ALT_E_C);
  w.Str("COPY_F8", s.COPY_F8);
  w.Str("COPY_SHIFT_F8", s.COPY_SHIFT_F8);
  w.Str("COPY_WM_COPY", s.COPY_WM_COPY);
  w.Str("CUT_ALT_E_T", s.CUT_ALT_E_T);
  w.Str("CUT_F7", s.CUT_F7);
  w.Str("CUT_F8", s.CUT_F8);
  w.Str("CUT_WM_CUT", s.CUT_WM_CUT);
  w.Str("NoHukkiClass", s.NoHukkiClass);
  for (int i = 0; i < 10; ++i) {
    if (s.SyuttenNames[i].empty()) s.SyuttenNames[i] = kUnsetSourceName;
    w.Str(Numbered("Syutten", i + 1), s.SyuttenNames[i] + "," + s.SyuttenClasses[i]);
  }
  SaveDataFileList(s.DataFiles, &w.reg());
  w.Int("TrayDblClick", s.TrayDblClick);
  w.Int("OpenByMain", s.OpenByMain);
  w.Int("RunTreeOpen", s.RunTreeOpen);
  w.Int("DefAutoTitle", s.DefAutoTitle);
  w.Flag("IppastuLock", s.IppastuLock);
  w.Int("AddIti", s.AddIti);
  w.Int("TuikaOrikaesiSuu", s.TuikaOrikaesiSuu);
  w.Int("BackClipBoard", s.BackClipBoard);
  w.SignedByte("UseButton", s.UseButton);
  w.Int("ToolBar", s.ToolBar);
  w.Flag("WordWrap", s.WordWrap);
  w.Flag("AutoIndent", s.AutoIndent);
  w.Int("SaveKey", hook.SaveKey);
  w.Int("SaveHtmlKey", hook.SaveHtmlKey);
  w.Int("PopupKubunKey", hook.PopupKubunKey);
  w.Int("MagicKey", hook.MagicKey);
  w.Int("FindKey", hook.FindKey);
  w.Int("NewCardKey", hook.NewCardKey);
  w.Int("ActiveKey", hook.ActiveKey);
  w.Int("SaveKubunKey", hook.SaveKubunKey);
  w.SignedByte("AutoMove", hook.AutoMove);
  w.Int("DefPasteList", s.DefPasteList);
  w.Int("UseHistoryPaste", s.UseHistoryPaste);
  w.Int("RunIcon", s.RunIcon);
  w.Int("IppatuMemory", s.IppatuMemory);
}

void WriteGroup13(const Settings& s, GroupWriter& w) {
  w.Int("TextBackColor", s.TextBackColor);
  w.Int("TreeBackColor", s.TreeBackColor);
  w.Str("FontName", s.FontName);
  w.Int("FontSize", s.FontSize);
  w.Int("FontStyle", s.FontStyle);
  w.Int("FontColor", s.FontColor);
  w.Int("FontCharset", s.FontCharset);
  w.Str("TreeFontName", s.TreeFontName);
  w.Int("TreeFontSize", s.TreeFontSize);
  w.Int("TreeFontStyle", s.TreeFontStyle & 7);  // bold, italic, underline only
  w.Int("TreeFontColor", s.TreeFontColor);
  w.Int("TreeFontCharset", s.TreeFontCharset);
  w.RegStr("FromPath", s.FromPath);
  w.Int("DataFileNum", s.DataFileNum);
  w.Int("TitleFmt", s.TitleFmt);
}

}  // namespace

int32_t ApplyControlColor(int32_t ctrl_color) { return ctrl_color != 0 ? kClBtnFace : kClWindow; }

void StoreEditedHookFields(const HookBlockFields& h, SharedHookBlock& b) {
  b.SetHotkey(SharedHookBlock::kPopupKubunKey, HotkeyWord(h.PopupKubunKey));
  b.SetHotkey(SharedHookBlock::kSaveKey, HotkeyWord(h.SaveKey));
  b.SetHotkey(SharedHookBlock::kSaveHtmlKey, HotkeyWord(h.SaveHtmlKey));
  b.SetHotkey(SharedHookBlock::kNewCardKey, HotkeyWord(h.NewCardKey));
  b.SetHotkey(SharedHookBlock::kActiveKey, HotkeyWord(h.ActiveKey));
  b.SetHotkey(SharedHookBlock::kSaveKubunKey, HotkeyWord(h.SaveKubunKey));
  b.SetHotkey(SharedHookBlock::kMagicKey, HotkeyWord(h.MagicKey));
  b.SetHotkey(SharedHookBlock::kFindKey, HotkeyWord(h.FindKey));
  for (size_t i = 0; i < h.SuperPasteKeys.size(); ++i) {
    b.SetSuperPasteKey(i, HotkeyWord(h.SuperPasteKeys[i]));
  }
  b.SetRetActive(h.RetActive);
  b.SetAutoMove(h.AutoMove);
}

void StoreHookFields(const HookBlockFields& h, SharedHookBlock& b) {
  StoreEditedHookFields(h, b);
  b.SetBarLeft(h.BarLeft);
  b.SetBarTop(h.BarTop);
  b.SetNoTrack(h.NoTrack);
}

void SplitSourceRule(std::string_view value, std::string* name, std::string* classes) {
  name->clear();
  classes->clear();
  const size_t comma = value.find(',');
  *name = TrimSpaces(value.substr(0, comma));
  if (comma == std::string_view::npos) return;
  std::string_view rest = value.substr(comma + 1);
  size_t pos = 0;
  while (pos < rest.size()) {
    while (pos < rest.size() && (rest[pos] == ',' || rest[pos] == ' ')) ++pos;
    if (pos == rest.size()) break;
    size_t end = rest.find_first_of(", ", pos);
    if (end == std::string_view::npos) end = rest.size();
    if (!classes->empty()) *classes += ',';
    *classes += rest.substr(pos, end - pos);
    pos = end;
  }
}

bool IniFileReadable(SettingsStores& stores) {
  std::unique_ptr<RandomFile> f;
  if (!stores.env.Open(stores.ini_path, OpenMode::kReadOnly, &f).ok()) return false;
  (void)f->Close();
  return true;
}

Status LoadSettingsFromIni(Settings* s, SettingsStores& stores, std::string_view start_argument) {
  IniDocument doc;
  Status read = IniFile(stores.env, stores.ini_path).Load(&doc);  // unreadable: all defaults
  const RegistryStore::Snapshot reg = stores.registry.Read();
  LoadAll(s, IniSource(std::move(doc)), reg, /*from_ini=*/true, start_argument);
  if (read.ok()) return read;
  return ForUser(read, MessageUtf8(MessageId::kCannotReadFile, {stores.ini_path}));
}

Status LoadSettingsFromRegistry(Settings* s, SettingsStores& stores,
                                std::string_view start_argument) {
  const RegistryStore::Snapshot reg = stores.registry.Read();
  LoadAll(s, RegistrySource(reg), reg, /*from_ini=*/false, start_argument);
  return SaveSettings(*s, stores, kGroupOptions);
}

Status LoadSettings(Settings* s, SettingsStores& stores, std::string_view start_argument) {
  if (IniFileReadable(stores)) return LoadSettingsFromIni(s, stores, start_argument);
  return LoadSettingsFromRegistry(s, stores, start_argument);
}

Status SaveSettings(Settings& s, SettingsStores& stores, int group) {
  while (stores.SaveBusy) {
    if (!stores.ProcessMessages) return Status::Invalid("a settings save is already running");
    stores.ProcessMessages();
  }
  stores.SaveBusy = true;
  struct BusyRelease {
    bool& busy;
    ~BusyRelease() { busy = false; }
  } release{stores.SaveBusy};

  GroupWriter w;
  switch (group) {
    case kGroupBarAndSort:
      w.Int("CY", s.Hook.BarTop);
      w.Int("CX", s.Hook.BarLeft);
      w.Str("SortType", s.SortType);
      break;
    case kGroupWindow:
      w.Int("Left", s.Left);
      w.Int("Top", s.Top);
      w.Int("Width", s.Width);
      w.Int("Height", s.Height);
      w.Int("TreeWidth", s.TreeWidth);
      break;
    case kGroupOptions:
      WriteGroup3(s, w);
      break;
    case kGroupPasteHistory:
      for (int i = 0; i < 10; ++i) {
        w.Str(Numbered("HistoryPaste", i + 1), s.HistoryPaste[i]);
        w.Str(Numbered("SuperCard", i), s.SuperCard[i]);
      }
      w.Str("PopupKubun", s.PopupKubun);
      break;
    case kGroupClipHistoryFile:
      if (s.UseHistory != 0 && s.ClipSave != 0 && stores.WriteClipHistory) {
        return stores.WriteClipHistory();
      }
      return Status::Ok();
    case kGroupSourceList:
      w.Str("SyuttenList", s.SyuttenList);
      break;
    case kGroupFontsAndDataSet:
      WriteGroup13(s, w);
      break;
    case kGroupTikanBlank:
      w.Int("TikanBlank", s.TikanBlank);
      break;
    case kGroupOneShotFolder:
      w.Str("DefAddKubun", s.DefAddKubun);
      w.Int("DefAddKubunFile", s.DefAddKubunFile);
      break;
    case kGroupOneShotForgotten:
      w.Str("DefAddKubun", "");
      w.Int("DefAddKubunFile", -1);
      break;
    case kGroupCardWindowSize:
      w.Int("TextWinWidth", s.TextWinWidth);
      w.Int("TextWinHeight", s.TextWinHeight);
      break;
    default:
      return Status::Ok();
  }
  return w.Commit(stores);
}

Status ResetSettings(SettingsStores& stores) {
  QUILL_RETURN_IF_ERROR(stores.registry.DeleteKey(kQuillmainKey));
  Status s = stores.env.Remove(stores.ini_path);
  if (!s.ok() && !s.IsNotFound()) return s;
  return Status::Ok();
}

}  // namespace quill
