#include "main/exchange/replacing_file.h"

namespace quill {

namespace {
constexpr size_t kFlushBytes = 1 << 20;
}  // namespace

ReplacingFile::ReplacingFile(FileEnv& env, std::string path)
    : env_(env), path_(std::move(path)) {}

ReplacingFile::~ReplacingFile() { Abandon(); }

Status ReplacingFile::Open() {
  status_ = env_.CreateTempBeside(path_, &file_, &temp_);
  if (status_.ok()) status_ = file_->SetMode(env_.ReplacementMode(path_));
  if (!status_.ok() && file_ != nullptr) {
    (void)file_->Close();
    (void)env_.Remove(temp_);
  }
  if (!status_.ok()) file_.reset();
  return status_;
}

void ReplacingFile::Append(std::string_view bytes) {
  if (!status_.ok() || file_ == nullptr) return;
  buffer_.append(bytes);
  if (buffer_.size() >= kFlushBytes) Flush();
}

void ReplacingFile::Flush() {
  if (!status_.ok() || buffer_.empty()) return;
  status_ = file_->WriteAt(offset_, buffer_.data(), buffer_.size());
  offset_ += buffer_.size();
  buffer_.clear();
}

Status ReplacingFile::Commit() {
  if (file_ == nullptr) {
    if (status_.ok()) status_ = Status::Invalid("the file was not opened");
    return status_;
  }
  Flush();
  if (status_.ok()) status_ = file_->Sync();
  Status closed = file_->Close();
  file_.reset();
  if (status_.ok()) status_ = closed;
  if (status_.ok()) status_ = env_.Rename(temp_, path_);
  if (!status_.ok()) env_.Remove(temp_);
  return status_;
}

void ReplacingFile::Abandon() {
  if (file_ == nullptr) return;
  file_->Close();
  file_.reset();
  env_.Remove(temp_);
  if (status_.ok()) status_ = Status::Invalid("abandoned");
}

}  // namespace quill
