// Composition through a real input method on an X display: ibus-daemon
// with the anthy engine on a D-Bus session of the test's own, Qt's ibus
// input context, romaji typed with XTest (xdotool) into the main window's
// text with automatic indentation on. The converted clause is drawn black
// on cyan, the Enter that commits it adds no line break, and the card
// stores the committed text as CP932. In the tree, where keys are
// commands, the input method takes nothing: Space marks the card.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPluginLoader>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <fstream>
#include <sstream>

#include "main/tree/folder_tree_model.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_program.h"
#include "platform/qt/test_window.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// Output of a command run before the application exists.
std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// A D-Bus session and an ibus-daemon on it, for the test's lifetime. The
// daemon writes its address under the test's own configuration folder.
class InputMethodSession {
 public:
  explicit InputMethodSession(const TempDir& dir) {
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    setenv("XDG_CACHE_HOME", dir.File("cache").c_str(), 1);
    std::istringstream bus(
        Capture("dbus-daemon --session --fork --print-address=1 --print-pid=1"));
    std::string pid;
    std::getline(bus, address_);
    std::getline(bus, pid);
    dbus_pid_ = std::atoi(pid.c_str());
    if (address_.empty() || dbus_pid_ <= 0) return;
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    // The engine reads its settings from a key file of the test's own: it
    // starts in hiragana (its default is Latin).
    const std::string settings = dir.File("config") + "/glib-2.0/settings";
    Capture("mkdir -p '" + settings + "'");
    std::ofstream(settings + "/keyfile")
        << "[org/freedesktop/ibus/engine/anthy/common]\ninput-mode=0\n";
    // The anthy engine is a python3 program that needs the system's python3
    // and its GObject bindings, not another python3 earlier in PATH.
    Capture(
        "env PATH=/usr/bin:/bin:\"$PATH\" GSETTINGS_BACKEND=keyfile ibus-daemon --daemonize "
        "--replace --panel=disable --emoji-extension=disable --config=disable --cache=refresh "
        ">/dev/null 2>&1");
    for (int i = 0; i < 100 && ibus_address_.empty(); ++i) {
      ibus_address_ = Trimmed(Capture("ibus address 2>/dev/null"));
      if (ibus_address_.find("unix:") != 0) ibus_address_.clear();
      if (ibus_address_.empty()) usleep(100000);
    }
    // Qt's input context finds the daemon by this address.
    if (!ibus_address_.empty()) setenv("IBUS_ADDRESS", ibus_address_.c_str(), 1);
    setenv("QT_IM_MODULE", "ibus", 1);
  }
  ~InputMethodSession() {
    if (!ibus_address_.empty()) Capture("ibus exit >/dev/null 2>&1");
    if (dbus_pid_ > 0) kill(dbus_pid_, SIGTERM);
  }
  bool Running() const { return !ibus_address_.empty(); }

 private:
  std::string address_;
  std::string ibus_address_;
  int dbus_pid_ = 0;
};

QString Preedit(QPlainTextEdit* text) {
  return text->document()->firstBlock().layout()->preeditAreaText();
}

// The main window shown and active over a data set with one card, on an
// X display with ibus running. One ibus session serves all the tests: Qt's
// input context stays with the daemon it found first.
class EditorInputDesktopTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return;
    session_dir_ = new TempDir;
    session_ = new InputMethodSession(*session_dir_);
  }
  static void TearDownTestSuite() {
    delete session_;
    delete session_dir_;
    session_ = nullptr;
    session_dir_ = nullptr;
  }

  void SetUp() override {
    if (session_ == nullptr) GTEST_SKIP() << "needs an X display";
    ASSERT_TRUE(session_->Running())
        << "ibus-daemon did not start (packages ibus, ibus-anthy, dbus-daemon)";
    if (!TestAppOnX()) GTEST_SKIP() << "needs X";
    const QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                           "/platforminputcontexts/libibusplatforminputcontextplugin.so";
    QPluginLoader loader(plugin);
    if (!QFileInfo::exists(plugin) || !loader.load()) {
      GTEST_SKIP() << "Qt's ibus input context plugin cannot load: " << plugin.toStdString()
                   << ": " << loader.errorString().toStdString();
    }
    {
      store::CardStore cards(FileEnv::Default(), dir_.Path() + "/");
      ASSERT_TRUE(cards.Open(false, dir_.Path()).ok());
      card_id_ = store::WriteKindCard(cards, "F", "card", "text", 0);
      ASSERT_TRUE(cards.Close().ok());
    }
    form_ = StartedForm(TestFormContext(dir_, ui_));
    form_->show();
    ASSERT_TRUE(ActivateExposed(*form_));
  }
  void TearDown() override { form_.reset(); }

  // Clicks into the text, as the user does, until it has the focus.
  void ClickIntoText() {
    form_->Text->setFocus();
    const QPoint inside = form_->Text->viewport()->mapToGlobal(QPoint(20, 10));
    RunProgram("xdotool", {"mousemove", QString::number(inside.x()),
                           QString::number(inside.y()), "click", "1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == form_->Text; }, 5000));
  }

  // The engine for the focused text's context, once the context exists,
  // and composing: a key typed before it runs shows in the text as it is,
  // and is taken out again.
  void StartComposing() {
    QPlainTextEdit* text = form_->Text;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          RunProgram("ibus", {"engine", "anthy"});
          return RunProgram("ibus", {"engine"}).trimmed() == QLatin1String("anthy");
        },
        20000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          RunProgram("xdotool", {"key", "a"});
          const bool typed = QTest::qWaitFor(
              [&] { return !Preedit(text).isEmpty() || !text->toPlainText().isEmpty(); }, 5000);
          const bool composes = !Preedit(text).isEmpty();
          RunProgram("xdotool", {"key", "BackSpace"});
          (void)QTest::qWaitFor(
              [&] { return Preedit(text).isEmpty() && text->toPlainText().isEmpty(); }, 5000);
          return typed && composes;
        },
        30000))
        << "preedit: " << Preedit(text).toStdString()
        << ", text: " << text->toPlainText().toStdString();
    ASSERT_TRUE(Preedit(text).isEmpty() && text->toPlainText().isEmpty());
  }

  static TempDir* session_dir_;
  static InputMethodSession* session_;
  TempDir dir_;
  std::string card_id_;
  FakeUi ui_;
  std::unique_ptr<TMainForm> form_;
};

