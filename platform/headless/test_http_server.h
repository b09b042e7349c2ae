// TestHttpServer: a small HTTP/1.1 server on 127.0.0.1 for tests, on a
// thread of its own. Paths answer with a body (with its length or
// without), a status, a redirect, or never (the connection stays open and
// silent until the server stops).
// Every request is recorded with its Referer header.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quill {

class TestHttpServer {
 public:
  struct Route {
    int status = 200;
    std::string body;
    std::string location;  // a redirect's target
    bool never_answers = false;
    bool no_length = false;  // no Content-Length: the body ends with the connection
    std::string content_type = "application/octet-stream";

    // `body` with `status` and its length.
    static Route Answer(int status, std::string body) {
      Route route;
      route.status = status;
      route.body = std::move(body);
      return route;
    }
    // A 302 to `location`.
    static Route Redirect(std::string location) {
      Route route;
      route.status = 302;
      route.location = std::move(location);
      return route;
    }
  };
  struct Seen {
    std::string path;
    std::string referer;
  };

  TestHttpServer();
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  bool ok() const { return listener_ >= 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path.
  std::string Url(const std::string& path) const;
  void Add(const std::string& path, Route route);
  std::vector<Seen> requests();

 private:
  void Serve();
  void Answer(int fd);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, Route> routes_;
  std::vector<Seen> seen_;
  std::vector<std::thread> handlers_;
  std::thread thread_;
};

}  // namespace quill
