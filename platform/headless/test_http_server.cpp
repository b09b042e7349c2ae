#include "platform/headless/test_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>

#include <chrono>

namespace quill {

namespace {

std::string HeaderValue(const std::string& head, const std::string& name) {
  size_t at = 0;
  while ((at = head.find("\r\n", at)) != std::string::npos) {
    at += 2;
    if (head.size() - at >= name.size() + 1 &&
        strncasecmp(head.c_str() + at, name.c_str(), name.size()) == 0 &&
        head[at + name.size()] == ':') {
      size_t v = at + name.size() + 1;
      while (v < head.size() && head[v] == ' ') ++v;
      return head.substr(v, head.find("\r\n", v) - v);
    }
  }
  return std::string();
}

void SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;  // the client went away
    sent += static_cast<size_t>(n);
  }
}

}  // namespace

TestHttpServer::TestHttpServer() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return;
  }
  listener_ = fd;
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

TestHttpServer::~TestHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  for (std::thread& t : handlers_) t.join();
  if (listener_ >= 0) ::close(listener_);
}

std::string TestHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestHttpServer::Add(const std::string& path, Route route) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(route);
}

std::vector<TestHttpServer::Seen> TestHttpServer::requests() {
  std::lock_guard lock(mutex_);
  return seen_;
}

void TestHttpServer::Serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    handlers_.emplace_back([this, fd] {
      Answer(fd);
      ::close(fd);
    });
  }
}

void TestHttpServer::Answer(int fd) {
  std::string head;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (head.find("\r\n\r\n") == std::string::npos && !stop_ &&
         std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buf[4096];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    head.append(buf, static_cast<size_t>(n));
  }
  const size_t sp1 = head.find(' ');
  const size_t sp2 = sp1 == std::string::npos ? sp1 : head.find(' ', sp1 + 1);
  if (sp2 == std::string::npos) return;
  const std::string path = head.substr(sp1 + 1, sp2 - sp1 - 1);
  Route route;
  bool found = false;
  {
    std::lock_guard lock(mutex_);
    seen_.push_back({path, HeaderValue(head, "Referer")});
    if (auto it = routes_.find(path); it != routes_.end()) {
      route = it->second;
      found = true;
    }
  }
  if (!found) route = Route::Answer(404, "not found");
  if (route.never_answers) {
    while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return;
  }
  std::string reply = "HTTP/1.1 " + std::to_string(route.status) + " X\r\nContent-Type: " +
                      route.content_type + "\r\nConnection: close\r\n";
  if (!route.no_length) reply += "Content-Length: " + std::to_string(route.body.size()) + "\r\n";
  if (!route.location.empty()) reply += "Location: " + route.location + "\r\n";
  SendAll(fd, reply + "\r\n" + route.body);
}

}  // namespace quill
