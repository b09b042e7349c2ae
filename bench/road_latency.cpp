// The road in daily use, timed on a real desktop: quillmain of this build
// against mousepad, under the X server and window manager that
// bench/road_latency.sh starts. Each key goes out through XTest on the
// bench's own connection, and the time runs from the moment it is sent
// until its effect is seen:
//
//   capture      the save hot key (Ctrl+Alt+K) over mousepad's selection:
//                until the card's row is in the data file (inotify on the
//                data folder), and until the user's clipboard is back (the
//                owner change XFixes tells, then the user's text read);
//   own_copy     mousepad's own Ctrl+C: until the new owner's text is read
//                (the owner change alone is counted too);
//   popup_paste  Enter on the card of the folder popup: until mousepad's
//                title marks its text changed (a property change);
//   super_key    the super key (Ctrl+Alt+F5) bound to that card: likewise;
//   own_paste    mousepad's own Ctrl+V: likewise.
//
// Each run is checked once its time is taken: a captured text is in the
// data set's text file, a pasted text is what mousepad saves, and after a
// paste-out the user's clipboard comes back. The first run of each kind
// is a warm-up and is not counted. A table at the end gives the medians
// and their ratios to the application's own copy and paste, with the
// goals they are held to.
//
// Run: bench/road_latency.sh [build folder] [benchmark flags]. The number
// of runs of each kind is 20, or QUILL_ROAD_RUNS.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "main/ui/quillmain_desktop_support.h"
#include "platform/file_env.h"
#include "platform/headless/desktop_clients.h"

// Xlib last: its macros (Status, Bool, None) clash with Qt and our headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include "main/ui/quillmain_desktop_x11.h"
#include "platform/x11/x11_support.h"

