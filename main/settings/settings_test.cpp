#include "main/settings/settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/ini_file.h"

namespace quill {
namespace {

// Names of the value lines of a profile text, in file order, and its
// section names.
std::vector<std::string> KeysOf(const std::string& text) {
  std::vector<std::string> keys;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    size_t eq = line.find('=');
    if (!line.empty() && line[0] != '[' && eq != std::string::npos) keys.push_back(line.substr(0, eq));
    pos = end + 2;
  }
  return keys;
}

std::vector<std::string> SectionsOf(const std::string& text) {
  return IniDocument(text).SectionNames();
}

std::vector<std::string> Numbered(const char* stem, int from, int to) {
  std::vector<std::string> v;
  for (int i = from; i <= to; ++i) v.push_back(stem + std::to_string(i));
  return v;
}

class SettingsTest : public ::testing::Test {
 protected:
  std::string Ini() {
    std::string data;
    EXPECT_TRUE(env_.ReadFile(stores_.ini_path, &data).ok());
    return data;
  }
  void WriteIni(const std::string& text) {
    ASSERT_TRUE(env_.WriteFileAtomic(stores_.ini_path, text).ok());
  }
  void ClearStores() {
    (void)env_.Remove(stores_.ini_path);
    (void)env_.Remove(reg_.path());
  }
  Settings Load(std::string_view start_argument = "") {
    Settings s;
    EXPECT_TRUE(LoadSettings(&s, stores_, start_argument).ok());
    return s;
  }
  // The settings an empty store gives.
  static Settings Defaults() {
    Settings s;
    s.Hook.RetActive = 1;  // no FontName: the settings count as new
    s.SingleFolder = 0;    // PopupKubun "POPUP" is not empty
    s.DataFiles.names[0] = kFirstDataFileName;
    return s;
  }

