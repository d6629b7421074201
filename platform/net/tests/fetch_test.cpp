#include "platform/net/fetch.h"

#include "platform/net/tests/test_http_server.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using net::FetchResult;
using net::test::Ok;
using net::test::Reply;
namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Files(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Body(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

TEST(Fetch, WholeBodyReplacesTheFileByteForByte) {
  net::test::TestHttpServer server;
  sys::test::ScratchFolder dir;
  std::string body = Body(300000);
  server.Route("/song.vx3", Ok(body));
  uint64_t lastDone = 0, lastTotal = 0;
  net::FetchStatus s = net::Fetch(server.Url("/song.vx3"), dir / "song.vx3",
                                  [&](uint64_t done, uint64_t total) {
                                    lastDone = done;
                                    lastTotal = total;
                                  });
  ASSERT_EQ(s.result, FetchResult::kOk) << s.message;
  EXPECT_EQ(s.httpStatus, 200);
  EXPECT_EQ(Read(dir / "song.vx3"), body);
  EXPECT_EQ(lastDone, body.size());
  EXPECT_EQ(lastTotal, body.size());
  EXPECT_EQ(Files(dir.Path()), std::vector<std::string>{"song.vx3"});
}

TEST(Fetch, RedirectWithinHttpIsFollowed) {
  net::test::TestHttpServer server;
  sys::test::ScratchFolder dir;
  server.Route("/old", {"HTTP/1.1 302 Found\r\nLocation: /new\r\nContent-Length: 0\r\n"
                        "Connection: close", ""});
  server.Route("/new", Ok("moved"));
  net::FetchStatus s = net::Fetch(server.Url("/old"), dir / "f");
  ASSERT_EQ(s.result, FetchResult::kOk) << s.message;
  EXPECT_EQ(Read(dir / "f"), "moved");
  EXPECT_EQ(server.Log(), (std::vector<std::string>{"/old", "/new"}));
}

// Every failure leaves the old file byte-identical and no other file.
TEST(Fetch, FailuresLeaveTheOldFileAlone) {
  net::test::TestHttpServer server;
  server.Route("/cut", {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close",
                        std::string(400, 'x')});
  server.Route("/huge", {"HTTP/1.1 200 OK\r\nContent-Length: 300000000\r\nConnection: close",
                         "xx"});
  server.Route("/unsized", {"HTTP/1.1 200 OK\r\nConnection: close", std::string(5000, 'y')});
  server.Route("/tofile", {"HTTP/1.1 302 Found\r\nLocation: file:///etc/hostname\r\n"
                           "Content-Length: 0\r\nConnection: close", ""});
  server.Route("/loop", {"HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n"
                         "Connection: close", ""});
  server.Route("/error", {"HTTP/1.1 500 Oops\r\nContent-Length: 4\r\nConnection: close", "oops"});
  struct Case {
    std::string url;
    FetchResult expected;
    uint64_t maxBytes;
  } cases[] = {
      {server.Url("/missing"), FetchResult::kHttpError, 256u << 20},
      {server.Url("/error"), FetchResult::kHttpError, 256u << 20},
      {server.Url("/cut"), FetchResult::kShort, 256u << 20},
      {server.Url("/huge"), FetchResult::kTooLarge, 256u << 20},
      {server.Url("/unsized"), FetchResult::kTooLarge, 4096},
      {server.Url("/tofile"), FetchResult::kBadUrl, 256u << 20},
      {server.Url("/loop"), FetchResult::kBadUrl, 256u << 20},
      {"file:///etc/hostname", FetchResult::kBadUrl, 256u << 20},
      {"ftp://127.0.0.1/x", FetchResult::kBadUrl, 256u << 20},
      {"http://127.0.0.1:1/x", FetchResult::kTransferError, 256u << 20},
  };
  for (const Case& c : cases) {
    sys::test::ScratchFolder dir;
    std::ofstream(dir / "song.vx3", std::ios::binary) << "old song";
    net::FetchLimits limits;
    limits.maxBytes = c.maxBytes;
    net::FetchStatus s = net::Fetch(c.url, dir / "song.vx3", {}, nullptr, limits);
    EXPECT_EQ(s.result, c.expected) << c.url << ": " << s.message;
    EXPECT_EQ(Read(dir / "song.vx3"), "old song") << c.url;
    EXPECT_EQ(Files(dir.Path()), std::vector<std::string>{"song.vx3"}) << c.url;
  }
}

TEST(Fetch, CancelStopsAStalledBody) {
  net::test::TestHttpServer server;
  sys::test::ScratchFolder dir;
  server.Route("/slow", {"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close",
                         "first bytes", true});
  std::atomic<bool> cancel{false};
  // The body stalls after its first bytes; the cancel comes from another
  // thread as a dialog's Escape would.
  std::thread escape;
  net::FetchStatus s = net::Fetch(server.Url("/slow"), dir / "f", [&](uint64_t, uint64_t) {
    if (!escape.joinable())
      escape = std::thread([&] { cancel = true; });
  }, &cancel);
  escape.join();
  EXPECT_EQ(s.result, FetchResult::kCancelled);
  EXPECT_TRUE(Files(dir.Path()).empty());
}

} // namespace