namespace quill {
namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// The longest a timed run may take before it counts as failed.
constexpr int kRunDeadlineMs = 10000;
// The longest a step between timed runs may take.
constexpr int kStepDeadlineMs = 5000;

// The bench's own connection to the display: keys through XTest, and the
// changes the timed runs look for, woken by the X server (owner changes of
// the clipboard, the editor's title, the answers to selection requests)
// or by the data folder (inotify).
class Desk {
 public:
  Desk() : d_(XOpenDisplay(nullptr)), inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (d_ == nullptr || inotify_ < 0) return;
    int test_event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d_, &test_event, &error, &major, &minor)) return;
    if (!XFixesQueryExtension(d_, &fixes_event_, &error)) return;
    clipboard = XInternAtom(d_, "CLIPBOARD", False);
    primary = XA_PRIMARY;
    utf8_ = XInternAtom(d_, "UTF8_STRING", False);
    net_wm_name_ = XInternAtom(d_, "_NET_WM_NAME", False);
    answer_property_ = XInternAtom(d_, "QUILL_ROAD_ANSWER", False);
    window_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, 0, 0);
    XFixesSelectSelectionInput(d_, window_, clipboard, XFixesSetSelectionOwnerNotifyMask);
    XSync(d_, False);
    ok_ = true;
  }
  ~Desk() {
    if (inotify_ >= 0) ::close(inotify_);
    if (d_ != nullptr) XCloseDisplay(d_);
  }
  Desk(const Desk&) = delete;
  Desk& operator=(const Desk&) = delete;

  bool ok() const { return ok_; }

  // Changes to the files of `folder` wake Wait from now on.
  bool WatchFolder(const std::string& folder) {
    return inotify_add_watch(inotify_, folder.c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO) >= 0;
  }

  // Presses the keys in order and releases them in reverse, in one go; the
  // moment they went out.
  Clock::time_point Chord(std::initializer_list<KeySym> keys) {
    for (KeySym key : keys) XTestFakeKeyEvent(d_, XKeysymToKeycode(d_, key), True, CurrentTime);
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
      XTestFakeKeyEvent(d_, XKeysymToKeycode(d_, *key), False, CurrentTime);
    }
    const Clock::time_point sent = Clock::now();
    XFlush(d_);
    return sent;
  }

  WindowHandle ActiveWindow() { return static_cast<WindowHandle>(NetActiveWindow(d_)); }

  // Title changes of `w`, and the focus it loses to a keyboard grab and
  // gets back, are told from now on.
  void WatchEditor(Window w) {
    XSelectInput(d_, w, PropertyChangeMask | FocusChangeMask);
    XSync(d_, False);
  }
  // Handles every event the server sent so far.
  void Sync() {
    XSync(d_, False);
    Wait(Clock::now());
  }
  // _NET_WM_NAME of `w`; mousepad puts "*" before it while its text has
  // changes that are not saved.
  bool Changed(Window w) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool changed = false;
    X11ErrorTrap trap(d_);
    if (XGetWindowProperty(d_, w, net_wm_name_, 0, 1, False, utf8_, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr && count > 0) {
      changed = data[0] == '*';
    }
    if (data != nullptr) XFree(data);
    return changed;
  }

  // Asks the owner of `selection` for its text; the answer comes in with
  // Wait.
  void Ask(Atom selection) {
    asking = true;
    answered = false;
    XConvertSelection(d_, selection, utf8_, answer_property_, window_, CurrentTime);
    XFlush(d_);
  }
  // The text of `selection`, read within `ms`; nothing when its owner did
  // not answer with text.
  std::optional<std::string> Read(Atom selection, int ms) {
    Ask(selection);
    if (!Until([&] { return answered; }, ms)) return std::nullopt;
    return answer;
  }
  // Reads `selection` until it holds `text`, within `ms`.
  bool Holds(Atom selection, const std::string& text, int ms) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
      if (Read(selection, ms) == text) return true;
      Wait(std::min(deadline, Clock::now() + std::chrono::milliseconds(20)));
    }
    return false;
  }

  // Waits for the server or the data folder, at most until `deadline` and
  // 10 ms (the callers also look at what makes no event here), and
  // handles what came.
  void Wait(Clock::time_point deadline) {
    if (XPending(d_) == 0) {
      pollfd fds[2] = {{ConnectionNumber(d_), POLLIN, 0}, {inotify_, POLLIN, 0}};
      const double left = MsBetween(Clock::now(), deadline);
      ::poll(fds, 2, static_cast<int>(std::clamp(left, 0.0, 10.0)));
      char events[4096];
      while (::read(inotify_, events, sizeof events) > 0) {
      }
    }
    while (XPending(d_) > 0) {
      XEvent event;
      XNextEvent(d_, &event);
      Handle(event);
    }
  }
  // Waits until done() or `ms` have passed; its last answer.
  bool Until(const std::function<bool()>& done, int ms) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (done()) return true;
      if (Clock::now() >= deadline) return false;
      Wait(deadline);
    }
  }

  Atom clipboard = 0, primary = 0;
  // What the events told: the clipboard's owner changes and the last one,
  // the title changes and the last one, and the answer to Ask.
  uint64_t owner_changes = 0;
  Clock::time_point owner_changed_at;
  uint64_t title_changes = 0;
  Clock::time_point title_changed_at;
  // A client holds the keyboard (a menu grabs it), as the editor's focus
  // events tell.
  bool keyboard_grabbed = false;
  bool asking = false;
  bool answered = false;
  std::optional<std::string> answer;
  Clock::time_point answered_at;

 private:
  void Handle(const XEvent& event) {
    const Clock::time_point now = Clock::now();
    if (event.type == fixes_event_ + XFixesSelectionNotify) {
      ++owner_changes;
      owner_changed_at = now;
    } else if (event.type == PropertyNotify && event.xproperty.atom == net_wm_name_) {
      ++title_changes;
      title_changed_at = now;
    } else if ((event.type == FocusOut || event.type == FocusIn) &&
               event.xfocus.detail != NotifyPointer) {
      if (event.xfocus.mode == NotifyGrab) keyboard_grabbed = true;
      if (event.xfocus.mode == NotifyUngrab) keyboard_grabbed = false;
    } else if (event.type == SelectionNotify && asking) {
      asking = false;
      answered = true;
      answered_at = now;
      answer = TakeAnswer(event.xselection.property);
    }
  }
  std::optional<std::string> TakeAnswer(Atom property) {
    if (property == 0) return std::nullopt;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<std::string> text;
    if (XGetWindowProperty(d_, window_, property, 0, 1 << 20, True, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        type == utf8_ && format == 8) {
      text = std::string(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr) XFree(data);
    return text;
  }

  Display* d_;
  int inotify_;
  bool ok_ = false;
  int fixes_event_ = 0;
  Window window_ = 0;
  Atom utf8_ = 0, net_wm_name_ = 0, answer_property_ = 0;
};

// quillmain's settings: the one-shot folder, and hot keys as its words
// (0xC000: Ctrl+Alt) - the save key Ctrl+Alt+K, the folder popup
// Ctrl+Alt+F9, super key 1 Ctrl+Alt+F5, bound to the card.
constexpr char kFolder[] = "Web";
constexpr char kCardText[] = "日本語のカード";
constexpr uint16_t kSaveKey = 0xC04B;
constexpr uint16_t kPopupKey = 0xC078;
constexpr uint16_t kSuperKey = 0xC074;

// The figures of a run in ms, or why it failed.
struct Run {
  std::vector<double> ms;
  std::string error;
};
Run Failed(const std::string& why) { return Run{{}, why}; }

// quillmain and mousepad on the display, and the timed runs over them.
class Road {
 public:
  // Starts both and waits until quillmain has its hot keys; "" or why it
  // could not.
  std::string Start() {
    if (!desk_.ok()) return "no display with XTest and XFixes";
    FileEnv& files = FileEnv::Default();
    const std::string card = AddCardTo(sandbox_.home, kFolder, kCardText);
    if (card.empty()) return "the card could not be written";
    if (!desk_.WatchFolder(sandbox_.home)) return "the data folder cannot be watched";
    const std::string ini =
        std::string("[Env]\r\nUseButton=0\r\nBackClipBoard=1\r\nUseHistory=0\r\nDefAddKubun=") +
        kFolder + "\r\nDefAddKubunFile=0\r\nSaveKey=" + std::to_string(kSaveKey) +
        "\r\nPopupKubunKey=" + std::to_string(kPopupKey) +
        "\r\nSuperPasteKey1=" + std::to_string(kSuperKey) + "\r\nSuperCard1=" + card + "\r\n";
    if (!files.WriteFileAtomic(sandbox_.home + "/quillmain.ini", ini).ok()) {
      return "quillmain.ini could not be written";
    }
    // No sound device is needed: a stand-in takes the capture's sound.
    const std::string bin = sandbox_.dir.File("bin");
    if (!files.CreateDir(bin).ok()) return "the folder of the sound player could not be made";
    WriteFakeSoundPlayer(bin);
    QProcessEnvironment env = sandbox_.env;
    env.insert("PATH", QString::fromStdString(bin) + ":" + env.value("PATH"));

    const std::string pad_home = sandbox_.dir.File("pad");
    if (!files.CreateDir(pad_home).ok() || !files.WriteFileAtomic(pad_file_, content_).ok()) {
      return "mousepad's file could not be written";
    }
    editor_ = std::make_unique<Client>(
        std::vector<std::string>{"mousepad", "--disable-server", pad_file_},
        ClientEnvironment(pad_home), sandbox_.dir.File("mousepad.log"));
    pad_ = editor_->WaitForWindow();
    if (pad_ == 0) return "mousepad showed no window";
    desk_.WatchEditor(pad_);

    StartQuillmain(quillmain_, env, log_);
    if (!quillmain_.waitForStarted(10000)) return "quillmain did not start";
    const bool shown = desk_.Until(
        [&] {
          const WindowHandle main = MainWindowOf(sandbox_.block);
          return main != 0 && x_.IsMapped(main);
        },
        20000);
    if (!shown) return "quillmain showed no main window: " + Log();
    // The hot keys are taken together: once the popup key opens the popup,
    // they all work.
    const bool popup = desk_.Until(
        [&] {
          if (!Front()) return false;
          desk_.Chord({XK_Control_L, XK_Alt_L, XK_F9});
          return desk_.Until([&] { return x_.PopupMenusShown() > 0; }, 1000);
        },
        20000);
    if (!popup) return "quillmain took no hot keys: " + Log();
    desk_.Chord({XK_Escape});
    if (!desk_.Until([&] { return x_.PopupMenusShown() == 0; }, kStepDeadlineMs)) {
      return "the popup did not close";
    }
    return std::string();
  }

  // Closes quillmain; "" or what went wrong.
  std::string Stop() {
    if (quillmain_.state() == QProcess::NotRunning) return "quillmain ended early: " + Log();
    x_.RequestClose(MainWindowOf(sandbox_.block));
    if (!quillmain_.waitForFinished(20000)) return "quillmain did not end";
    if (quillmain_.exitCode() != 0) return "quillmain ended with an error: " + Log();
    return std::string();
  }

  // The save key over a new selection, the user's text on the clipboard:
  // the card's row on disk, and the user's text back on the clipboard.
  Run Capture(int n) {
    const std::string text = "capture " + std::to_string(n) + " " + Stamp();
    const std::string user = "user clip " + std::to_string(n);
    // The user copied a while before; the text is typed.
    if (!Offer(user)) return Failed("capture: the user's clipboard was not set");
    if (!SetText(text)) return Failed("capture: mousepad did not take the text");
    const std::string table = sandbox_.home + "/quilbo7.dat";
    const off_t before = FileSize(table);
    ClipboardTurn back(desk_, user);
    const Clock::time_point sent = desk_.Chord({XK_Control_L, XK_Alt_L, XK_k});
    std::optional<Clock::time_point> on_disk;
    desk_.Until(
        [&] {
          if (!on_disk && FileSize(table) != before) on_disk = Clock::now();
          back.Step();
          return on_disk && back.held;
        },
        kRunDeadlineMs);
    if (!on_disk) return Failed("capture: no card row on disk within 10 s");
    if (!back.held) return Failed("capture: the user's clipboard did not come back within 10 s");
    if (ReadFileBytes(sandbox_.home + "/quilbo7.tx").find(Utf8ToCp932(text)) ==
        std::string::npos) {
      return Failed("capture: the card's text is not in the data set");
    }
    return Run{{MsBetween(sent, *on_disk), MsBetween(sent, *back.held)}, {}};
  }

  // mousepad's Ctrl+C over its selection: the owner change, and the text
  // read from the new owner.
  Run OwnCopy(int n) {
    const std::string text = "own copy " + std::to_string(n);
    if (!SetText(text)) return Failed("own copy: mousepad did not take the text");
    if (!Offer("other " + std::to_string(n))) return Failed("own copy: the clipboard was not set");
    ClipboardTurn copied(desk_, text);
    const Clock::time_point sent = desk_.Chord({XK_Control_L, XK_c});
    desk_.Until(
        [&] {
          copied.Step();
          return copied.held.has_value();
        },
        kRunDeadlineMs);
    if (!copied.held) return Failed("own copy: the copied text was not on the clipboard in 10 s");
    return Run{{MsBetween(sent, *copied.held), MsBetween(sent, *copied.first_change)}, {}};
  }

  // Enter on the card in the folder popup ("r" opens &Root, Right its
  // first folder, whose first entry is the card), mousepad's text
  // selected: until the card's text is in.
  Run PopupPaste(int n) {
    const std::string user = "user clip " + std::to_string(n);
    if (!Offer(user) || !SelectAll()) return Failed("popup paste: mousepad was not made ready");
    desk_.Chord({XK_Control_L, XK_Alt_L, XK_F9});
    // The menu takes keys once it holds the keyboard; the hot key's own
    // grab has ended by the time the menu is mapped.
    const bool menu = desk_.Until(
        [&] {
          if (x_.PopupMenusShown() != 1) return false;
          desk_.Sync();
          return desk_.keyboard_grabbed;
        },
        kStepDeadlineMs);
    if (!menu) return Failed("popup paste: no popup came");
    desk_.Chord({XK_r});
    if (!desk_.Until([&] { return x_.PopupMenusShown() == 2; }, kStepDeadlineMs)) {
      return Failed("popup paste: \"r\" opened no submenu");
    }
    desk_.Chord({XK_Right});
    if (!desk_.Until([&] { return x_.PopupMenusShown() == 3; }, kStepDeadlineMs)) {
      return Failed("popup paste: Right opened no folder");
    }
    return Paste("popup paste", {XK_Return}, kCardText, user);
  }

  // The super key, mousepad's text selected: until the card's text is in.
  Run SuperKey(int n) {
    const std::string user = "user clip " + std::to_string(n);
    if (!Offer(user) || !SelectAll()) return Failed("super key: mousepad was not made ready");
    return Paste("super key", {XK_Control_L, XK_Alt_L, XK_F5}, kCardText, user);
  }

  // mousepad's Ctrl+V, its text selected: until the clipboard's text is in.
  Run OwnPaste(int n) {
    const std::string text = "own paste " + std::to_string(n);
    if (!Offer(text) || !SelectAll()) return Failed("own paste: mousepad was not made ready");
    return Paste("own paste", {XK_Control_L, XK_v}, text, std::string());
  }

  // After a run that failed: no menu left up, mousepad in front with its
  // text saved.
  void Recover() {
    desk_.Chord({XK_Escape});
    desk_.Chord({XK_Escape});
    desk_.Until([&] { return x_.PopupMenusShown() == 0; }, kStepDeadlineMs);
    if (Front() && desk_.Changed(pad_)) Save();
    content_ = ReadFileBytes(pad_file_);
  }

 private:
  // Reads the clipboard after each change of its owner until it holds
  // `want`: when it was first read so, and when its owner first changed.
  class ClipboardTurn {
   public:
    ClipboardTurn(Desk& desk, std::string want)
        : desk_(desk), want_(std::move(want)), seen_(desk.owner_changes) {
      desk_.asking = false;
      desk_.answered = false;
    }
    void Step() {
      if (held) return;
      if (desk_.answered) {
        desk_.answered = false;
        if (desk_.answer == want_) {
          held = desk_.answered_at;
          return;
        }
      }
      if (desk_.owner_changes != seen_) {
        if (!first_change) first_change = desk_.owner_changed_at;
        if (!desk_.asking) {
          seen_ = desk_.owner_changes;
          desk_.Ask(desk_.clipboard);
        }
      }
    }
    std::optional<Clock::time_point> held, first_change;

   private:
    Desk& desk_;
    const std::string want_;
    uint64_t seen_;
  };

  // Sends `keys` to mousepad, whose text is as saved: the time until its
  // title marks the text changed. Then mousepad saves, its file must hold
  // `text`, and the user's clipboard `user` (when one is given) must come
  // back.
  Run Paste(const char* what, std::initializer_list<KeySym> keys, const std::string& text,
            const std::string& user) {
    const std::string name = what;
    desk_.Sync();
    if (desk_.Changed(pad_)) return Failed(name + ": mousepad's text changed before the key");
    uint64_t seen = desk_.title_changes;
    const Clock::time_point sent = desk_.Chord(keys);
    std::optional<Clock::time_point> in;
    desk_.Until(
        [&] {
          if (desk_.title_changes != seen) {
            seen = desk_.title_changes;
            if (desk_.Changed(pad_)) in = desk_.title_changed_at;
          }
          return in.has_value();
        },
        kRunDeadlineMs);
    if (!in) return Failed(name + ": mousepad's text did not change within 10 s");
    if (!Save()) return Failed(name + ": mousepad did not save");
    content_ = ReadFileBytes(pad_file_);
    if (content_ != text) return Failed(name + ": mousepad got \"" + content_ + "\"");
    if (!user.empty() && !desk_.Holds(desk_.clipboard, user, kStepDeadlineMs)) {
      return Failed(name + ": the user's clipboard did not come back");
    }
    return Run{{MsBetween(sent, *in)}, {}};
  }

  // mousepad in front.
  bool Front() {
    return desk_.ActiveWindow() == pad_ ||
           (ActivateWindow(pad_) &&
            desk_.Until([&] { return desk_.ActiveWindow() == pad_; }, kStepDeadlineMs));
  }
  // Another program (xclip, which stays to serve it) takes the clipboard.
  bool Offer(const std::string& text) {
    RunTool({"sh", "-c",
             "printf '%s' '" + text + "' | xclip -selection clipboard >/dev/null 2>&1"});
    return desk_.Holds(desk_.clipboard, text, kStepDeadlineMs);
  }
  // mousepad's whole text selected.
  bool SelectAll() {
    if (!Front()) return false;
    desk_.Chord({XK_Control_L, XK_a});
    return desk_.Holds(desk_.primary, content_, kStepDeadlineMs);
  }
  // mousepad saves its text.
  bool Save() {
    desk_.Chord({XK_Control_L, XK_s});
    return desk_.Until([&] { return !desk_.Changed(pad_); }, kStepDeadlineMs);
  }
  // mousepad holds `text` (small letters, digits and blanks), typed over
  // its whole text, saved, and all of it selected.
  bool SetText(const std::string& text) {
    if (!SelectAll()) return false;
    for (const char c : text) desk_.Chord({c == ' ' ? KeySym{XK_space} : KeySym(c)});
    if (!desk_.Until([&] { return desk_.Changed(pad_); }, kStepDeadlineMs) || !Save()) {
      return false;
    }
    content_ = ReadFileBytes(pad_file_);
    return content_ == text && SelectAll();
  }

  static off_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
  }
  // Tells one run's texts from another's; the same text captured twice
  // within a while makes no second card.
  static std::string Stamp() {
    return std::to_string(Clock::now().time_since_epoch().count() % 1000000007);
  }
  std::string Log() { return ReadFileBytes(log_); }

 public:
  // What quillmain logged since the last call, and which window is in
  // front: told with a run that failed.
  std::string Diagnosis() {
    const std::string log = Log();
    const std::string news = log.size() > log_told_ ? log.substr(log_told_) : std::string();
    log_told_ = log.size();
    const WindowHandle active = desk_.ActiveWindow();
    const std::string front = active == pad_                          ? "mousepad"
                              : active == MainWindowOf(sandbox_.block) ? "quillmain's main window"
                                                                       : Hex(active);
    return "in front: " + front + (news.empty() ? std::string() : "; quillmain's log:\n" + news);
  }

 private:

  Sandbox sandbox_{"road"};
  Desk desk_;
  X11Display x_;
  const std::string pad_file_ = sandbox_.dir.File("pad/memo.txt");
  const std::string log_ = sandbox_.dir.File("quillmain.log");
  std::string content_ = "memo";  // mousepad's text, as last saved
  std::unique_ptr<Client> editor_;
  WindowHandle pad_ = 0;
  QProcess quillmain_;
  size_t log_told_ = 0;
};