  TempDir dir_;
  FaultEnv env_;
  RegistryStore reg_{env_, dir_.File("config/quillbox/registry.ini")};
  SettingsStores stores_{env_, dir_.File("quillmain.ini"), reg_};
};

TEST_F(SettingsTest, EmptyIniGivesDefaultsAndWritesNothing) {
  for (const char* text : {"", "[Env]\r\n", "[Other]\r\nFontName=X\r\nRetActive=0\r\n"}) {
    WriteIni(text);
    EXPECT_EQ(Load(), Defaults()) << text;
    EXPECT_EQ(Ini(), text);
  }
  EXPECT_FALSE(env_.Exists(reg_.path()));
  EXPECT_EQ(ApplyControlColor(1), kClBtnFace);
  EXPECT_EQ(ApplyControlColor(-3), kClBtnFace);
  EXPECT_EQ(ApplyControlColor(0), kClWindow);
}

TEST_F(SettingsTest, FirstStartWritesGroup3FromTheRegistry) {
  Settings s = Load();
  Settings want = Defaults();
  want.SyuttenNames.fill(kUnsetSourceName);  // named while group 3 was written
  EXPECT_EQ(s, want);

  std::vector<std::string> keys = Numbered("SuperPasteKey", 0, 9);
  for (const char* k : {"RetActive", "SaveTitle", "SaveUrl", "SaveDate", "ShiftEnd",
                        "FloppyDrive", "AutoSort", "NewCardWin", "CtrlColor", "TabKey",
                        "ClipHistoryRoot", "IME", "UseHistory", "ClipSave", "SingleFolder",
                        "PASTE_ALT_E_P", "PASTE_SHIFT_F9", "PASTE_WM_PASTE", "COPY_ALT_E_C",
                        "COPY_F8", "COPY_SHIFT_F8", "COPY_WM_COPY", "CUT_ALT_E_T", "CUT_F7",
                        "CUT_F8", "CUT_WM_CUT", "NoHukkiClass"}) {
    keys.push_back(k);
  }
  for (const std::string& k : Numbered("Syutten", 1, 10)) keys.push_back(k);
  for (const char* k : {"TrayDblClick", "OpenByMain", "RunTreeOpen", "DefAutoTitle",
                        "IppastuLock", "AddIti", "TuikaOrikaesiSuu", "BackClipBoard",
                        "UseButton", "ToolBar", "WordWrap", "AutoIndent", "SaveKey",
                        "SaveHtmlKey", "PopupKubunKey", "MagicKey", "FindKey", "NewCardKey",
                        "ActiveKey", "SaveKubunKey", "AutoMove", "DefPasteList",
                        "UseHistoryPaste", "RunIcon", "IppatuMemory"}) {
    keys.push_back(k);
  }
  const std::string ini = Ini();
  EXPECT_EQ(SectionsOf(ini), std::vector<std::string>{"Env"});
  EXPECT_EQ(KeysOf(ini), keys);
  EXPECT_NE(ini.find("\r\nSyutten1=" + std::string(kUnsetSourceName) + ",\r\n"),
            std::string::npos);
  EXPECT_NE(ini.find("\r\nRetActive=1\r\n"), std::string::npos);

  std::string registry;
  ASSERT_TRUE(env_.ReadFile(reg_.path(), &registry).ok());
  std::vector<std::string> reg_keys = {"BackupFile"};
  for (const std::string& k : Numbered("DataFile", 1, 10)) reg_keys.push_back(k);
  EXPECT_EQ(SectionsOf(registry), std::vector<std::string>{kQuillmainEnvKey});
  EXPECT_EQ(KeysOf(registry), reg_keys);
  EXPECT_EQ(reg_.ReadString(kQuillmainEnvKey, "DataFile1", ""),
            std::string(kFirstDataFileName) + "\t");
  EXPECT_EQ(reg_.ReadString(kQuillmainEnvKey, "DataFile10", ""), "\t");

  EXPECT_EQ(Load(), want);  // the next start reads the new ini
}

TEST_F(SettingsTest, GroupsRoundTripThroughAFreshLoad) {
  const std::string base_ini = "[Env]\r\nFontName=Base\r\nRetActive=1\r\n";
  WriteIni(base_ini);
  const Settings base = Load();

  struct Case {
    int group;
    std::function<void(Settings&)> change;
  };
  const Case cases[] = {
      {1, [](Settings& s) {
         s.Hook.BarTop = -8;
         s.Hook.BarLeft = 1200;
         s.SortType = "\x83\x5C sort";
       }},
      {2, [](Settings& s) {
         s.Left = -8;
         s.Top = -32000;
         s.Width = 1000;
         s.Height = 700;
         s.TreeWidth = 300;
       }},
      {3, [](Settings& s) {
         s.Hook.SuperPasteKeys[0] = 0x2070;
         s.Hook.SuperPasteKeys[9] = 0xC031;  // above 0x7FFF: an unsigned word
         s.BackupFile = "/backup/q.zip";
         s.Hook.RetActive = 0;
         s.SaveTitle = 1;
         s.SaveUrl = 0;
         s.SaveDate = 1;
         s.ShiftEnd = 1;
         s.FloppyDrive = "b:";
         s.AutoSort = 1;
         s.NewCardWin = 1;
         s.CtrlColor = 0;
         s.ControlColor = kClWindow;
         s.TabKey = 1;
         s.ClipHistoryRoot = 1;
         s.IME = 1;
         s.UseHistory = 0;
         s.ClipSave = 1;
         s.SingleFolder = 1;
         s.PASTE_ALT_E_P = "A,";
         s.PASTE_SHIFT_F9 = "B,";
         s.PASTE_WM_PASTE = "";
         s.COPY_ALT_E_C = "C,";
         s.COPY_F8 = "D,";
         s.COPY_SHIFT_F8 = "E,";
         s.COPY_WM_COPY = "F,";
         s.CUT_ALT_E_T = "G,";
         s.CUT_F7 = "H,";
         s.CUT_F8 = "I,";
         s.CUT_WM_CUT = "J,";
         // A long class list of double-byte text: no read limit cuts it.
         s.NoHukkiClass.clear();
         for (int i = 0; i < 1500; ++i) s.NoHukkiClass += "\x83\x5C";
         s.NoHukkiClass += ",";
         s.SyuttenNames.fill(kUnsetSourceName);  // what saving gives the empty ones
         s.SyuttenNames[0] = "Site";
         s.SyuttenNames[2] = "My Site";
         s.SyuttenClasses[2] = "Navigator,Firefox";
         s.DataFiles.names[1] = "Work";
         s.DataFiles.paths[1] = "/data/work";
         s.TrayDblClick = 1;
         s.OpenByMain = 1;
         s.RunTreeOpen = 1;
         s.DefAutoTitle = 1;
         s.IppastuLock = 0;
         s.AddIti = 0;
         s.TuikaOrikaesiSuu = 20;
         s.BackClipBoard = 1;
         s.UseButton = 0;
         s.ToolBar = 0;
         s.WordWrap = 0;
         s.AutoIndent = 1;
         s.Hook.SaveKey = 0x4053;
         s.Hook.SaveHtmlKey = 0x4054;
         s.Hook.PopupKubunKey = 0x8050;
         s.Hook.MagicKey = 0x6020;
         s.Hook.FindKey = 0x0053;
         s.Hook.NewCardKey = 0x4E;
         s.Hook.ActiveKey = 0x2041;
         s.Hook.SaveKubunKey = 0xE041;
         s.Hook.AutoMove = 255;  // written as the signed byte -1
         s.DefPasteList = 0;
         s.UseHistoryPaste = 1;
         s.RunIcon = 1;
         s.IppatuMemory = 0;
       }},
      {10, [](Settings& s) {
         s.HistoryPaste[0] = "0000000000000001";
         s.HistoryPaste[9] = "000000000000000A";
         s.SuperCard[0] = "00000000000000B0";
         s.SuperCard[9] = "00000000000000B9";
         s.PopupKubun = "POPUP \x83\x5C";
       }},
      {12, [](Settings& s) { s.SyuttenList = "Site A\tSite B\t"; }},
      {13, [](Settings& s) {
         s.TextBackColor = 0x00FFEEDD;
         s.TreeBackColor = kClBtnFace;
         s.FontName = "Noto Sans CJK JP";
         s.FontSize = 12;
         s.FontStyle = 3;
         s.FontColor = 0xFF;
         s.TreeFontName = "IPAGothic";
         s.TreeFontSize = 11;
         s.TreeFontStyle = 5;
         s.TreeFontColor = 0xFF00;
         s.TreeFontCharset = 1;
         s.FromPath = "/import/\t/other/\t";
         s.DataFileNum = 3;
         s.TitleFmt = 2;
       }},
      {14, [](Settings& s) { s.TikanBlank = 1; }},
      {15, [](Settings& s) {
         s.DefAddKubun = "\x83\x81\x83\x82 \x89\xba";
         s.DefAddKubunFile = 2;
       }},
      {17, [](Settings& s) {
         s.TextWinWidth = 640;
         s.TextWinHeight = 480;
       }},
  };
  for (const Case& c : cases) {
    ClearStores();
    WriteIni(base_ini);
    Settings s = base;
    c.change(s);
    ASSERT_TRUE(SaveSettings(s, stores_, c.group).ok()) << c.group;
    EXPECT_FALSE(stores_.SaveBusy);
    EXPECT_EQ(Load(), s) << "group " << c.group << "\n" << Ini();
  }
}

TEST_F(SettingsTest, HistoryKeysCountFromOneAndSuperCardsFromZero) {
  WriteIni("");
  Settings s = Load();
  ASSERT_TRUE(SaveSettings(s, stores_, 10).ok());
  std::vector<std::string> keys;
  for (int i = 0; i < 10; ++i) {
    keys.push_back("HistoryPaste" + std::to_string(i + 1));
    keys.push_back("SuperCard" + std::to_string(i));
  }
  keys.push_back("PopupKubun");
  EXPECT_EQ(KeysOf(Ini()), keys);
}

TEST_F(SettingsTest, ForgettingTheOneShotFolderKeepsMemory) {
  WriteIni("");
  Settings s = Load();
  s.DefAddKubun = "Memo";
  s.DefAddKubunFile = 3;
  ASSERT_TRUE(SaveSettings(s, stores_, 15).ok());
  ASSERT_TRUE(SaveSettings(s, stores_, 16).ok());
  EXPECT_EQ(s.DefAddKubun, "Memo");
  EXPECT_EQ(s.DefAddKubunFile, 3);
  EXPECT_EQ(Ini(), "[Env]\r\nDefAddKubun=\r\nDefAddKubunFile=-1\r\n");
  Settings t = Load();
  EXPECT_EQ(t.DefAddKubun, "");
  EXPECT_EQ(t.DefAddKubunFile, -1);

  // Groups without keys write nothing.
  for (int group : {0, 4, 11, 18, -1}) ASSERT_TRUE(SaveSettings(s, stores_, group).ok());
  EXPECT_EQ(Ini(), "[Env]\r\nDefAddKubun=\r\nDefAddKubunFile=-1\r\n");
}

TEST_F(SettingsTest, NumbersIndexesAndPositions) {
  using Get = std::function<int64_t(const Settings&)>;
  const Get back = [](const Settings& s) { return s.TextBackColor; };
  struct Case {
    bool ini;  // else the registry
    const char* key;
    const char* text;
    Get get;
    int64_t want;
  };
  const Case cases[] = {
      {true, "TextBackColor", "0x1F", back, 31},
      {false, "TextBackColor", "0x1F", back, kClWindow},  // "0x" is for the ini only
      {true, "TextBackColor", "$1F", back, 31},
      {false, "TextBackColor", "$1F", back, 31},
      {true, "TextBackColor", "-16777211", back, -16777211},
      {true, "TextBackColor", "12abc", back, kClWindow},
      {true, "TextBackColor", "", back, kClWindow},
      {true, "TreeWidth", "$FFFFFFFF", [](const Settings& s) { return s.TreeWidth; }, -1},
      {true, "TreeWidth", "4294967295", [](const Settings& s) { return s.TreeWidth; }, 233},
      {true, "Left", "-8", [](const Settings& s) { return s.Left; }, -8},
      {true, "Left", "65528", [](const Settings& s) { return s.Left; }, -8},
      {false, "Top", "-8", [](const Settings& s) { return s.Top; }, -8},
      {true, "CX", "-8", [](const Settings& s) { return s.Hook.BarLeft; }, -8},
      {false, "CY", "65535", [](const Settings& s) { return s.Hook.BarTop; }, -1},
      {true, "SaveKey", "0x12345", [](const Settings& s) { return s.Hook.SaveKey; }, 0x2345},
      {true, "SaveKey", "-1", [](const Settings& s) { return s.Hook.SaveKey; }, 0xFFFF},
      {true, "RetActive", "0x1FF", [](const Settings& s) { return s.Hook.RetActive; }, 255},
      {true, "UseButton", "255", [](const Settings& s) { return s.UseButton; }, -1},
      {true, "NewCardWin", "2", [](const Settings& s) { return s.NewCardWin; }, 1},
      {true, "WordWrap", "256", [](const Settings& s) { return s.WordWrap; }, 0},
      {true, "FontCharset", "1", [](const Settings& s) { return s.FontCharset; }, 128},
      // Indexes outside their range read as the default.
      {true, "DataFileNum", "9", [](const Settings& s) { return s.DataFileNum; }, 9},
      {true, "DataFileNum", "10", [](const Settings& s) { return s.DataFileNum; }, 0},
      {false, "DataFileNum", "-1", [](const Settings& s) { return s.DataFileNum; }, 0},
      {true, "TitleFmt", "3", [](const Settings& s) { return s.TitleFmt; }, 3},
      {true, "TitleFmt", "4", [](const Settings& s) { return s.TitleFmt; }, 0},
      {true, "DefAddKubunFile", "9", [](const Settings& s) { return s.DefAddKubunFile; }, 9},
      {true, "DefAddKubunFile", "10", [](const Settings& s) { return s.DefAddKubunFile; }, -1},
      {true, "DefAddKubunFile", "-2", [](const Settings& s) { return s.DefAddKubunFile; }, -1},
      {true, "AddIti", "0", [](const Settings& s) { return s.AddIti; }, 0},
      {true, "AddIti", "2", [](const Settings& s) { return s.AddIti; }, 1},
      {true, "TrayDblClick", "1", [](const Settings& s) { return s.TrayDblClick; }, 1},
      {false, "TrayDblClick", "-1", [](const Settings& s) { return s.TrayDblClick; }, 0},
  };
  for (const Case& c : cases) {
    ClearStores();
    Settings s;
    if (c.ini) {
      WriteIni(std::string("[Env]\r\nFontName=F\r\n") + c.key + "=" + c.text + "\r\n");
      LoadSettingsFromIni(&s, stores_, "");
    } else {
      ASSERT_TRUE(reg_.WriteString(kQuillmainEnvKey, c.key, c.text).ok());
      ASSERT_TRUE(LoadSettingsFromRegistry(&s, stores_, "").ok());
    }
    EXPECT_EQ(c.get(s), c.want) << (c.ini ? "ini " : "registry ") << c.key << "=" << c.text;
  }
}

TEST_F(SettingsTest, SingleFolderAndOneShotFolderResolution) {
  struct Case {
    const char* ini;
    int32_t single_folder;
    const char* def_add_kubun;
    int32_t def_add_kubun_file;
  } cases[] = {
      {"PopupKubun=\r\n", 1, "", -1},
      {"", 0, "", -1},
      {"SingleFolder=0\r\nPopupKubun=\r\n", 0, "", -1},
      {"SingleFolder=1\r\n", 1, "", -1},
      {"DefAddKubun=Memo\r\nDefAddKubunFile=3\r\n", 0, "Memo", 3},
      {"IppatuMemory=0\r\nDefAddKubun=Memo\r\nDefAddKubunFile=3\r\n", 0, "", -1},
  };
  for (const Case& c : cases) {
    WriteIni(std::string("[Env]\r\n") + c.ini);
    Settings s = Load();
    EXPECT_EQ(s.SingleFolder, c.single_folder) << c.ini;
    EXPECT_EQ(s.DefAddKubun, c.def_add_kubun) << c.ini;
    EXPECT_EQ(s.DefAddKubunFile, c.def_add_kubun_file) << c.ini;
  }
}

TEST_F(SettingsTest, SourceRules) {
  struct Case {
    const char* value;
    const char* name;
    const char* classes;
  } cases[] = {
      {"Name,A B", "Name", "A,B"},
      {"My Site,Navigator, Firefox  ,,Chromium", "My Site", "Navigator,Firefox,Chromium"},
      {" padded ,X", "padded", "X"},
      {"No classes", "No classes", ""},
      {"Trailing,", "Trailing", ""},
      {",X", "", "X"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    std::string name, classes;
    SplitSourceRule(c.value, &name, &classes);
    EXPECT_EQ(name, c.name) << c.value;
    EXPECT_EQ(classes, c.classes) << c.value;
  }

  WriteIni("[Env]\r\nSyutten3=My Site,Navigator Firefox\r\nSyutten10=Last,\r\n");
  Settings s = Load();
  EXPECT_EQ(s.SyuttenNames[2], "My Site");
  EXPECT_EQ(s.SyuttenClasses[2], "Navigator,Firefox");
  EXPECT_EQ(s.SyuttenNames[9], "Last");
  ASSERT_TRUE(SaveSettings(s, stores_, 3).ok());
  const std::string ini = Ini();
  EXPECT_NE(ini.find("Syutten3=My Site,Navigator,Firefox\r\n"), std::string::npos);
  EXPECT_NE(ini.find("Syutten10=Last,\r\n"), std::string::npos);
  EXPECT_NE(ini.find("Syutten1=" + std::string(kUnsetSourceName) + ",\r\n"), std::string::npos);
  EXPECT_EQ(s.SyuttenNames[0], kUnsetSourceName);
  EXPECT_EQ(Load().SyuttenNames[0], kUnsetSourceName);
}

TEST_F(SettingsTest, RegistryOnlyKeysAndTheStartArgument) {
  RegistryStore::Batch b;
  for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
           {"FontName", "Reg Font"}, {"RetActive", "0"}, {"IppastuLock", "0"},
           {"TextWinWidth", "5"}, {"SortType", "r"}, {"FromPath", "/from/\t"},
           {"BackupFile", "/b.zip"}, {"DataFile2", "Work\t/w"},
           {"DataFile3", "\t\tPlay\t\t/p"}, {"DataFile4", "Play"}}) {
    b.WriteString(kQuillmainEnvKey, name, value);
  }
  const std::string long_path = "/" + std::string(1200, 'd');  // no 899-byte cut
  b.WriteString(kQuillmainEnvKey, "DataFile5", "Long\t" + long_path);
  ASSERT_TRUE(reg_.Apply(b).ok());

