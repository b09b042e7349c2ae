// The data sets, the icon button and the version box in the main window,
// offscreen, over real stores in temporary folders.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>

#include "main/settings/data_set_switch.h"
#include "main/samples/sample_cards.h"
#include "main/dialogs/fake_small_dialogs.h"
#include "main/editor/card_editor.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/ui/card_icons.h"
#include "main/ui/main_form.h"
#include "main/ui/search_forms.h"
#include "main/ui/small_forms.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/in_process_bus.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/qt/cp932_text.h"
#include "platform/qt/test_app.h"
#include "platform/registry_store.h"
#include "platform/text_codec.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

// A data set with one folder holding a card "card of <folder_name>" and
// the further titles given.
void MakeDataSet(const std::string& folder, const std::string& folder_name,
                 const std::vector<std::string>& more = {}) {
  fs::create_directories(folder);
  store::CardStore store(FileEnv::Default(), folder + "/");
  ASSERT_TRUE(store.Open(false, folder).ok());
  store::WriteFolderRow(store, folder_name);
  std::vector<std::string> titles = {"card of " + folder_name};
  titles.insert(titles.end(), more.begin(), more.end());
  for (const std::string& title : titles) {
    store::CardRecord c(store);
    c.Clear();
    c.folder = folder_name;
    c.title = title;
    c.text = "text";
    ASSERT_TRUE(c.Write().ok());
    // Ids come from the clock: each card of every set gets a millisecond
    // of its own, so no two sets share an id by chance.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(store.Close().ok());
}

// The live cards of the set in `folder`, title -> card id.
std::map<std::string, std::string> CardsOfSet(const std::string& folder) {
  store::CardStore store(FileEnv::Default(), folder + "/");
  EXPECT_TRUE(store.Open(true, folder).ok());
  std::map<std::string, std::string> cards;
  store::CardRecord r(store);
  std::vector<int64_t> rows;
  EXPECT_TRUE(r.FindCardsByFolder("", &rows).ok());
  for (int64_t row : rows) {
    r.SetRecNo(row);
    if (r.Load(false).ok() && !r.is_folder() && r.deleted != 'D') cards[r.title] = r.id;
  }
  return cards;
}

class MainFormDataSetsTest : public testing::Test {
 protected:
  void Start(const std::string& start_argument = "") {
    TestApp();
    RegistryStore reg(FileEnv::Default(), dir_.File("registry.ini"));
    MakeDataSet(dir_.File("two"), "Two-folder");
    MakeDataSet(dir_.File("three"), "Three-folder");
    fs::create_directories(dir_.File("bad"));
    std::ofstream(dir_.File("bad/quilbo7.dat"), std::ios::binary) << std::string(700, '\x7f');
    ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "DataFile3", "Two\t" + dir_.File("two")).ok());
    ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "DataFile4", "Three\t" + dir_.File("three")).ok());
    ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "DataFile5", "Gone\t" + dir_.File("gone")).ok());
    ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "DataFile6", "Bad\t" + dir_.File("bad")).ok());
    // A folder that cannot be made: a file stands where its parent would.
    std::ofstream(dir_.File("blocker")) << "x";
    ASSERT_TRUE(
        reg.WriteString(kQuillmainEnvKey, "DataFile7", "Blocked\t" + dir_.File("blocker/set")).ok());
    ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "DefAddKubun", "Memo").ok());
    ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "DefAddKubunFile", "0").ok());
    block_.SetBarWindow(bar_);
    fs::create_directories(dir_.File("home"));
    Launch(start_argument);
  }

  // A main window over the folders made by Start.
  void Launch(const std::string& start_argument = "") {
    form_.reset();
    MainFormContext context;
    context.program_folder = dir_.File("home") + "/";
    context.registry_path = dir_.File("registry.ini");
    context.start_argument = start_argument;
    context.block = &block_;
    context.bus = &bus_;
    context.clock = &clock_;
    context.ui = &ui_;
    context.dialogs = &dialogs_;
    context.shift_down = [this] { return shift_; };
    context.install_folder = install_;
    form_ = std::make_unique<TMainForm>(std::move(context));
    ASSERT_TRUE(form_->FormCreate().ok());
  }

  // Chooses entry `slot` of the data-set menu of "ファイル切り替え(&C)...".
  void Choose(int slot) {
    ui_.Choose(slot);
    form_->ChangeDataClick();
  }
  std::string Root() { return form_->TreeModel().tree().root()->text(); }
  std::string Title() { return ToCp932(form_->windowTitle()); }
  size_t Questions() { return ui_.questions().size(); }

  TempDir dir_;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{std::span<uint8_t, kSharedHookBlockSize>(bytes_)};
  FakeClock clock_;
  InProcessBus bus_{&clock_};
  WindowHandle bar_ = bus_.CreateWindow();
  FakeUi ui_;
  FakeSmallDialogs dialogs_;
  bool shift_ = false;
  std::string install_;  // where "Sample.dat" is looked for
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormDataSetsTest, TheMenuIsInTheTrayMenuAndFollowsTheOpenSet) {
  Start();
  QMenu* tray = form_->TrayMenu;
  ASSERT_GE(tray->actions().size(), 2);
  EXPECT_EQ(tray->actions()[1]->menu(), form_->DataMenu);
  EXPECT_EQ(form_->DataMenu->title(), QString::fromUtf8("ファイル切り替え(&C)"));
  const QList<QAction*> entries = form_->DataMenu->actions();
  ASSERT_EQ(entries.size(), 10);
  EXPECT_EQ(entries[0]->text(), QString::fromUtf8("&0:データ１"));
  EXPECT_EQ(entries[2]->text(), QString::fromUtf8("&2:Two"));
  EXPECT_TRUE(entries[0]->isChecked());
  EXPECT_FALSE(entries[0]->isEnabled());
  EXPECT_TRUE(entries[2]->isEnabled());
  EXPECT_TRUE(entries[9]->isEnabled());  // a free slot
  // The tray menu's entry switches too.
  entries[2]->trigger();
  EXPECT_EQ(form_->settings().DataFileNum, 2);
  EXPECT_FALSE(form_->DataMenu->actions()[2]->isEnabled());
  EXPECT_TRUE(form_->DataMenu->actions()[2]->isChecked());
}

