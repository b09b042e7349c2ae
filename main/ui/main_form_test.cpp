#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <QTest>
#include <fstream>
#include <map>

#include "controls/ui/string_grid_pelm.h"
#include "main/dialogs/fake_small_dialogs.h"
#include "main/exchange/fake_transfer_dialogs.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class MainFormTest : public testing::Test {
 protected:
  MainFormTest() {
    TestApp();
    MainFormContext context = TestFormContext(dir_, ui_);
    context.dialogs = &dialogs_;
    context.transfer_dialogs = &transfer_dialogs_;
    // The options dialog closes at once, as with Cancel.
    context.run_dialog = [](QDialog&) { return kResultCancel; };
    form_ = std::make_unique<TMainForm>(std::move(context));
    // Commands that open a dialog of their own (printing) find it
    // cancelled at once.
    QObject::connect(&close_dialogs_, &QTimer::timeout, [] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    close_dialogs_.start(10);
  }

  // The menu titled `title` in the menu bar, or the popup named so.
  QMenu* Menu(const QString& name) {
    for (QAction* a : form_->menuBar()->actions()) {
      if (a->menu() != nullptr && a->text() == name) return a->menu();
    }
    return form_->findChild<QMenu*>(name);
  }

  TempDir dir_;
  FakeUi ui_;
  FakeSmallDialogs dialogs_;
  FakeTransferDialogs transfer_dialogs_;
  std::unique_ptr<TMainForm> form_;
  QTimer close_dialogs_;
};

