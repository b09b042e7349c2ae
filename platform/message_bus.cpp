#include "platform/message_bus.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quill {
namespace {

constexpr size_t kDatagramSize = 16;
constexpr char kMagic[4] = {'Q', 'B', 'M', '1'};

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool MakeAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof(addr->sun_path)) return false;
  std::memcpy(addr->sun_path, path.data(), path.size());
  return true;
}

// True when a live socket answers at the address.
bool SomeoneListens(const sockaddr_un& addr) {
  int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return true;  // cannot tell: do not take the name away
  bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0 ||
              errno != ECONNREFUSED;
  ::close(probe);
  return live;
}

uint64_t InodeOf(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_ino) : 0;
}

}  // namespace

std::string WindowSocketPath(const std::string& folder, WindowHandle window) {
  char name[16];
  std::snprintf(name, sizeof(name), "win-%08x", static_cast<unsigned>(window));
  return folder + "/" + name;
}

WindowHandle AllocateWindowHandle() {
  static std::atomic<uint32_t> sequence{0};
  uint32_t pid = static_cast<uint32_t>(::getpid()) & 0x3FFFFF;
  return 0x80000000u | pid << 8 | (sequence.fetch_add(1) & 0xFF);
}

Status MessageReceiver::Open(const std::string& folder, WindowHandle window,
                             std::unique_ptr<MessageReceiver>* out) {
  out->reset();
  if (window == 0) return Status::Invalid("window handle 0");
  std::string path = WindowSocketPath(folder, window);
  sockaddr_un addr;
  if (!MakeAddress(path, &addr)) return Status::Invalid("socket path too long: " + path);
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return ErrnoStatus("create socket", errno);
  const auto* sa = reinterpret_cast<const sockaddr*>(&addr);
  if (::bind(fd, sa, sizeof(addr)) != 0) {
    int err = errno;
    if (err == EADDRINUSE && !SomeoneListens(addr)) {
      // Left by a process that has ended.
      ::unlink(path.c_str());
      if (::bind(fd, sa, sizeof(addr)) == 0) err = 0;
      else err = errno;
    }
    if (err != 0) {
      ::close(fd);
      if (err == EADDRINUSE) return Status::Duplicate("window " + path + " is in use");
      return ErrnoStatus("bind " + path, err);
    }
  }
  out->reset(new MessageReceiver(path, window, fd, InodeOf(path)));
  return Status::Ok();
}

MessageReceiver::~MessageReceiver() {
  ::close(fd_);
  // Remove the file only while it is still ours.
  if (InodeOf(path_) == inode_) ::unlink(path_.c_str());
}

bool MessageReceiver::Receive(Message* msg) {
  uint8_t buf[64];
  while (true) {
    ssize_t n = ::recv(fd_, buf, sizeof(buf), MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (static_cast<size_t>(n) != kDatagramSize || std::memcmp(buf, kMagic, 4) != 0) continue;
    msg->window = window_;
    msg->message = Get32(buf + 4);
    msg->wparam = Get32(buf + 8);
    msg->lparam = static_cast<int32_t>(Get32(buf + 12));
    return true;
  }
}

bool MessageReceiver::Poll(int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  while (true) {
    int r = ::poll(&p, 1, timeout_ms);
    if (r < 0 && errno == EINTR) continue;
    return r > 0 && (p.revents & POLLIN) != 0;
  }
}

SocketMessageBus::SocketMessageBus(std::string folder) : folder_(std::move(folder)) {}

SocketMessageBus::~SocketMessageBus() {
  if (fd_ >= 0) ::close(fd_);
}

bool SocketMessageBus::PostMessage(WindowHandle window, uint32_t message, uint32_t wparam,
                                   int32_t lparam) {
  if (window == 0) return false;
  sockaddr_un addr;
  if (!MakeAddress(WindowSocketPath(folder_, window), &addr)) return false;
  if (fd_ < 0) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
  }
  uint8_t buf[kDatagramSize];
  std::memcpy(buf, kMagic, 4);
  Put32(buf + 4, message);
  Put32(buf + 8, wparam);
  Put32(buf + 12, static_cast<uint32_t>(lparam));
  while (true) {
    ssize_t n = ::sendto(fd_, buf, sizeof(buf), MSG_DONTWAIT | MSG_NOSIGNAL,
                         reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    if (n < 0 && errno == EINTR) continue;
    // ENOENT / ECONNREFUSED: no such window; EAGAIN: its queue is full.
    return n == static_cast<ssize_t>(sizeof(buf));
  }
}

}  // namespace quill