TEST_F(MainFormDataSetsTest, SwitchTable) {
  Start();
  EXPECT_EQ(Title(), Utf8ToCp932("データ１:Quillbox"));
  EXPECT_EQ(block_.SaveState(), 1);
  bus_.Take(bar_);

  // Set 2: its tree, caption and number, saved, the one-shot folder
  // forgotten and the bar told.
  Choose(2);
  EXPECT_EQ(Questions(), 0u);
  EXPECT_EQ(Root(), "Two");
  EXPECT_NE(form_->TreeModel().tree().root()->first_child(), nullptr);
  EXPECT_EQ(form_->TreeModel().tree().root()->first_child()->text(), "Two-folder");
  EXPECT_EQ(Title(), "Two:Quillbox");
  EXPECT_EQ(form_->settings().DataFileNum, 2);
  EXPECT_NE(ReadAll(dir_.File("home/quillmain.ini")).find("DataFileNum=2"), std::string::npos);
  EXPECT_EQ(form_->settings().DefAddKubun, "");
  EXPECT_EQ(block_.SaveState(), 0);
  EXPECT_EQ(block_.SaveHint(), Utf8ToCp932("一発登録フォルダ指定"));
  EXPECT_EQ(bus_.Take(bar_), (std::vector<Message>{{bar_, kCommandMessage, 16, 0}}));

  // A deleted folder: set 0 and the message.
  Choose(4);
  ASSERT_EQ(Questions(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, Utf8ToCp932("ファイルがありません"));
  EXPECT_EQ(ui_.questions()[0].caption, Utf8ToCp932("警告"));
  EXPECT_EQ(form_->settings().DataFileNum, 0);
  EXPECT_EQ(Title(), Utf8ToCp932("データ１:Quillbox"));

  // A free slot: set 0 without a word.
  Choose(2);
  Choose(8);
  EXPECT_EQ(Questions(), 1u);
  EXPECT_EQ(form_->settings().DataFileNum, 0);

  // A store that cannot be read: said why, and the set shown stays open.
  Choose(2);
  Choose(5);
  ASSERT_EQ(Questions(), 2u);
  EXPECT_EQ(ui_.questions()[1].text.rfind(Utf8ToCp932("データを開けません。"), 0), 0u);
  EXPECT_EQ(form_->settings().DataFileNum, 2);
  EXPECT_EQ(Title(), "Two:Quillbox");
  EXPECT_EQ(form_->EditCard().GetDataPath(), dir_.File("two") + "/");
  // Nothing of the unreadable set was changed.
  EXPECT_EQ(ReadAll(dir_.File("bad/quilbo7.dat")), std::string(700, '\x7f'));
  // And a card saved now lands in the set shown.
  form_->AddNewClick();
  form_->Title->setText("new in two");
  form_->SaveButtonClick();
  store::CardStore two(FileEnv::Default(), dir_.File("two") + "/");
  ASSERT_TRUE(two.Open(true, dir_.File("two")).ok());
  bool found = false;
  for (const char* folder : {"Two-folder"}) {
    for (const store::CardRecord& c : store::CardsOfFolder(two, folder)) {
      if (c.title == "new in two") found = true;
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(MainFormDataSetsTest, WriteToAnotherSet) {
  MakeDataSet(dir_.File("home"), "Zero", {"second of Zero"});
  Start();
  const std::map<std::string, std::string> zero = CardsOfSet(dir_.File("home"));
  FolderTree& tree = form_->TreeModel().tree();
  auto marked = [&] {
    int n = 0;
    for (TreeNode* node = tree.first(); node != nullptr; node = node->GetNext()) {
      if (!node->IsFolder() && node->info().Mark() != 0) ++n;
    }
    return n;
  };
  auto texts = [&] {
    std::vector<std::string> t;
    for (const auto& q : ui_.questions()) t.push_back(q.text);
    return t;
  };
  const std::string ask = Utf8ToCp932("更新日が古いものも書き出しますか？");
  const std::string done = Utf8ToCp932("書き出しました");

  // The marked card arrives in set 2 with its id; the open set stays open.
  FindNodeByTextId(zero.at("card of Zero"), tree)->info().SetMark(1);
  ui_.Choose(2);
  ui_.Answer(kResultNo);
  form_->ToOtherClick();
  EXPECT_EQ(texts(), (std::vector<std::string>{ask, done}));
  EXPECT_EQ(ui_.questions()[0].caption, Utf8ToCp932("確認"));
  std::map<std::string, std::string> two = CardsOfSet(dir_.File("two"));
  EXPECT_EQ(two.size(), 2u);
  EXPECT_EQ(two["card of Zero"], zero.at("card of Zero"));
  // Its folder list names the folder that came in.
  EXPECT_NE(ReadAll(dir_.File("two") + "/quilbo7.tre").find("Zero"), std::string::npos);
  EXPECT_EQ(form_->settings().DataFileNum, 0);
  EXPECT_EQ(Title(), Utf8ToCp932("データ１:Quillbox"));
  EXPECT_EQ(marked(), 1);
  // A card saved next lands in the set shown.
  form_->AddNewClick();
  form_->Title->setText("saved after");
  form_->SaveButtonClick();
  EXPECT_EQ(CardsOfSet(dir_.File("home")).count("saved after"), 1u);
  EXPECT_EQ(CardsOfSet(dir_.File("two")).count("saved after"), 0u);

  // Shift and nothing marked: every card goes, none is marked after.
  form_->MarkClearClick();
  shift_ = true;
  ui_.Choose(3);
  form_->ToOtherQuillbok2Click();
  shift_ = false;
  const std::map<std::string, std::string> three = CardsOfSet(dir_.File("three"));
  for (const auto& [title, id] : CardsOfSet(dir_.File("home"))) EXPECT_EQ(three.at(title), id);
  EXPECT_EQ(three.size(), 4u);
  EXPECT_EQ(marked(), 0);
  EXPECT_EQ(texts().back(), done);

  // A free slot is refused before anything is asked or written.
  const size_t before = texts().size();
  ui_.Choose(8);
  form_->ToOtherClick();
  ASSERT_EQ(texts().size(), before + 1);
  EXPECT_EQ(texts().back(), Utf8ToCp932("書き出し先のデータが設定されていません"));
  EXPECT_FALSE(fs::exists(dir_.File("home/toquilbo.dat")));

  // A target that cannot be written is warned of, never reported done.
  ui_.Choose(6);
  form_->ToOtherClick();
  ASSERT_EQ(texts().size(), before + 3);
  EXPECT_EQ(texts()[before + 1], ask);
  EXPECT_EQ(texts().back(), Utf8ToCp932("ディスクをチェックしてください"));
  EXPECT_EQ(form_->EditCard().GetDataPath(), dir_.File("home") + "/");

  // A target whose store cannot be opened: said why, nothing merged into
  // it, and the set shown is open again.
  ui_.Choose(5);
  form_->ToOtherClick();
  ASSERT_EQ(texts().size(), before + 5);
  EXPECT_EQ(texts().back().rfind(Utf8ToCp932("データを開けません。"), 0), 0u);
  EXPECT_EQ(ReadAll(dir_.File("bad/quilbo7.dat")), std::string(700, '\x7f'));
  EXPECT_EQ(form_->EditCard().GetDataPath(), dir_.File("home") + "/");
  EXPECT_EQ(Title(), Utf8ToCp932("データ１:Quillbox"));

  // The mode ends with its menu: the tray entry switches again.
  form_->DataMenu->actions()[2]->trigger();
  EXPECT_EQ(form_->settings().DataFileNum, 2);
}

// Every live card of the set in `folder`, with its text, by card id.
std::map<std::string, store::CardRecord> CardsById(const std::string& folder) {
  std::map<std::string, store::CardRecord> cards;
  store::CardStore store(FileEnv::Default(), folder + "/");
  EXPECT_TRUE(store.Open(true, folder).ok());
  store::CardRecord r(store);
  EXPECT_TRUE(r.SetOpenFlag(true).ok());
  std::vector<int64_t> rows;
  EXPECT_TRUE(r.FindCardsByFolder("", &rows).ok());
  for (int64_t row : rows) {
    r.SetRecNo(row);
    if (r.Load(true).ok() && !r.is_folder() && r.deleted != 'D') cards.emplace(r.id, r);
  }
  EXPECT_TRUE(r.Close().ok());
  return cards;
}

TEST_F(MainFormDataSetsTest, ANewDataSetZeroGetsTheSampleCardsOnce) {
  install_ = dir_.File("install");
  fs::create_directories(install_);
  fs::copy_file(QUILL_SAMPLE_PATH, install_ + "/Sample.dat");
  Start();
  EXPECT_EQ(Questions(), 0u);
  std::vector<TransferCard> want;
  ASSERT_TRUE(ParseSampleCards(ReadAll(QUILL_SAMPLE_SOURCE), &want).ok());
  std::map<std::string, store::CardRecord> got = CardsById(dir_.File("home"));
  ASSERT_EQ(got.size(), want.size());
  for (const TransferCard& w : want) {
    char id[17];
    std::snprintf(id, sizeof id, "%08X%08X", w.ctime, w.ctick);
    ASSERT_EQ(got.count(id), 1u) << id;
    const store::CardRecord& c = got.at(id);
    EXPECT_EQ(c.folder, w.folder) << id;
    EXPECT_EQ(c.title, w.title) << id;
    EXPECT_EQ(c.source, w.source) << id;
    EXPECT_EQ(c.text, w.text) << id;
    EXPECT_EQ(c.one_shot_paste, w.one_shot_paste) << id;
    EXPECT_EQ(c.utime, w.utime) << id;
    EXPECT_EQ(c.position, w.position) << id;
    EXPECT_EQ(c.icon, w.icon) << id;
    EXPECT_EQ(c.kind, w.kind) << id;
    EXPECT_EQ(c.two_column ? 1 : 0, w.two_column) << id;
    for (size_t i = 0; i < w.widths.size(); ++i) EXPECT_EQ(c.column_widths[i], w.widths[i]) << id;
    EXPECT_FALSE(c.auto_title || c.locked) << id;
  }
  // The tree shows them under their folder.
  EXPECT_EQ(form_->TreeModel().tree().root()->first_child()->text(), Utf8ToCp932("サンプル"));

  // A second start finds the set and adds nothing.
  Launch();
  EXPECT_EQ(CardsById(dir_.File("home")).size(), want.size());
  EXPECT_EQ(Questions(), 0u);
}

TEST_F(MainFormDataSetsTest, WithoutSampleFileANewDataSetZeroStaysEmptySilently) {
  install_ = dir_.File("install");
  fs::create_directories(install_);
  Start();
  EXPECT_EQ(Questions(), 0u);
  EXPECT_TRUE(CardsById(dir_.File("home")).empty());
  EXPECT_TRUE(fs::exists(dir_.File("home/quilbo7.dat")));
}

TEST_F(MainFormDataSetsTest, AStartArgumentAndAHandOverNameASet) {
  Start("Three");
  EXPECT_EQ(form_->settings().DataFileNum, 3);
  EXPECT_EQ(Root(), "Three");
  EXPECT_NE(ReadAll(dir_.File("home/quillmain.ini")).find("DataFileNum=3"), std::string::npos);
  // At start the one-shot folder stays.
  EXPECT_EQ(form_->settings().DefAddKubun, "Memo");
  block_.SetSaveHint("Two");
  form_->WndProc(kCommandMessage, static_cast<uint32_t>(CommandCode::kHandOver), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form_->settings().DataFileNum == 2; }, 5000));
  EXPECT_EQ(Root(), "Two");
  EXPECT_EQ(Questions(), 0u);
}

TEST_F(MainFormDataSetsTest, TheKindButtonPicksTheCardsIconNearTheCursor) {
  Start();
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const int bottom = screen->geometry().bottom() + 1;
  QCursor::setPos(screen, 40, bottom - 50);
  dialogs_.kind_results = {42, -1};
  form_->KindButton->click();
  EXPECT_EQ(form_->Editor().EditIcon, 42);
  ASSERT_EQ(dialogs_.kind_pickers.size(), 1u);
  EXPECT_EQ(dialogs_.kind_pickers[0].first, 0);
  // The picker ends 30 pixels above the screen's bottom edge.
  EXPECT_EQ(dialogs_.kind_pickers[0].second, (ScreenPoint{40, bottom - 208 - 30}));
  // Escape (-1) leaves the icon.
  form_->KindButton->click();
  EXPECT_EQ(form_->Editor().EditIcon, 42);
  EXPECT_EQ(dialogs_.kind_pickers[1].first, 42);
  form_->AboutClick();
  EXPECT_EQ(dialogs_.about_shown, 1);
}

// The picker itself: keys, clicks and the pictures it shows.
TEST(KindFormTest, KeysClicksAndPictures) {
  TestApp();
  QList<QIcon> icons;
  for (int i = 0; i < 100; ++i) {
    QPixmap p(16, 16);
    p.fill(QColor(i, 255 - i, 7));
    icons.push_back(QIcon(p));
  }
  TKindFm form(nullptr, 99, icons);
  struct Step {
    int start;
    Qt::Key key;
    int current;
  } steps[] = {{99, Qt::Key_Right, 99}, {95, Qt::Key_Down, 95}, {95, Qt::Key_Up, 85},
               {0, Qt::Key_Left, 0},    {0, Qt::Key_Up, 0},     {5, Qt::Key_Right, 6}};
  for (const Step& s : steps) {
    form.Reset(s.start);
    form.show();
    QTest::keyClick(&form, s.key);
    EXPECT_EQ(form.Picker().current(), s.current) << s.start << " " << s.key;
    EXPECT_TRUE(form.isVisible());
  }
  form.Reset(12);
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_EQ(form.Result(), -1);
  EXPECT_FALSE(form.isVisible());

  // Clicks in the margins do nothing; a cell is picked.
  form.Reset(0);
  form.show();
  for (QPoint margin : {QPoint(2, 50), QPoint(50, 2), QPoint(205, 50), QPoint(50, 206)}) {
    QTest::mouseClick(&form, Qt::LeftButton, {}, margin);
    EXPECT_TRUE(form.isVisible()) << margin.x() << "," << margin.y();
  }
  QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(4 + 20 * 3 + 10, 4 + 20 * 4 + 10));
  EXPECT_EQ(form.Result(), 43);
  EXPECT_FALSE(form.isVisible());

  // Icon n is drawn 2 pixels inside its cell.
  const QImage shown = form.grab().toImage();
  for (int n : {0, 57, 99}) {
    const QPoint at(n % 10 * 20 + 6 + 8, n / 10 * 20 + 6 + 8);
    EXPECT_EQ(shown.pixelColor(at), QColor(n, 255 - n, 7)) << n;
  }
}

TEST(AboutFormTest, ShowsTheNameAndTheBuildsVersion) {
  TestApp();
  TAboutFm about(nullptr);
  EXPECT_EQ(about.findChild<QLabel*>("ProductName")->text(), QString("Quillbox"));
  EXPECT_EQ(about.findChild<QLabel*>("Version")->text(), QString("Version ") + ProgramVersion());
  EXPECT_NE(std::string(ProgramVersion()), "");
}

}  // namespace
}  // namespace quill
