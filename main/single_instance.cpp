#include "main/single_instance.h"

#include <time.h>

#include "platform/messages.h"

namespace quill {
namespace {

// While another process holds the lock but offers no block, it is either
// still creating it or just removing it at exit; look again a few times.
constexpr int kStartAttempts = 40;
constexpr long kRetryPauseNs = 50L * 1000 * 1000;

void PauseBeforeRetry() {
  timespec t{0, kRetryPauseNs};
  while (nanosleep(&t, &t) != 0) {
  }
}

std::span<uint8_t, kSharedHookBlockSize> BlockBytes(const SharedMemory& m) {
  return std::span<uint8_t, kSharedHookBlockSize>(m.data(), kSharedHookBlockSize);
}

// The cause's code, with a message that says what the start could not do.
Status StartFailure(MessageId what, const Status& cause) {
  std::string m = MessageUtf8(what) + ": " + cause.message();
  switch (cause.code()) {
    case Status::kNotFound:
      return Status::NotFound(m);
    case Status::kPermission:
      return Status::Permission(m);
    case Status::kNoSpace:
      return Status::NoSpace(m);
    case Status::kCorrupt:
      return Status::Corrupt(m);
    case Status::kInvalid:
      return Status::Invalid(m);
    default:
      return Status::IoError(m);
  }
}

}  // namespace

StartArguments WalkArguments(const std::vector<std::string>& args) {
  StartArguments result;
  for (const std::string& a : args) {
    if (a == "R" || a == "r") {
      result.no_reset_prompt = true;
    } else {
      result.start_argument = a;
    }
  }
  return result;
}

Status DefaultInstanceNames(InstanceNames* names) {
  names->block_name = SharedBlockName();
  return RuntimeFolder(&names->runtime_folder);
}

InstanceOwner::InstanceOwner(std::string block_name, std::unique_ptr<InstanceLock> lock,
                             std::unique_ptr<SharedMemory> memory)
    : block_name_(std::move(block_name)), lock_(std::move(lock)), memory_(std::move(memory)) {}

InstanceOwner::~InstanceOwner() { Release(); }

SharedHookBlock InstanceOwner::Block() const { return SharedHookBlock(BlockBytes(*memory_)); }

Status InstanceOwner::Release() {
  if (!lock_) return Status::Ok();
  Status s = SharedMemory::Unlink(block_name_);
  memory_.reset();
  lock_.reset();
  return s;
}

int HandOver(SharedHookBlock block, std::string_view start_argument, MessageBus& bus) {
  block.SetSaveHint(start_argument);
  bus.PostMessage(block.MainWindow(), kCommandMessage,
                  static_cast<uint32_t>(CommandCode::kHandOver), 0);
  return 0;
}

Status StartSingleInstance(const InstanceNames& names, std::string_view start_argument,
                           MessageBus& bus, InstanceStart* out) {
  out->owner.reset();
  out->exit_code = kStartFailedExitCode;
  const std::string lock_path = InstanceLockPath(names.runtime_folder);
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    std::unique_ptr<InstanceLock> lock;
    Status s = InstanceLock::TryAcquire(lock_path, &lock);
    if (!s.ok()) return StartFailure(MessageId::kInstanceLockFailed, s);
    if (lock) {
      // No instance runs. A block still under the name was left by one that
      // died; it is replaced, never obeyed.
      s = SharedMemory::Unlink(names.block_name);
      if (!s.ok() && !s.IsNotFound()) {
        return StartFailure(MessageId::kStaleBlockNotRemoved, s);
      }
      std::unique_ptr<SharedMemory> memory;
      s = SharedMemory::Create(names.block_name, kSharedHookBlockSize, &memory);
      if (!s.ok()) return StartFailure(MessageId::kBlockNotCreated, s);
      SharedHookBlock(BlockBytes(*memory)).SetBarWindow(0);
      out->owner = std::make_unique<InstanceOwner>(names.block_name, std::move(lock),
                                                   std::move(memory));
      out->exit_code = 0;
      return Status::Ok();
    }
    std::unique_ptr<SharedMemory> memory;
    s = SharedMemory::Open(names.block_name, kSharedHookBlockSize, &memory);
    if (s.ok()) {
      out->exit_code = HandOver(SharedHookBlock(BlockBytes(*memory)), start_argument, bus);
      return Status::Ok();
    }
    if (!s.IsNotFound()) return StartFailure(MessageId::kRunningBlockNotOpened, s);
    PauseBeforeRetry();
  }
  return Status::IoError(MessageUtf8(MessageId::kRunningBlockMissing));
}

}  // namespace quill
