#include "main/ui/qt_ui.h"

#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>

#include "main/ui/class_color.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QStandardPaths>
#include <QWindow>
#include <QWidget>
#include <cerrno>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "platform/qt/cp932_text.h"
#include "main/ui/message_form.h"
#include "main/ui/search_forms.h"

extern "C" char** environ;

namespace quill {

namespace {

// Starts the program `argv[0]` (a path) with our environment as it is now
// and nothing to read or write, and leaves it. Starting a process from a
// program of this size holds its thread up for tens of ms on a busy
// machine: a thread of its own starts it and then waits for its end, and
// the caller goes on at once.
void StartAndLeave(std::vector<std::string> argv) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  std::thread([argv = std::move(argv), env = std::move(env)]() mutable {
    std::vector<char*> args, envp;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) == 0) {
      while (::waitpid(pid, nullptr, 0) == -1 && errno == EINTR) {
      }
    }
    posix_spawn_file_actions_destroy(&actions);
  }).detach();
}

constexpr int kFlashSize = 32;
// The least time a flash stays up, so that the eye catches one that a
// fast capture would take down at once.
constexpr int kFlashLeastMs = 300;
// The most a flash waits for the display to show it before it is painted.
constexpr int kFlashExposeMs = 200;

// The flash: a small window of its own above every other, at the screen
// centre. It is never managed by the window manager, never activated and
// lets every click and key pass to what lies under it; the display keeps
// the pixels under it and shows them again when it goes.
class FlashWindow final : public QWidget {
 public:
  FlashWindow()
      : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput) {
    setObjectName("FlashIcon");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(kFlashSize, kFlashSize);
  }

  void SetBitmap(FlashBitmap bitmap) {
    picture_ = FlashPicture(bitmap);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, picture_); }

 private:
  QImage picture_;
};

void AddItems(QMenu* menu, const std::vector<MenuItem>& items,
              const std::function<QIcon(int)>& images) {
  for (const MenuItem& item : items) {
    if (item.separator) {
      menu->addSeparator();
      continue;
    }
    const QString caption = FromCp932(item.caption);
    const QIcon icon = item.image >= 0 && images ? images(item.image) : QIcon();
    if (item.submenu || !item.items.empty()) {
      QMenu* sub = menu->addMenu(icon, caption);
      sub->setEnabled(item.enabled);
      AddItems(sub, item.items, images);
      continue;
    }
    QAction* action = menu->addAction(icon, caption);
    action->setData(item.id);
    action->setEnabled(item.enabled);
    action->setCheckable(item.checked);
    action->setChecked(item.checked);
  }
}

}  // namespace

QImage FlashPicture(FlashBitmap bitmap) {
  QImage image(kFlashSize, kFlashSize, QImage::Format_RGB32);
  image.fill(QColor(0xC0, 0xC0, 0xC0));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The board, its sheet of paper and the clip on top.
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(0x9C, 0x6B, 0x30));
  p.drawRoundedRect(QRectF(4.5, 3.5, 23, 27), 2, 2);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(7.5, 7.5, 17, 20));
  p.setBrush(QColor(0x80, 0x80, 0x80));
  p.drawRoundedRect(QRectF(11.5, 1.5, 9, 5), 1, 1);
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
  for (int y = 12; y <= 24; y += 4) p.drawLine(10, y, 22, y);
  switch (bitmap) {
    case FlashBitmap::kClip:  // "CLIPBMP"
      break;
    case FlashBitmap::kClipAdd:  // "CLIPBMPADD": a green plus
      p.setPen(QPen(QColor(0x00, 0x80, 0x00), 4));
      p.drawLine(22, 17, 22, 29);
      p.drawLine(16, 23, 28, 23);
      break;
    case FlashBitmap::kNoClip:  // "NOCLIPBMP": a red cross
      p.setPen(QPen(QColor(0xD0, 0x00, 0x00), 4));
      p.drawLine(6, 6, 26, 26);
      p.drawLine(26, 6, 6, 26);
      break;
  }
  return image;
}

QtUi::QtUi(std::string install_folder) : install_folder_(std::move(install_folder)) {
  flash_hide_.setSingleShot(true);
  QObject::connect(&flash_hide_, &QTimer::timeout, [this] {
    if (flash_ != nullptr) flash_->hide();
  });
}

QtUi::~QtUi() { delete flash_.data(); }