  Settings s = Load("Play");  // no ini: the registry loader
  EXPECT_EQ(s.FontName, "Reg Font");
  EXPECT_EQ(s.Hook.RetActive, 0);
  EXPECT_EQ(s.IppastuLock, 1);  // ini-only keys take their defaults
  EXPECT_EQ(s.TextWinWidth, 100);
  EXPECT_EQ(s.SortType, "r");
  EXPECT_EQ(s.FromPath, "/from/\t");
  EXPECT_EQ(s.BackupFile, "/b.zip");
  EXPECT_EQ(s.DataFiles.names[1], "Work");
  EXPECT_EQ(s.DataFiles.paths[1], "/w");
  EXPECT_EQ(s.DataFiles.names[2], "Play");
  EXPECT_EQ(s.DataFiles.paths[2], "/p");
  EXPECT_EQ(s.DataFiles.paths[3], "");
  EXPECT_EQ(s.DataFiles.paths[4], long_path);
  EXPECT_EQ(s.DataFileNum, 3);  // the last slot of that name
  EXPECT_EQ(s.DataFiles.names[0], kFirstDataFileName);

  // The ini loader reads these keys from the registry too, not the ini.
  WriteIni("[Env]\r\nFromPath=ini\r\nBackupFile=ini\r\nDataFile2=ini\tx\r\nDataFileNum=1\r\n");
  Settings t = Load();
  EXPECT_EQ(t.FromPath, "/from/\t");
  EXPECT_EQ(t.BackupFile, "/b.zip");
  EXPECT_EQ(t.DataFiles.names[1], "Work");
  EXPECT_EQ(t.DataFileNum, 1);
  EXPECT_EQ(Load("Work").DataFileNum, 1);
}