Road* g_road = nullptr;

// The figures of every counted run, by name.
std::map<std::string, std::vector<double>>& Figures() {
  static std::map<std::string, std::vector<double>> figures;
  return figures;
}

// The runs that failed, by the name of their kind.
std::map<std::string, int>& Failures() {
  static std::map<std::string, int> failures;
  return failures;
}

struct Kind {
  const char* name;
  Run (Road::*run)(int);
  // What Run::ms holds: the first is the benchmark's time, the others
  // are counters.
  std::vector<const char*> figures;
  bool warmed = false;
  int runs = 0;
};

// A run of `kind`, tried again after a failure (at most three tries); a
// failed try is told at once and undone. The benchmark's own report would
// leave a failed run out of its aggregates without a word, and this
// version of the library cannot aggregate the repetitions of a benchmark
// whose first one was skipped.
constexpr int kTries = 3;
Run RunOnce(Kind* kind) {
  Run run;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    const int n = kind->runs++;
    run = (g_road->*kind->run)(n);
    if (run.error.empty()) break;
    std::fprintf(stderr, "road_latency: %s run %d failed: %s (%s)\n", kind->name, n,
                 run.error.c_str(), g_road->Diagnosis().c_str());
    ++Failures()[kind->name];
    g_road->Recover();
  }
  return run;
}

