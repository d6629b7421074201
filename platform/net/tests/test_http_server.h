// A small HTTP server for the tests: listens on 127.0.0.1 at a free port,
// answers each GET from a table of paths, keeps a log of the paths asked for.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace net::test {

struct Reply {
  std::string head;  // status line and headers, without the blank line
  std::string body;  // sent after the blank line
  bool stall = false; // after the body, keep the connection open until stopped
};

inline Reply Ok(const std::string& body) {
  return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
              "\r\nConnection: close",
          body};
}

class TestHttpServer {
public:
  TestHttpServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd_, 16);
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~TestHttpServer() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }

  void Route(const std::string& path, Reply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = std::move(reply);
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::vector<std::string> Log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }

private:
  void Run() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0)
        continue;
      int client = ::accept(fd_, nullptr, nullptr);
      if (client >= 0)
        Serve(client);
    }
  }

  void Serve(int client) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && !stop_) {
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0)
        continue;
      ssize_t n = ::recv(client, buf, sizeof buf, 0);
      if (n <= 0)
        break;
      request.append(buf, static_cast<size_t>(n));
    }
    size_t sp1 = request.find(' ');
    size_t sp2 = request.find(' ', sp1 + 1);
    std::string path = sp1 == std::string::npos ? "" : request.substr(sp1 + 1, sp2 - sp1 - 1);
    Reply reply{"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close", "not found"};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      log_.push_back(path);
      auto it = routes_.find(path);
      if (it != routes_.end())
        reply = it->second;
    }
    std::string out = reply.head + "\r\n\r\n" + reply.body;
    for (size_t sent = 0; sent < out.size();) {
      ssize_t n = ::send(client, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
      if (n <= 0)
        break;
      sent += static_cast<size_t>(n);
    }
    // A stalled reply ends when the client hangs up or the server stops.
    while (reply.stall && !stop_) {
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, 10) > 0 && ::recv(client, buf, sizeof buf, 0) <= 0)
        break;
    }
    ::close(client);
  }

  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, Reply> routes_;
  std::vector<std::string> log_;
  std::thread thread_;
};

} // namespace net::test