TempDir* EditorInputDesktopTest::session_dir_ = nullptr;
InputMethodSession* EditorInputDesktopTest::session_ = nullptr;

TEST_F(EditorInputDesktopTest, RomajiComposesAndTheCommittingEnterAddsNoBreak) {
  TMainForm* form = form_.get();
  FakeUi& ui = ui_;
  form->Tree->setCurrentIndex(form->Tree->model()->index(0, 0));
  if (form->settings().AutoIndent == 0) form->AutoIndentActionExecute();
  ASSERT_NE(form->settings().AutoIndent, 0);
  ASSERT_NO_FATAL_FAILURE(ClickIntoText());
  ASSERT_NO_FATAL_FAILURE(StartComposing());

  RunProgram("xdotool", {"type", "--delay", "150", "nihonn"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return Preedit(form->Text) == U("にほん"); }, 15000))
      << "preedit: " << Preedit(form->Text).toStdString()
      << ", text: " << form->Text->toPlainText().toStdString();
  EXPECT_EQ(form->Text->toPlainText(), "");

  RunProgram("xdotool", {"key", "space"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return Preedit(form->Text) == U("日本"); }, 15000))
      << "preedit: " << Preedit(form->Text).toStdString();
  // The converted clause on the screen.
  const QRect area(form->Text->viewport()->mapToGlobal(QPoint(0, 0)),
                   form->Text->viewport()->size());
  QImage shot;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        form->Text->viewport()->repaint();
        shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        // Black-on-cyan's cyan in the text's area.
        return PixelsOf(shot.copy(area), QColor(0, 255, 255)) > 20;
      },
      10000))
      << "the target clause is not cyan";
  EXPECT_TRUE(shot.save(QString(ARTEFACT_DIR) + "/editor_input_composition.png"));

  RunProgram("xdotool", {"key", "Return"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Text->toPlainText() == U("日本"); }, 15000))
      << form->Text->toPlainText().toStdString();
  // A key after the Enter moves the caret once everything before it,
  // the Enter too, has reached the text.
  const int caret = form->Text->textCursor().position();
  RunProgram("xdotool", {"key", "Left"});
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return form->Text->textCursor().position() != caret; }, 15000));
  EXPECT_EQ(form->Text->toPlainText(), U("日本"));
  EXPECT_TRUE(Preedit(form->Text).isEmpty());

  form->Title->setText("ime");
  form->SaveButtonClick();
  EXPECT_EQ(StoredCard(*form, form->EditCard().id).text, "\x93\xfa\x96\x7b");
  EXPECT_TRUE(ui.questions().empty());
}

// With the input method on and composing in the text, Space in the tree
// moves on from a folder and marks a card, also after letters typed there
// by mistake: the tree takes no input method, which would compose the
// letters and take Space to convert them. (The item view itself lets
// input methods in while a folder, which can be renamed, is current.)
TEST_F(EditorInputDesktopTest, SpaceInTheTreeMarksWhileTheInputMethodIsOn) {
  ASSERT_NO_FATAL_FAILURE(ClickIntoText());
  ASSERT_NO_FATAL_FAILURE(StartComposing());

  FolderTree& tree = form_->TreeModel().tree();
  TreeNode* card = nullptr;
  for (TreeNode* n = tree.root(); n != nullptr; n = n->GetNext()) {
    if (n->text() == "card") card = n;
  }
  ASSERT_NE(card, nullptr);
  form_->ShowCardById(card_id_);
  form_->Tree->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == form_->Tree; }, 5000));
  // Up to the card's folder, two letters, Space to the card, Space on it.
  RunProgram("xdotool", {"key", "Up"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return tree.selected_node() == card->parent(); }, 5000));
  RunProgram("xdotool", {"type", "ka"});
  RunProgram("xdotool", {"key", "space"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return tree.selected_node() == card; }, 10000))
      << "Space did not move on from the folder";
  RunProgram("xdotool", {"key", "space"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return card->info().Mark() == 1; }, 10000))
      << "Space did not mark the card";
  EXPECT_EQ(form_->TreeModel().marked_count, 1);
}

}  // namespace
}  // namespace quill