TEST_F(SettingsTest, FailedWritesAreReportedAndReleaseTheSave) {
  WriteIni("[Env]\r\nFontName=F\r\n");
  Settings s = Load();
  s.Hook.BarLeft = -8;

  env_.SetDiskFull(true);
  Status st = SaveSettings(s, stores_, 1);
  EXPECT_EQ(st.code(), Status::kNoSpace);
  EXPECT_EQ(st.message(), stores_.ini_path + " に書き込めません");
  EXPECT_FALSE(stores_.SaveBusy);
  env_.ClearFaults();
  ASSERT_TRUE(SaveSettings(s, stores_, 1).ok());  // the next save works
  EXPECT_EQ(Load().Hook.BarLeft, -8);

  // The registry cannot be written: reported, and the ini still gets its keys.
  ASSERT_TRUE(reg_.WriteString(kQuillmainEnvKey, "FromPath", "old").ok());
  env_.FailOpen(reg_.path());
  s.FontSize = 20;
  s.FromPath = "new";
  st = SaveSettings(s, stores_, 13);
  EXPECT_EQ(st.message(), reg_.path() + " に書き込めません");
  env_.ClearFaults();
  EXPECT_EQ(Load().FontSize, 20);
  EXPECT_EQ(reg_.ReadString(kQuillmainEnvKey, "FromPath", ""), "old");
  // Neither can be written: the registry's failure, the first, is reported.
  s.FontSize = 21;
  env_.SetDiskFull(true);
  EXPECT_EQ(SaveSettings(s, stores_, 13).message(), reg_.path() + " に書き込めません");
  env_.ClearFaults();

  // An ini that exists but cannot be read is not replaced by the first-start path.
  env_.FailOpen(stores_.ini_path);
  Settings u;
  st = LoadSettings(&u, stores_, "");
  EXPECT_EQ(st.message(), stores_.ini_path + " に書き込めません");
  EXPECT_FALSE(stores_.SaveBusy);
  env_.ClearFaults();
  EXPECT_EQ(Load().FontSize, 20);
  const std::string ini = Ini();
  env_.SetFailRead(true);  // nor one that opens but fails to read
  EXPECT_EQ(LoadSettings(&u, stores_, "").message(), stores_.ini_path + " を読み込めません");
  env_.ClearFaults();
  EXPECT_EQ(Ini(), ini);
}

