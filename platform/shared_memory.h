// SharedMemory: a named block of POSIX shared memory, mapped read-write.
//
// The creator makes it zero-filled at its full size; others open it by
// name. The mapping ends when the object goes away; the name stays until
// Unlink, so a process that dies without unlinking leaves the block
// behind (the instance lock tells whether its owner still runs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace quill {

class SharedMemory {
 public:
  // Creates the block `name` ("/" followed by a name without "/") with
  // `size` zero bytes, readable and writable by this user only, and maps
  // it. Fails with kDuplicate when the name exists already, and leaves no
  // block behind on any failure (the memory is reserved here, so a full
  // /dev/shm is reported now rather than as a crash on first use).
  static Status Create(const std::string& name, size_t size, std::unique_ptr<SharedMemory>* out);
  // Maps an existing block of at least `size` bytes. kNotFound when there is
  // none; kCorrupt when it is smaller; kPermission when it belongs to
  // another user.
  static Status Open(const std::string& name, size_t size, std::unique_ptr<SharedMemory>* out);
  // Removes the name; processes that have it mapped keep their mapping.
  // kNotFound when there is no such block.
  static Status Unlink(const std::string& name);

  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  const std::string& name() const { return name_; }

 private:
  SharedMemory(std::string name, uint8_t* data, size_t size)
      : name_(std::move(name)), data_(data), size_(size) {}
  std::string name_;
  uint8_t* data_;
  size_t size_;
};

// The name of the shared hook block of this user: "/didevar-<uid>", or the
// value of QUILLBOX_BLOCK_NAME when that is set (tests run side by side
// with their own blocks; quillmain, the bar and the hooks all read it).
std::string SharedBlockName();

}  // namespace quill