// Every menu item of the main window: its menu, caption and handler.
struct Item {
  const char* menu;
  const char* caption;
  const char* handler;
};
const Item kItems[] = {
    {"ファイル(&F)", "ファイル切り替え(&C)...", "ChangeDataClick"},
    {"ファイル(&F)", "印刷(&P)...", "PrintOutActionExecute"},
    {"ファイル(&F)", "一時バックアップ(&B)", "BackUpClick"},
    {"ファイル(&F)", "完全バックアップ(&K)", "Backup2Click"},
    {"ファイル(&F)", "終了(&X)", "ExitClick"},
    {"編集(&E)", "コピー(&C)", "CopyClick"},
    {"編集(&E)", "切り取り(&T)", "CutClick"},
    {"編集(&E)", "貼り付け(&P)", "PasteClick"},
    {"編集(&E)", "新規フォルダ", "SinkiForudaClick"},
    {"編集(&E)", "新規カード(&N)", "AddNewClick"},
    {"編集(&E)", "削除済みカード(&U)", "UndeleteSyoriClick"},
    {"検索(&S)", "カード内検索(&F)", "FindStrMenuClick"},
    {"検索(&S)", "カード内置換(&R)", "ReplaceClick"},
    {"検索(&S)", "カード検索(&S)", "GrepClick"},
    {"検索(&S)", "検索解除(&A)", "GrepKaijoClick"},
    {"入出力(&I)", "他Quillbox取り込み...", "KansetuYomikomiClick"},
    {"入出力(&I)", "他Quillbox用書き出し...", "ToQuillboxClick"},
    {"入出力(&I)", "他Quillbox直接書き出し...", "ToOtherQuillbok2Click"},
    {"入出力(&I)", "カード読み込み(&T)...", "IkkatuTextClick"},
    {"入出力(&I)", "カード書き出し(&W)...", "AllTextOutClick"},
    {"入出力(&I)", "カード書き出し（１カード１ファイル）", "CardOutClick"},
    {"環境設定(&O)", "WordWrap(&W)", "WordWrapActionExecute"},
    {"環境設定(&O)", "オートインデント", "AutoIndentActionExecute"},
    {"環境設定(&O)", "テキスト部の背景色(&B)", "BackColorExecute"},
    {"環境設定(&O)", "テキスト部のフォント(&F)", "FontActionExecute"},
    {"環境設定(&O)", "環境設定(&O)...", "OptionClick"},
    {"ヘルプ(&H)", "バージョン情報...(&A)", "AboutClick"},
    {"ヘルプ(&H)", "ヘルプ(&H)", "HelpClick"},
    {"ヘルプ(&H)", "ぽろてヘルプ(&K)", "PomaroActionExecute"},
    {"TrayMenu", "Quillboxを表示", "KQuillbox4Click"},
    {"TrayMenu", "ボタンウインドウの表示／非表示(&B)", "ButtonWindowClick"},
    {"TrayMenu", "Quillbox位置リセット", "ResetItiClick"},
    {"TrayMenu", "環境設定(&O)...", "OptionClick"},
    {"TrayMenu", "ヘルプ(&H)", "HelpClick"},
    {"TrayMenu", "ぽろてヘルプ(&K)", "PomaroActionExecute"},
    {"TrayMenu", "バージョン情報...(&A)", "AboutClick"},
    {"TrayMenu", "終了(&X)", "TrayEndClick"},
    {"TextPopup", "登録(&V)", "SaveButtonClick"},
    {"TextPopup", "元に戻す(&U)", "UndoClick"},
    {"TextPopup", "コピー(&C)", "CopyClick"},
    {"TextPopup", "切り取り(&T)", "CutClick"},
    {"TextPopup", "貼り付け(&Y)", "PasteClick"},
    {"TextPopup", "全選択(&L)", "AllSelectClick"},
    {"TextPopup", "全コピー(&A)", "AllCopyClick"},
    {"TextPopup", "印刷(&P)...", "PrintOutActionExecute"},
    {"TextPopup", "検索(&F)", "FindStrMenuClick"},
    {"TextPopup", "置換(&R)", "ReplaceClick"},
    {"TextPopup", "カード分割(&B)", "BunkatuCardClick"},
    {"TextPopup", "タイトルセット(&S)", "SetTitleClick"},
    {"TextPopup", "WordWrap(&W)", "WordWrapActionExecute"},
    {"TextPopup", "このカードのフォントを変える(&F)", "FontActionExecute"},
    {"TextPopup", "このカードのフォントをデフォルトのフォントとする", "SetDefaultFontClick"},
    {"TextPopup", "このカードのフォントをデフォルトのフォントに戻す", "BackDefaultFontClick"},
    {"ListPopup", "新規フォルダ(&N)", "NewKategoriClick"},
    {"ListPopup", "フォルダ名変更(&R)", "RenameClick"},
    {"ListPopup", "移動(&M)", "MoveNodeClick"},
    {"ListPopup", "削除(&D)", "IkkatuDeleteClick"},
    {"ListPopup", "カード検索(&F)...", "GrepClick"},
    {"ListPopup", "再読込(&A)", "GrepOffClick"},
    {"ListPopup", "一括置換", "IkkatuTikanClick"},
    {"ListPopup", "一括属性変更(&Z)...", "SetSyuttenClick"},
    {"ListPopup", "複製(&C)", "HukuseiClick"},
    {"ListPopup", "カード書き出し(&O)...", "AllTextOutClick"},
    {"ListPopup", "カード読み込み(&T)...", "IkkatuTextClick"},
    {"ListPopup", "他Quillbox直接書き出し...", "ToOtherClick"},
    {"ListPopup", "ツリー部のフォント", "TreeFontClick"},
    {"K3", "マーク全セット(&A)", "SetAllMarkClick"},
    {"K3", "このフォルダのデータをマーク(&F)", "FolderMarkClick"},
    {"K3", "このフォルダの下のデータをマーク", "FolderMark2Click"},
    {"K3", "マーク全クリア(&C)", "MarkClearClick"},
    {"K3", "このフォルダのデータのマークをクリア(&R)", "FolderMarkClearClick"},
    {"K3", "このフォルダのデータの下マークをクリア", "FolderMarkClear2Click"},
    {"K3", "マークされていないデータをリストからはずす(&O)", "OffNoMarkClick"},
    {"K3", "一発ペーストするデータにマーク", "SetMarkPopupClick"},
    {"K3", "一発ペーストしないものにマーク", "SetMarkNoPopupClick"},
    {"K3", "マークの反転(&X)", "MarkReverceClick"},
    {"K4", "タイトルのみ", "K5Click"},
    {"K4", "作成日＋タイトル", "K6Click"},
    {"K4", "更新日＋タイトル", "K7Click"},
    {"K4", "作成日＋更新日＋タイトル", "K8Click"},
    {"SortItem", "タイトル昇順", "CodeSyoujunClick"},
    {"SortItem", "タイトル降順", "CodeKoujunClick"},
    {"SortItem", "登録日昇順", "TourokuSyoujunClick"},
    {"SortItem", "登録日降順", "TourokuKoujunClick"},
    {"SortItem", "更新日昇順", "UpdateSyoujunClick"},
    {"SortItem", "更新日降順", "UpdateKoujunClick"},
};