std::optional<std::string> QtUi::ChooseFile(const FileChoice& choice) {
  QFileDialog dialog(QApplication::activeModalWidget());
  dialog.setAcceptMode(choice.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(choice.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!choice.filter.empty()) dialog.setNameFilter(FromCp932(choice.filter));
  if (!choice.default_ext.empty()) dialog.setDefaultSuffix(FromCp932(choice.default_ext));
  if (!choice.folder.empty()) dialog.setDirectory(FromCp932(choice.folder));
  // A pattern is a filter, not a name to start with.
  if (!choice.file_name.empty() && choice.file_name.find('*') == std::string::npos) {
    dialog.selectFile(FromCp932(choice.file_name));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToCp932(dialog.selectedFiles().front());
}

int QtUi::ShowMessageDialog(const std::string& text, const std::string& caption, int mode) {
  TMessageFm form(QApplication::activeModalWidget(), text, caption, mode);
  return form.exec();
}

void QtUi::MessageBeep() { QApplication::beep(); }

void QtUi::EndProgram(int exit_code) { QCoreApplication::exit(exit_code); }

namespace {

QWidget* DialogOwner() {
  QWidget* modal = QApplication::activeModalWidget();
  return modal != nullptr ? modal : QApplication::activeWindow();
}

// Runs the dialog and, on OK, takes its contents into the form.
template <typename Dialog, typename Form>
int RunForm(Form* form) {
  Dialog dialog(DialogOwner(), *form);
  const int result = dialog.exec();
  if (result == kResultOk) *form = dialog.Form();
  return result;
}

}  // namespace

int QtUi::RunCardSearchForm(CardSearchForm* form) {
  TFindFm dialog(DialogOwner(), *form, card_icons_ ? card_icons_() : QList<QIcon>());
  const int result = dialog.exec();
  if (result == kResultOk) *form = dialog.Form();
  return result;
}
int QtUi::RunSearchStringForm(SearchStringForm* form) { return RunForm<TKensakuFm>(form); }
int QtUi::RunReplaceForm(ReplaceForm* form) { return RunForm<TReplaceFm>(form); }

int QtUi::RunReplaceCheck(ScreenPoint at) {
  TRepCheckFm dialog(DialogOwner());
  dialog.move(at.x, at.y);
  return dialog.exec();
}

void QtUi::ShowFlashIcon(FlashBitmap bitmap) {
  if (flash_ == nullptr) flash_ = new FlashWindow;
  auto* flash = static_cast<FlashWindow*>(flash_.data());
  flash_hide_.stop();
  flash_shown_.start();
  flash->SetBitmap(bitmap);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    const QRect area = screen->geometry();
    flash->move(area.x() + (area.width() - kFlashSize) / 2,
                area.y() + (area.height() - kFlashSize) / 2);
  }
  flash->show();
  flash->raise();
  // The capture that flashes runs on without returning to the event loop:
  // the flash is painted as soon as the display shows it.
  QElapsedTimer waited;
  waited.start();
  const QWindow* window = flash->windowHandle();
  while (window != nullptr && !window->isExposed() && waited.elapsed() < kFlashExposeMs) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
    QThread::msleep(1);
  }
  flash->repaint();
}

void QtUi::HideFlashIcon() {
  if (flash_ == nullptr || !flash_->isVisible() || flash_hide_.isActive()) return;
  const qint64 left = kFlashLeastMs - flash_shown_.elapsed();
  if (left <= 0) {
    flash_->hide();
  } else {
    flash_hide_.start(static_cast<int>(left));
  }
}

QWidget* QtUi::flash_window() const {
  return flash_ != nullptr && flash_->isVisible() ? flash_.data() : nullptr;
}

void QtUi::PlaySound(const std::string& file_name) {
  QString path = QString::fromStdString(file_name);
  if (QFileInfo(path).isRelative() && !install_folder_.empty()) {
    path = QDir(QString::fromStdString(install_folder_)).filePath(path);
  }
  if (!QFileInfo(path).isFile()) return;
  // Without a player or a sound device this is silence: the player's
  // complaints go nowhere and its failure to start is not an error.
  const QString player = QStandardPaths::findExecutable(QStringLiteral("aplay"));
  if (player.isEmpty()) return;
  StartAndLeave({QFile::encodeName(player).toStdString(), "-q",
                 QFile::encodeName(path).toStdString()});
}

std::optional<int> QtUi::PopupMenu(const std::vector<MenuItem>& items, ScreenPoint at) {
  QMenu menu;
  AddItems(&menu, items, menu_images_);
  QAction* chosen = menu.exec(QPoint(at.x, at.y));
  if (chosen == nullptr || !chosen->data().isValid()) return std::nullopt;
  return chosen->data().toInt();
}

std::vector<PopupEntry> ActionEntries(QMenu* menu) {
  std::vector<PopupEntry> entries;
  for (QAction* a : menu->actions()) {
    if (!a->isVisible()) continue;
    if (a->isSeparator()) {
      entries.push_back(PopupEntry::Separator());
      continue;
    }
    PopupEntry e;
    e.caption = ToCp932(a->text());
    e.enabled = a->isEnabled();
    e.checked = a->isCheckable() && a->isChecked();
    if (a->menu() != nullptr) {
      e.submenu = true;
      e.items = ActionEntries(a->menu());
    } else {
      e.item = ForeignItem{[action = QPointer<QAction>(a)] {
        if (action != nullptr && action->isEnabled()) action->trigger();
      }};
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

void PopupActions(Ui& ui, QMenu* menu, QPoint at) {
  if (std::function<void()> chosen = PopupEntries(ui, ActionEntries(menu), ScreenPoint{at.x(), at.y()})) {
    chosen();
  }
}

bool QtUi::ChooseFont(FontChoice* font) {
  QFont start(FromCp932(font->name));
  if (font->size > 0) start.setPointSize(font->size);
  start.setBold(font->bold);
  start.setItalic(font->italic);
  start.setUnderline(font->underline);
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, start, nullptr);
  if (!ok) return false;
  font->name = ToCp932(chosen.family());
  font->size = chosen.pointSize() > 0 ? chosen.pointSize() : font->size;
  font->bold = chosen.bold();
  font->italic = chosen.italic();
  font->underline = chosen.underline();
  return true;
}

bool QtUi::ChooseColor(int32_t* color) {
  const QColor chosen = QColorDialog::getColor(ClassColor(*color));
  if (!chosen.isValid()) return false;
  *color = ToColorRef(chosen);
  return true;
}

bool QtUi::FontCoversJapanese(const std::string& family) {
  return QFontDatabase::writingSystems(FromCp932(family)).contains(QFontDatabase::Japanese);
}

}  // namespace quill
