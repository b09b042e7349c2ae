// Desktop tests and benchmarks that run quillmain: a run away from the
// user's folders, a card in its data set, the main window it names in its
// block, its start, and the windows that were in front meanwhile.
#pragma once

#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <utility>

#include "platform/file_env.h"
#include "platform/headless/desktop_clients.h"
#include "platform/headless/desktop_probes.h"
#include "platform/headless/temp_dir.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/shared_memory.h"
#include "platform/text_codec.h"
#include "platform/x11/x11_window_system.h"
#include "store/card_store.h"

namespace quill {

// The folders and names of one run of quillmain, away from the user's; the
// block is named after `tag` and this process.
struct Sandbox {
  explicit Sandbox(const std::string& tag = "desktop")
      : block("/quilltest-" + tag + "-" + std::to_string(::getpid())) {
    std::filesystem::create_directories(dir.File("run"));
    std::filesystem::permissions(dir.File("run"), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    env.insert("QUILLBOX_HOME", QString::fromStdString(home));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.File("config")));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.File("run")));
    env.insert("QUILLBOX_BLOCK_NAME", QString::fromStdString(block));
    env.insert("QT_QPA_PLATFORM", "xcb");
  }
  TempDir dir;
  const std::string home = dir.File("home");
  const std::string block;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

// Writes a card titled "card" into the data set in `home` (made when
// missing): `text` in the folder `folder`, both UTF-8. Its id; "" when the
// set could not be opened or written.
inline std::string AddCardTo(const std::string& home, const std::string& folder,
                             const std::string& text) {
  std::filesystem::create_directories(home);
  store::CardStore cards(FileEnv::Default(), home + "/");
  if (!cards.Open(false, home + "/").ok()) return std::string();
  store::CardRecord card(cards);
  card.Clear();
  card.folder = Utf8ToCp932(folder);
  card.title = "card";
  card.text = Utf8ToCp932(text);
  const bool written = card.Write().ok();
  return cards.Close().ok() && written ? card.id : std::string();
}

// What `read` (a function of a const SharedHookBlock&) answers on the
// block `name`, or `missing` while there is no block; one opening of the
// shared memory for all the fields that `read` looks at.
template <typename Read, typename Value>
inline Value ReadBlock(const std::string& name, Read read, Value missing) {
  std::unique_ptr<SharedMemory> memory;
  if (!SharedMemory::Open(name, kSharedHookBlockSize, &memory).ok()) return missing;
  const SharedHookBlock block(
      std::span<uint8_t, kSharedHookBlockSize>(memory->data(), kSharedHookBlockSize));
  return read(block);
}

// A field of the block `name` (e.g. &SharedHookBlock::TargetWindow), 0
// while there is no block.
template <typename Field>
inline auto BlockFieldOf(const std::string& name, Field field) {
  using Value = decltype((std::declval<const SharedHookBlock&>().*field)());
  return ReadBlock(
      name, [field](const SharedHookBlock& block) { return (block.*field)(); }, Value{});
}

// The main window handle in the block `name`, 0 while there is none.
inline uint32_t MainWindowOf(const std::string& name) {
  return BlockFieldOf(name, &SharedHookBlock::MainWindow);
}

// Whether quillmain has put its hooks into the block `name`: it does so
// after its main window is named there, once the hook library has grabbed
// the hot keys.
inline bool HooksInstalledIn(const std::string& name) {
  return ReadBlock(
      name,
      [](const SharedHookBlock& block) {
        return block.MainWindow() != 0 && block.CbtHook().handle != 0;
      },
      false);
}

// Every value that `sample` gave while the watch ran, sampled every 10 ms
// on a thread of its own (`sample` runs only there); an empty answer is
// left out.
class ValueWatch {
 public:
  explicit ValueWatch(std::function<std::optional<unsigned long>()> sample)
      : sample_(std::move(sample)), thread_([this] { Watch(); }) {}
  ~ValueWatch() { Stop(); }
  std::set<unsigned long> Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