TEST_F(MainFormTest, EveryMenuItemHasItsHandler) {
  QStringList titles;
  for (QAction* a : form_->menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, QStringList({U("ファイル(&F)"), U("編集(&E)"), U("検索(&S)"), U("入出力(&I)"),
                                 U("環境設定(&O)"), U("ヘルプ(&H)")}));
  // Each menu holds exactly the items of the table, in its order, each
  // once (separators and sub-menus aside).
  std::map<QString, QStringList> listed;
  for (const Item& item : kItems) listed[U(item.menu)] << U(item.caption);
  for (const auto& [name, captions] : listed) {
    SCOPED_TRACE(name.toStdString());
    QMenu* menu = Menu(name);
    ASSERT_NE(menu, nullptr);
    QStringList shown;
    for (QAction* a : menu->actions()) {
      if (!a->isSeparator() && a->menu() == nullptr) shown << a->text();
    }
    EXPECT_EQ(shown, captions);
  }
  QStringList sub_menus;
  for (QAction* a : form_->ListPopup->actions()) {
    if (a->menu() != nullptr) sub_menus << a->text();
  }
  EXPECT_EQ(sub_menus, QStringList({U("マーク関連(&K)"), U("リスト書式(&L)"), U("並べ替え(&S)")}));
  int tray_items = 0;
  for (const Item& item : kItems) {
    SCOPED_TRACE(item.caption);
    QMenu* menu = Menu(U(item.menu));
    ASSERT_NE(menu, nullptr) << item.menu;
    QAction* found = nullptr;
    for (QAction* a : menu->actions()) {
      if (a->text() == U(item.caption)) found = a;
    }
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->property("handler").toString(), QString(item.handler));
    QByteArray slot = QByteArray(item.handler) + "()";
    EXPECT_GE(form_->metaObject()->indexOfSlot(slot.constData()), 0);
    if (QString(item.menu) == "TrayMenu") ++tray_items;
  }
  // No item beyond the list (the data-set submenu joins the tray later).
  EXPECT_EQ(form_->TrayMenu->actions().size(), tray_items);
  // The hidden tray item and the help key.
  EXPECT_FALSE(form_->findChild<QAction*>("TrayEnd")->isVisible());
  EXPECT_EQ(form_->findChild<QAction*>("Help")->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST_F(MainFormTest, MenuCommandsRunWithoutEffectAndExitCloses) {
  form_->show();
  for (QAction* a : form_->findChildren<QAction*>()) {
    QString handler = a->property("handler").toString();
    if (handler.isEmpty() || handler == "ExitClick" || handler == "TrayEndClick") continue;
    a->trigger();
  }
  EXPECT_TRUE(form_->isVisible());
  form_->findChild<QAction*>("Exit")->trigger();
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(MainFormTest, ControlsAndCaptions) {
  struct Control {
    const char* name;
    const char* caption;
  } buttons[] = {
      {"SinkiForuda", "新規ﾌｫﾙﾀﾞ"}, {"MarkClearBT", "ﾏｰｸｸﾘｱ"}, {"GrepKaijo", "再読込"},
      {"KensakuButton", "カード検索"}, {"Sakujo", "削除"}, {"ToMark", "ﾏｰｸへ(f4)"},
      {"CancelButton", "取り消し"}, {"AddNew", "新規(f9)"}, {"Del", "削除"},
      {"Tikan", "窓編集"}, {"SaveButton", "登録"}, {"ToFloppy", "外部保存"},
      {"KensakuBt", "次検索(f･3)"}, {"Window", "窓"}, {"PrintOut", "印刷"},
      {"InKensakuButton", "検索"}, {"ClipTool", "クリップツール"},
  };
  // SuperKeyStatus shows the hot key of the card in the editor.
  for (const Control& c : buttons) {
    auto* b = form_->findChild<QPushButton*>(c.name);
    ASSERT_NE(b, nullptr) << c.name;
    EXPECT_EQ(b->text(), U(c.caption)) << c.name;
    b->click();  // wired; with nothing selected and dialogs cancelled, harmless
  }
  Control checks[] = {{"StayTopCB", "前面"}, {"IppatuPaste", "ﾍﾟｰｽﾄ"}, {"CsvHtmlCK", "表,Html"},
                      {"AutoTitle", "自動タイトル"}, {"LockCheckBox", "編集ロック"}};
  for (const Control& c : checks) {
    auto* b = form_->findChild<QCheckBox*>(c.name);
    ASSERT_NE(b, nullptr) << c.name;
    EXPECT_EQ(b->text(), U(c.caption)) << c.name;
  }
  // The hints of the card panel.
  Control hints[] = {
      {"Window", "F5"},           {"Tikan", "SHIFT+F5"},          {"Del", "CTRL+F7"},
      {"CancelButton", "CTRL+F8"}, {"SaveButton", "Ctrl+S"},       {"ToFloppy", "CTRL+F6"},
      {"KensakuBt", "SHIFTを押しながらで前方検索"},                  {"KensakuMark", "検索文字着色"},
      {"KindButton", "SHIFT+F7"},  {"CsvHtmlCK", "SHIFT+F9"},      {"IppatuPaste", "SHIFT+F8"},
      {"Syutten", "SHIFT+F6"},
  };
  for (const Control& c : hints) {
    auto* w = form_->findChild<QWidget*>(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(w->toolTip(), U(c.caption)) << c.name;
  }
  for (const char* name : {"Tree", "Title", "Text", "CsvGrid", "Split", "MainPanel", "Syutten",
                           "KindButton", "KensakuMark", "CardCount", "MarkCount"}) {
    EXPECT_NE(form_->findChild<QWidget*>(name), nullptr) << name;
  }
  // The grid waits hidden, with rows of 24 px, until a table is shown.
  EXPECT_FALSE(form_->CsvGrid->isVisibleTo(form_.get()));
  EXPECT_EQ(form_->CsvGrid->verticalHeader()->defaultSectionSize(), 24);
  EXPECT_EQ(form_->Text->parentWidget(), form_->MainPanel);
  EXPECT_EQ(form_->CsvGrid->parentWidget(), form_->MainPanel);
  EXPECT_EQ(form_->Timer1->interval(), 100);
  EXPECT_FALSE(form_->Timer1->isActive());
  EXPECT_FALSE(form_->CheckActiveTimer->isActive());
  for (const char* name : {"TextPopup", "ListPopup", "TrayMenu", "TaskPopup", "MagicMenu",
                           "DataMenu", "WinMenu", "SuperKeyMenu", "SubPopupMenu"}) {
    EXPECT_NE(form_->findChild<QMenu*>(name), nullptr) << name;
  }
}

TEST_F(MainFormTest, StayOnTopFollowsTheCheckBoxAndKeepsTheWindow) {
  form_->show();
  WId id = form_->winId();
  form_->StayTopCB->click();
  EXPECT_TRUE(form_->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  form_->StayTopCB->click();
  EXPECT_FALSE(form_->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  // Same native window all along: its id is the main window's handle.
  EXPECT_EQ(form_->winId(), id);
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(MainFormTest, HandOverMessageBringsTheWindowBack) {
  form_->hide();
  form_->WndProc(kCommandMessage, 9999, 0);  // unknown codes do nothing
  EXPECT_FALSE(form_->isVisible());
  form_->WndProc(kCommandMessage, static_cast<uint32_t>(CommandCode::kHandOver), 0);
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(MainFormTest, TheWindowTakesTheResetSizeAndKeepsEveryButtonInSight) {
  form_->show();
  form_->findChild<QAction*>("ResetIti")->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(form_->size(), QSize(500, 400));
  // The button rows wrap instead of leaving buttons beyond the edge.
  for (QPushButton* b : form_->findChildren<QPushButton*>()) {
    if (!b->isVisible()) continue;
    const QRect r(b->mapTo(form_.get(), QPoint()), b->size());
    EXPECT_TRUE(form_->rect().contains(r)) << b->objectName().toStdString();
  }
}

TEST_F(MainFormTest, RunIconOpensTheWindowMinimisedOnceTheLoopRuns) {
  std::ofstream(dir_.File("quillmain.ini"), std::ios::binary)
      << "[Env]\r\nFontName=x\r\nRunIcon=1\r\n";
  ASSERT_TRUE(form_->FormCreate().ok());
  EXPECT_FALSE(form_->isVisible());  // command 105 is on its way
  QTRY_VERIFY(form_->isVisible() && form_->isMinimized());
  EXPECT_GT(form_->Tree->model()->rowCount(), 0);  // the data set is open
}

TEST_F(MainFormTest, AnIndexRebuiltAtTheStartIsToldOnce) {
  std::ofstream(dir_.File("quillmain.ini"), std::ios::binary) << "[Env]\r\nFontName=x\r\n";
  {
    store::CardStore store(FileEnv::Default(), dir_.Path() + "/");
    ASSERT_TRUE(store.Open(false, {}).ok());
    for (int i = 0; i < 60; ++i) {
      FakeClock clock;
      store::WriteTestCard(store, clock, "F", "c" + std::to_string(i), "t");
    }
    ASSERT_TRUE(store.Close().ok());
  }
  store::DamageIndexRoot(dir_.File("quilbo7.ix1"),
                         [](uint32_t, uint32_t* c0, uint32_t* c1) { *c1 = *c0; });
  ASSERT_TRUE(form_->FormCreate().ok());
  const std::string told =
      FormatMessage(MessageId::kIndexRebuilt, {Utf8ToCp932(dir_.File("quilbo7.ix1")) + "\r\n"});
  int times = 0;
  for (const FakeUi::Question& q : ui_.questions()) times += q.text == told;
  EXPECT_EQ(times, 1);
}

}  // namespace
}  // namespace quill
