// Desktop tests that run quillmain: a run away from the user's folders, the
// main window it names in its block, and its start.
#pragma once

#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "platform/headless/temp_dir.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/shared_memory.h"

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

// The main window handle in the block `name`, 0 while there is none.
inline uint32_t MainWindowOf(const std::string& name) {
  std::unique_ptr<SharedMemory> memory;
  if (!SharedMemory::Open(name, kSharedHookBlockSize, &memory).ok()) return 0;
  return SharedHookBlock(std::span<uint8_t, kSharedHookBlockSize>(memory->data(),
                                                                 kSharedHookBlockSize))
      .MainWindow();
}

#ifdef QUILLMAIN_PATH
// Starts the built quillmain ("R": no question about resetting) in `env`,
// its output on ours.
inline void StartQuillmain(QProcess& quillmain, const QProcessEnvironment& env) {
  quillmain.setProcessEnvironment(env);
  quillmain.setProcessChannelMode(QProcess::ForwardedChannels);
  quillmain.start(QUILLMAIN_PATH, {"R"});
}
#endif

}  // namespace quill
