// The start decisions of quillmain: the command-line walk, and whether this
// process becomes the running instance or hands its argument over to the
// one that runs.
//
// The running instance (the owner) holds the instance lock and the shared
// hook block. A process that finds the lock held opens the owner's block,
// writes its start argument into the block's hand-over text, posts the
// hand-over command to the owner's main window and ends with 0. A block
// whose owner has died (the lock is free) is never obeyed: the next start
// removes it and creates a fresh one.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/instance_lock.h"
#include "platform/message_bus.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/shared_memory.h"
#include "platform/status.h"

namespace quill {

struct StartArguments {
  // The last argument that is not exactly "R" or "r"; empty when there is
  // none (a start without a name must not match any data set).
  std::string start_argument;
  // Set by an argument "R" or "r": no question about clearing the settings.
  bool no_reset_prompt = false;
};

// Walks the arguments that follow the program name, in order.
StartArguments WalkArguments(const std::vector<std::string>& args);

// Where the block and the lock of this user's instance live.
struct InstanceNames {
  std::string block_name;      // shared memory name, "/didevar-<uid>"
  std::string runtime_folder;  // the lock file and the message sockets
};

// The names of this user (SharedBlockName, RuntimeFolder).
Status DefaultInstanceNames(InstanceNames* names);

// The running instance's hold on the block. Release (or the destructor)
// removes the block, unmaps it and then gives up the lock, so that the
// button bar sees the block gone and the next start becomes the owner.
class InstanceOwner {
 public:
  InstanceOwner(std::string block_name, std::unique_ptr<InstanceLock> lock,
                std::unique_ptr<SharedMemory> memory);
  ~InstanceOwner();
  InstanceOwner(const InstanceOwner&) = delete;
  InstanceOwner& operator=(const InstanceOwner&) = delete;

  SharedHookBlock Block() const;
  Status Release();

 private:
  std::string block_name_;
  std::unique_ptr<InstanceLock> lock_;
  std::unique_ptr<SharedMemory> memory_;
};

struct InstanceStart {
  // Set when this process is now the running instance: go on starting.
  std::unique_ptr<InstanceOwner> owner;
  // Otherwise the argument has been handed over and the process ends with
  // this code.
  int exit_code = 0;
};

// The hand-over of a second instance: the start argument goes into the
// block's hand-over text (at most 79 bytes on a character boundary, then a
// NUL; nothing after the field is touched), the hand-over command (code
// 110, lParam 0) is posted to the main window named in the block, and the
// result is the exit code 0, whether or not the running instance reacts.
int HandOver(SharedHookBlock block, std::string_view start_argument, MessageBus& bus);

// Decides the role of this process (see the top of this file). Ok with
// out->owner set: this process runs as the instance, with a fresh
// zero-filled block. Ok without an owner: another instance runs and got
// the argument; end with out->exit_code. An error: there is no block to
// run with (it could not be created, or the running instance's block
// cannot be used); show its message and end with a non-zero code.
Status StartSingleInstance(const InstanceNames& names, std::string_view start_argument,
                           MessageBus& bus, InstanceStart* out);

// The exit code of a start that failed as above.
inline constexpr int kStartFailedExitCode = 1;

}  // namespace quill