 private:
  void Watch() {
    while (!stop_) {
      if (const std::optional<unsigned long> value = sample_()) {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.insert(*value);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  std::function<std::optional<unsigned long>()> sample_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::set<unsigned long> seen_;
  std::thread thread_;
};

// Every window that was _NET_ACTIVE_WINDOW while it ran.
class ActiveWatch : public ValueWatch {
 public:
  ActiveWatch()
      : ValueWatch([x = std::shared_ptr<X11WindowSystem>(X11WindowSystem::Open())]()
                       -> std::optional<unsigned long> {
          if (x == nullptr) return std::nullopt;
          const WindowHandle active = x->ActiveWindow();
          if (active == 0) return std::nullopt;
          return active;
        }) {}
};

// Every value a field of the block `name` had while it ran, e.g.
// BlockWatch(block, &SharedHookBlock::LastKeyUp).
class BlockWatch : public ValueWatch {
 public:
  template <typename Field>
  BlockWatch(const std::string& name, Field field)
      : ValueWatch([memory = OpenBlock(name), field]() -> std::optional<unsigned long> {
          if (memory == nullptr) return std::nullopt;
          const SharedHookBlock block(
              std::span<uint8_t, kSharedHookBlockSize>(memory->data(), kSharedHookBlockSize));
          return static_cast<unsigned long>((block.*field)());
        }) {}

 private:
  static std::shared_ptr<SharedMemory> OpenBlock(const std::string& name) {
    std::unique_ptr<SharedMemory> memory;
    if (!SharedMemory::Open(name, kSharedHookBlockSize, &memory).ok()) return nullptr;
    return memory;
  }
};

// The windows titled exactly `title`.
inline int WindowsTitled(const std::string& title) {
  const RunResult r = RunTool({"xdotool", "search", "--name", "^" + title + "$"});
  return static_cast<int>(std::count(r.out.begin(), r.out.end(), '\n'));
}

// The first window titled exactly `title`, 0 when there is none.
inline unsigned long WindowTitled(const std::string& title) {
  return std::strtoul(RunTool({"xdotool", "search", "--name", "^" + title + "$"}).out.c_str(),
                      nullptr, 10);
}

// The text of the selection `which` ("primary", "clipboard"), read with
// xclip (which asks its owner, as any application's paste does).
inline std::string XSelection(const char* which) {
  return RunTool({"xclip", "-o", "-selection", which}).out;
}

// The owner of the selection `which` ("primary", "clipboard").
inline unsigned long XSelectionOwner(const char* which) {
  return SelectionOwner(std::string(which) == "primary" ? "PRIMARY" : "CLIPBOARD");
}

// Waits until quillmain has put the selection `which` back after a paste
// or a capture (after a paste only once the target has fetched the text):
// another window than `owner`, whose selection it took, owns it and holds
// `text`.
inline bool HandedBack(const char* which, unsigned long owner, const std::string& text) {
  return WaitFor(
      [&] {
        const unsigned long now = XSelectionOwner(which);
        return now != 0 && now != owner && XSelection(which) == text;
      },
      20000);
}

#ifdef QUILLMAIN_PATH
// Starts the built quillmain ("R": no question about resetting) in `env`,
// its output on ours, or its log (stderr) in the file `log` when one is
// named.
inline void StartQuillmain(QProcess& quillmain, const QProcessEnvironment& env,
                           const std::string& log = std::string()) {
  quillmain.setProcessEnvironment(env);
  if (log.empty()) {
    quillmain.setProcessChannelMode(QProcess::ForwardedChannels);
  } else {
    quillmain.setStandardOutputFile(QProcess::nullDevice());
    quillmain.setStandardErrorFile(QString::fromStdString(log));
  }
  quillmain.start(QUILLMAIN_PATH, {"R"});
}
#endif

}  // namespace quill