TEST_F(SettingsTest, SavesNeverInterleave) {
  WriteIni("");
  Settings s = Load();
  stores_.SaveBusy = true;  // another save is running
  EXPECT_FALSE(SaveSettings(s, stores_, 14).ok());  // nothing to wait with
  EXPECT_TRUE(stores_.SaveBusy);
  EXPECT_EQ(Ini(), "");

  int pumped = 0;
  stores_.ProcessMessages = [&] {
    if (++pumped == 3) stores_.SaveBusy = false;  // the other save ends
  };
  ASSERT_TRUE(SaveSettings(s, stores_, 14).ok());
  EXPECT_EQ(pumped, 3);
  EXPECT_FALSE(stores_.SaveBusy);
  EXPECT_EQ(Ini(), "[Env]\r\nTikanBlank=0\r\n");

  // Group 11 writes the clipboard history file only when both switches are on.
  int written = 0;
  stores_.WriteClipHistory = [&] {
    ++written;
    EXPECT_TRUE(stores_.SaveBusy);
    return Status::IoError("history.his に書き込めません");
  };
  s.UseHistory = 1;
  s.ClipSave = 0;
  EXPECT_TRUE(SaveSettings(s, stores_, 11).ok());
  s.ClipSave = 1;
  EXPECT_EQ(SaveSettings(s, stores_, 11).message(), "history.his に書き込めません");
  EXPECT_EQ(written, 1);
  EXPECT_FALSE(stores_.SaveBusy);
}

