// Status: the result of an operation that can fail, carried as a value.
//
// An ok Status has code kOk and no message. A failed one carries a code
// that callers may branch on and a message meant for a person, in UTF-8
// (user-facing texts of the program are UTF-8 in the source; card data
// is CP932 bytes). A failure of the record engine also carries the
// engine's own code for it, which says which step failed.
#pragma once

#include <string>
#include <utility>

namespace quill {

class Status {
 public:
  enum Code {
    kOk = 0,
    kNotFound,       // the file or entry does not exist
    kPermission,     // exists but may not be opened or changed
    kIoError,        // read or write failed, or moved fewer bytes than asked
    kNoSpace,        // the disk is full
    kCorrupt,        // the bytes do not have the expected layout
    kInvalid,        // the request itself is wrong (bad argument, bad state)
    kOutOfRange,     // a row or position beyond the end
    kDuplicate,      // a unique key exists already
    kFatal,          // an impossible state: the program shows the message and ends
  };

  Status() = default;
  static Status Ok() { return Status(); }
  static Status NotFound(std::string m) { return Status(kNotFound, std::move(m)); }
  static Status Permission(std::string m) { return Status(kPermission, std::move(m)); }
  static Status IoError(std::string m) { return Status(kIoError, std::move(m)); }
  static Status NoSpace(std::string m) { return Status(kNoSpace, std::move(m)); }
  static Status Corrupt(std::string m) { return Status(kCorrupt, std::move(m)); }
  static Status Invalid(std::string m) { return Status(kInvalid, std::move(m)); }
  static Status OutOfRange(std::string m) { return Status(kOutOfRange, std::move(m)); }
  static Status Duplicate(std::string m) { return Status(kDuplicate, std::move(m)); }
  static Status Fatal(std::string m) { return Status(kFatal, std::move(m)); }

  bool ok() const { return code_ == kOk; }
  Code code() const { return code_; }
  const std::string& message() const { return message_; }
  bool IsNotFound() const { return code_ == kNotFound; }

  // The record engine's code of this failure; 0 when none was given.
  int db_code() const { return db_code_; }
  // This status with the engine's code attached: return s.WithDbCode(12);
  Status WithDbCode(int code) const& {
    Status s = *this;
    s.db_code_ = code;
    return s;
  }
  Status WithDbCode(int code) && {
    db_code_ = code;
    return std::move(*this);
  }

  std::string ToString() const;

 private:
  Status(Code c, std::string m) : code_(c), message_(std::move(m)) {}
  Code code_ = kOk;
  int db_code_ = 0;
  std::string message_;
};

// The Status of a failed system call: "<what>: <reason>" with a code that
// follows errno (missing, permission, no space, exists, other I/O).
Status ErrnoStatus(const std::string& what, int err);

// Returns early from the enclosing function when expr is not ok.
#define QUILL_RETURN_IF_ERROR(expr)            \
  do {                                         \
    ::quill::Status quill_status_ = (expr);    \
    if (!quill_status_.ok()) return quill_status_; \
  } while (0)

}  // namespace quill
