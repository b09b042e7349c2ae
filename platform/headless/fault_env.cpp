#include "platform/headless/fault_env.h"

#include <algorithm>
#include <cstring>

namespace quill {

class FaultFile final : public RandomFile {
 public:
  FaultFile(FaultEnv& env, std::string path, std::unique_ptr<RandomFile> base,
            uint64_t* bytes_read)
      : env_(env), path_(std::move(path)), base_(std::move(base)), bytes_read_(bytes_read) {}

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    if (env_.io_faults_.read) {
      *got = 0;
      return Status::IoError("read: failed (injected)");
    }
    Status s = base_->ReadAt(offset, buf, n, got);
    *bytes_read_ += *got;
    if (auto it = env_.damaged_.find(path_); it != env_.damaged_.end()) {
      for (const FaultEnv::Damage& d : it->second) {
        // The damaged bytes that fall into what was read.
        const uint64_t from = std::max(offset, d.offset);
        const uint64_t to = std::min<uint64_t>(offset + *got, d.offset + d.bytes.size());
        if (from < to) {
          std::memcpy(static_cast<char*>(buf) + (from - offset), d.bytes.data() + (from - d.offset),
                      to - from);
        }
      }
    }
    return s;
  }
  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    size_t keep = 0;
    if (!env_.PassWrite(offset, n, &keep)) {
      if (keep > 0) (void)base_->WriteAt(offset, buf, keep);
      return FaultEnv::Crashed();
    }
    size_t allowed = n;
    Status fault = env_.TakeWrite(n, &allowed);
    if (allowed > 0) QUILL_RETURN_IF_ERROR(base_->WriteAt(offset, buf, allowed));
    return fault;
  }
  Status Truncate(uint64_t size) override {
    if (!env_.PassChange()) return FaultEnv::Crashed();
    if (env_.disk_full_) return Status::NoSpace("disk full (injected)");
    if (env_.io_faults_.truncate) return Status::IoError("truncate: failed (injected)");
    return base_->Truncate(size);
  }
  Status Size(uint64_t* size) override { return base_->Size(size); }
  Status Sync() override {
    if (env_.crashed()) return FaultEnv::Crashed();
    if (env_.io_faults_.sync) return Status::IoError("sync: failed (injected)");
    return base_->Sync();
  }
  Status SetMode(uint32_t mode) override {
    if (env_.crashed()) return FaultEnv::Crashed();
    return base_->SetMode(mode);
  }
  Status Close() override {
    Status s = base_->Close();
    if (s.ok() && env_.io_faults_.close) return Status::IoError("close: failed (injected)");
    return s;
  }

 private:
  FaultEnv& env_;
  std::string path_;
  std::unique_ptr<RandomFile> base_;
  uint64_t* bytes_read_;  // the env's count for this path
};

void FaultEnv::ClearFaults() {
  io_faults_ = IoFaults();
  fail_open_.clear();
  write_budget_.reset();
  disk_full_ = false;
  fail_rename_ = false;
  free_bytes_.reset();
  damaged_.clear();
}

Status FaultEnv::Open(const std::string& path, OpenMode mode,
                      std::unique_ptr<RandomFile>* file) {
  if (fail_open_.count(path)) return Status::Permission("open " + path + ": refused (injected)");
  if ((mode == OpenMode::kCreate || mode == OpenMode::kCreateTruncate ||
       mode == OpenMode::kCreateNew) &&
      !PassChange())
    return Crashed();
  std::unique_ptr<RandomFile> base;
  QUILL_RETURN_IF_ERROR(base_.Open(path, mode, &base));
  file->reset(new FaultFile(*this, path, std::move(base), &bytes_read_[path]));
  return Status::Ok();
}

Status FaultEnv::Rename(const std::string& from, const std::string& to) {
  if (!PassChange()) return Crashed();
  if (fail_rename_) return Status::IoError("rename " + from + ": refused (injected)");
  return base_.Rename(from, to);
}

Status FaultEnv::Remove(const std::string& path) {
  if (!PassChange()) return Crashed();
  if (io_faults_.remove) return Status::IoError("remove " + path + ": refused (injected)");
  return base_.Remove(path);
}

Status FaultEnv::CreateDir(const std::string& path) {
  if (!PassChange()) return Crashed();
  if (io_faults_.create_dir) return Status::IoError("create folder " + path + ": refused (injected)");
  return base_.CreateDir(path);
}

Status FaultEnv::RemoveDir(const std::string& path) {
  if (!PassChange()) return Crashed();
  if (io_faults_.remove) return Status::IoError("remove folder " + path + ": refused (injected)");
  return base_.RemoveDir(path);
}

Status FaultEnv::ListDir(const std::string& path, std::vector<std::string>* names) {
  if (io_faults_.list_dir) {
    names->clear();
    return Status::IoError("list " + path + ": refused (injected)");
  }
  return base_.ListDir(path, names);
}

Status FaultEnv::FreeBytes(const std::string& path, uint64_t* bytes) {
  if (free_bytes_) {
    *bytes = *free_bytes_;
    return Status::Ok();
  }
  return base_.FreeBytes(path, bytes);
}

Status FaultEnv::TakeWrite(size_t n, size_t* allowed) {
  if (disk_full_) {
    *allowed = 0;
    return Status::NoSpace("disk full (injected)");
  }
  if (write_budget_ && *write_budget_ < n) {
    *allowed = static_cast<size_t>(*write_budget_);
    write_budget_ = 0;
    bytes_written_ += *allowed;
    return Status::IoError("short write (injected)");
  }
  if (write_budget_) *write_budget_ -= n;
  *allowed = n;
  bytes_written_ += n;
  return Status::Ok();
}

// ---------------------------------------------------------------------------
// Simulated crash

void FaultEnv::CrashAtChange(uint64_t n, bool tear) {
  crash_at_ = changes_ + n;
  tear_ = tear;
}

bool FaultEnv::PassChange() {
  size_t keep = 0;
  return PassWrite(0, 0, &keep);
}

bool FaultEnv::PassWrite(uint64_t offset, size_t n, size_t* keep) {
  *keep = 0;
  if (crashed_) return false;
  ++changes_;
  if (crash_at_ == 0 || changes_ < crash_at_) {
    *keep = n;
    return true;
  }
  crashed_ = true;
  constexpr uint64_t kPage = 4096;
  const uint64_t to_boundary = kPage - offset % kPage;
  if (tear_ && n > to_boundary) *keep = static_cast<size_t>(to_boundary);
  return false;
}

Status FaultEnv::SyncDir(const std::string& path) {
  if (crashed_) return Crashed();
  return base_.SyncDir(path);
}

}  // namespace quill