TEST_F(SettingsTest, ResetDeletesTheRegistryKeyAndTheIni) {
  EXPECT_TRUE(ResetSettings(stores_).ok());  // nothing there yet
  WriteIni("[Env]\r\nFontName=F\r\nTreeWidth=99\r\n");
  RegistryStore::Batch b;
  b.WriteString(kQuillmainEnvKey, "PFontName", "Mono");
  b.WriteString("SoftWare\\quillmain\\Env\\Sub", "X", "1");
  b.WriteString("SoftWare\\Other", "Keep", "1");
  ASSERT_TRUE(reg_.Apply(b).ok());

  env_.SetFailRemove(true);  // an ini that stays is reported
  EXPECT_EQ(ResetSettings(stores_).code(), Status::kIoError);
  env_.ClearFaults();
  EXPECT_EQ(Ini(), "[Env]\r\nFontName=F\r\nTreeWidth=99\r\n");

  ASSERT_TRUE(ResetSettings(stores_).ok());
  EXPECT_FALSE(env_.Exists(stores_.ini_path));
  EXPECT_FALSE(reg_.KeyExists(kQuillmainKey));
  EXPECT_EQ(reg_.ReadString("SoftWare\\Other", "Keep", ""), "1");

  Settings s = Load();  // the start goes on with the registry loader
  EXPECT_EQ(s.TreeWidth, 233);
  EXPECT_TRUE(env_.Exists(stores_.ini_path));
}

}  // namespace
}  // namespace quill
