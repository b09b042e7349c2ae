// MessageBus: posted window messages between the windows of our programs.
//
// A window is named by a 32-bit handle. PostMessage queues a message for
// it and returns at once; nothing is ever sent synchronously and no sender
// waits for an answer. A message to a window that does not exist (or
// whose queue is full) is dropped without effect, as on the desktop the
// design comes from.
//
// The real transport is one datagram socket per window in the user's
// run-time folder, named "win-" and the handle as eight hex digits. It
// works the same with and without a display, between processes and
// within one. Each datagram is 16 bytes, little-endian:
//
//   0  4  magic "QBM1"
//   4  4  message
//   8  4  wParam
//  12  4  lParam (signed)
//
// Handles: on the desktop our windows may use their X window ids, whose
// top three bits are always zero. AllocateWindowHandle gives handles with
// the top bit set instead (0x80000000 | pid << 8 | sequence), which can
// never collide with an X window id, nor with a live window of another of
// our processes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace quill {

using WindowHandle = uint32_t;

struct Message {
  WindowHandle window = 0;
  uint32_t message = 0;
  uint32_t wparam = 0;
  int32_t lparam = 0;
  bool operator==(const Message&) const = default;
};

class MessageBus {
 public:
  virtual ~MessageBus() = default;
  // Queues the message for the window. True when it was queued, false when
  // it was dropped (no such window, queue full); callers need not check.
  virtual bool PostMessage(WindowHandle window, uint32_t message, uint32_t wparam,
                           int32_t lparam) = 0;
};

// A window's end of the socket transport: the socket that receives its
// messages. Watch fd() in an event loop (it becomes readable when a
// message is queued) and call Receive until it returns false, or wait with
// Poll in plain code.
class MessageReceiver {
 public:
  // Opens the socket of `window` in `folder`. A socket file left by a
  // process that has ended is replaced; one of a live window fails with
  // kDuplicate.
  static Status Open(const std::string& folder, WindowHandle window,
                     std::unique_ptr<MessageReceiver>* out);
  ~MessageReceiver();  // closes the socket and removes its file
  MessageReceiver(const MessageReceiver&) = delete;
  MessageReceiver& operator=(const MessageReceiver&) = delete;

  WindowHandle window() const { return window_; }
  int fd() const { return fd_; }
  // Takes the next message without waiting; false when none is queued.
  // Datagrams that are not messages are discarded.
  bool Receive(Message* msg);
  // Waits until a message is queued, at most timeout_ms (negative: no
  // limit). True when one is ready.
  bool Poll(int timeout_ms);

 private:
  MessageReceiver(std::string path, WindowHandle window, int fd, uint64_t inode)
      : path_(std::move(path)), window_(window), fd_(fd), inode_(inode) {}
  std::string path_;
  WindowHandle window_;
  int fd_;
  uint64_t inode_;
};

// Posts through the sockets in one run-time folder.
class SocketMessageBus final : public MessageBus {
 public:
  explicit SocketMessageBus(std::string folder);
  ~SocketMessageBus() override;
  SocketMessageBus(const SocketMessageBus&) = delete;
  SocketMessageBus& operator=(const SocketMessageBus&) = delete;

  bool PostMessage(WindowHandle window, uint32_t message, uint32_t wparam,
                   int32_t lparam) override;

 private:
  std::string folder_;
  int fd_ = -1;
};

// The socket file of a window in a run-time folder.
std::string WindowSocketPath(const std::string& folder, WindowHandle window);

// A fresh handle for a window of this process (see above).
WindowHandle AllocateWindowHandle();

}  // namespace quill