void RunKind(benchmark::State& state, Kind* kind) {
  if (!kind->warmed) {
    const Run warm = RunOnce(kind);
    if (!warm.error.empty()) {
      state.SkipWithError(warm.error.c_str());
      return;
    }
    kind->warmed = true;
  }
  for (auto _ : state) {
    const Run run = RunOnce(kind);
    if (!run.error.empty()) {
      state.SkipWithError(run.error.c_str());
      break;
    }
    state.SetIterationTime(run.ms[0] / 1000);
    for (size_t i = 0; i < kind->figures.size(); ++i) {
      if (i > 0) state.counters[std::string(kind->figures[i]) + "_ms"] = run.ms[i];
      Figures()[kind->figures[i]].push_back(run.ms[i]);
    }
  }
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t mid = v.size() / 2;
  return v.size() % 2 == 1 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

std::string LoadAverage() {
  std::string load = ReadFileBytes("/proc/loadavg");
  return load.substr(0, load.find(' '));
}

// The medians and the ratios, with their goals; false when a figure is
// missing.
bool PrintTable(const std::string& load_before) {
  std::map<std::string, std::vector<double>>& f = Figures();
  const std::pair<const char*, const char*> rows[] = {
      {"capture_to_disk", "capture: hot key -> card row on disk"},
      {"capture_clipboard_back", "capture: hot key -> user's clipboard back"},
      {"own_copy", "mousepad's Ctrl+C -> text readable"},
      {"own_copy_owner", "mousepad's Ctrl+C -> owner change"},
      {"popup_paste", "popup paste: Enter -> text in mousepad"},
      {"super_key", "super key -> text in mousepad"},
      {"own_paste", "mousepad's Ctrl+V -> text in mousepad"},
  };
  std::printf("\nroad latency, medians in ms (load average %s before, %s after; %d cores)\n",
              load_before.c_str(), LoadAverage().c_str(),
              static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)));
  bool complete = true;
  for (const auto& [name, count] : Failures()) {
    std::printf("  %s: %d tries failed and were run again (told above)\n", name.c_str(), count);
  }
  for (const auto& [key, label] : rows) {
    if (f[key].empty()) {
      std::printf("  %-44s   -\n", label);
      complete = false;
    } else {
      std::printf("  %-44s %8.1f  (%zu runs, %.1f to %.1f)\n", label, Median(f[key]),
                  f[key].size(), *std::min_element(f[key].begin(), f[key].end()),
                  *std::max_element(f[key].begin(), f[key].end()));
    }
  }
  struct Ratio {
    const char* label;
    const char* of;
    const char* to;
    double goal;
  };
  const Ratio ratios[] = {
      {"capture / own copy", "capture_to_disk", "own_copy", 3},
      {"clipboard back / own copy", "capture_clipboard_back", "own_copy", 6},
      {"popup paste / own paste", "popup_paste", "own_paste", 2},
      {"super key / own paste", "super_key", "own_paste", 2},
  };
  std::printf("ratios of the medians\n");
  for (const Ratio& r : ratios) {
    if (f[r.of].empty() || f[r.to].empty()) {
      std::printf("  %-28s    -   goal <= %.0f\n", r.label, r.goal);
      continue;
    }
    const double ratio = Median(f[r.of]) / Median(f[r.to]);
    std::printf("  %-28s %6.2f   goal <= %.0f   %s\n", r.label, ratio, r.goal,
                ratio <= r.goal ? "met" : "MISSED");
  }
  return complete;
}

}  // namespace
}  // namespace quill

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "road_latency: needs DISPLAY (run bench/road_latency.sh)\n");
    return 2;
  }
  const char* runs_env = std::getenv("QUILL_ROAD_RUNS");
  const int runs = runs_env != nullptr ? std::max(1, std::atoi(runs_env)) : 20;
  const std::string load_before = quill::LoadAverage();

  quill::Road road;
  const std::string started = road.Start();
  if (!started.empty()) {
    std::fprintf(stderr, "road_latency: %s\n", started.c_str());
    return 1;
  }
  quill::g_road = &road;

  using quill::Kind;
  using quill::Road;
  static Kind kinds[] = {
      {"capture", &Road::Capture, {"capture_to_disk", "capture_clipboard_back"}},
      {"own_copy", &Road::OwnCopy, {"own_copy", "own_copy_owner"}},
      {"popup_paste", &Road::PopupPaste, {"popup_paste"}},
      {"super_key", &Road::SuperKey, {"super_key"}},
      {"own_paste", &Road::OwnPaste, {"own_paste"}},
  };
  for (Kind& kind : kinds) {
    benchmark::RegisterBenchmark(kind.name, quill::RunKind, &kind)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(runs)
        ->DisplayAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const bool complete = quill::PrintTable(load_before);

  const std::string stopped = road.Stop();
  if (!stopped.empty()) std::fprintf(stderr, "road_latency: %s\n", stopped.c_str());
  return complete && stopped.empty() ? 0 : 1;
}
