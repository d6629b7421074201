// The session's window folder and this process's place in it. Every process
// with windows owns one or more slots (the high bits of its handles) and
// listens on "<slot>.sock" in <runtime>/win; further slots of the same
// process are symbolic links to its first socket. A socket nobody listens on
// any more belongs to a dead process: connecting fails at once, and whoever
// notices removes it. A counter file, locked while a slot is taken, hands
// the slots out; there is no daemon.
//
// Each thread talks to another process over connections of its own, so the
// answers to what it sent come back to it directly; the other process's
// reader thread queues the messages for the threads that own the windows.
#include "platform/win/internal.h"
#include "platform/win/timer.h"

#include "platform/sys/runtime.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

namespace win::detail {
namespace {

constexpr int kQueryTimeoutMs = 500;
constexpr int kReplyWriteTimeoutMs = 1000;
constexpr size_t kReadChunk = 64 * 1024;

static_assert(wire::kHeaderSize == 4 + 2 + 2 + 4 * 4 + 8 * 3);

// The session's window folder, fixed for the life of the process.
const std::string& WindowDir() {
  static const std::string dir = [] {
    std::string base = sys::RuntimeDir();
    if (base.empty())
      return std::string();
    std::string d = base + "/win";
    if (mkdir(d.c_str(), 0700) != 0 && errno != EEXIST)
      return std::string();
    struct stat st {};
    if (lstat(d.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & 077) != 0)
      return std::string();
    return d;
  }();
  return dir;
}

std::string SlotName(uint32_t slot) {
  return std::to_string(slot) + ".sock";
}
std::string SlotPath(uint32_t slot) {
  return WindowDir() + "/" + SlotName(slot);
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path)
    return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

void SetNonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// A connected, non-blocking socket to a slot's process, or -1 when nobody
// listens there.
int ConnectSlot(uint32_t slot) {
  if (WindowDir().empty())
    return -1;
  sockaddr_un addr;
  if (!FillAddress(SlotPath(slot), addr))
    return -1;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(fd);
    return -1;
  }
  SetNonBlocking(fd);
  return fd;
}

bool SlotAlive(uint32_t slot) {
  int fd = ConnectSlot(slot);
  if (fd < 0)
    return false;
  ::close(fd);
  return true;
}

int MsLeft(const Deadline& deadline) {
  if (!deadline)
    return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
  if (left.count() <= 0)
    return 0;
  return static_cast<int>(std::min<int64_t>(left.count() + 1, INT_MAX));
}

// Writes the whole header and payload; false on error or past the deadline.
bool WriteFrame(int fd, const wire::Header& header, const void* payload, size_t size,
                const Deadline& deadline) {
  uint8_t head[wire::kHeaderSize];
  wire::EncodeHeader(header, head);
  iovec iov[2] = {{head, sizeof head}, {const_cast<void*>(payload), size}};
  int count = size ? 2 : 1;
  size_t total = sizeof head + size, sent = 0;
  while (sent < total) {
    msghdr msg{};
    iovec rest[2];
    int n = 0;
    size_t skip = sent;
    for (int i = 0; i < count; ++i) {
      if (skip >= iov[i].iov_len) {
        skip -= iov[i].iov_len;
        continue;
      }
      rest[n].iov_base = static_cast<uint8_t*>(iov[i].iov_base) + skip;
      rest[n].iov_len = iov[i].iov_len - skip;
      skip = 0;
      ++n;
    }
    msg.msg_iov = rest;
    msg.msg_iovlen = n;
    ssize_t w = sendmsg(fd, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (w > 0) {
      sent += static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR)
      continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int timeout = MsLeft(deadline);
      if (timeout == 0)
        return false;
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, timeout) < 0 && errno != EINTR)
        return false;
      if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
        return false;
      continue;
    }
    return false;
  }
  return true;
}

// Reads what the socket holds into buf; false at the end of the stream or
// on an error.
bool ReadAvailable(int fd, std::vector<uint8_t>& buf) {
  for (;;) {
    size_t used = buf.size();
    buf.resize(used + kReadChunk);
    ssize_t r = recv(fd, buf.data() + used, kReadChunk, 0);
    if (r > 0) {
      buf.resize(used + static_cast<size_t>(r));
      if (static_cast<size_t>(r) < kReadChunk)
        return true;
      continue;
    }
    buf.resize(used);
    if (r == 0)
      return false;
    if (errno == EINTR)
      continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

struct Frame {
  wire::Header header;
  std::vector<uint8_t> payload;
};

// CLOCK_MONOTONIC in nanoseconds, the clock the real time source runs on.
int64_t MonotonicNowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

// Takes the complete frames off the front of buf; false for a malformed one.
template <typename F> bool TakeFrames(std::vector<uint8_t>& buf, F&& onFrame) {
  size_t pos = 0;
  bool ok = true;
  while (buf.size() - pos >= wire::kHeaderSize) {
    auto header = wire::DecodeHeader(std::span(buf.data() + pos, wire::kHeaderSize));
    if (!header) {
      ok = false;
      break;
    }
    size_t need = wire::kHeaderSize + header->payloadSize;
    if (buf.size() - pos < need)
      break;
    Frame frame{*header, {}};
    auto* body = buf.data() + pos + wire::kHeaderSize;
    frame.payload.assign(body, body + header->payloadSize);
    pos += need;
    onFrame(frame);
  }
  buf.erase(buf.begin(), buf.begin() + static_cast<ptrdiff_t>(pos));
  return ok;
}

// ---- This process's listening side ----

struct Endpoint {
  std::mutex mu;
  std::vector<uint32_t> slots; // the first one has the socket
  uint32_t nextIndex = 1;
  int listenFd = -1;
  int epollFd = -1;
  int stopFd = -1; // written at exit to end the reader thread
  std::thread reader;
  std::unordered_map<int, std::shared_ptr<ServerConn>> conns; // reader thread only
};

std::atomic<Endpoint*> gEndpoint{nullptr};

uint32_t TakeSlot() {
  std::string counterPath = WindowDir() + "/slots";
  int fd = open(counterPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0)
    return 0;
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  uint8_t raw[4] = {};
  uint32_t next = 1;
  if (pread(fd, raw, 4, 0) == 4)
    next = raw[0] | raw[1] << 8 | raw[2] << 16 | static_cast<uint32_t>(raw[3]) << 24;
  if (next == 0 || next > kMaxSlot)
    next = 1;
  uint32_t taken = 0;
  for (uint32_t tries = 0; tries < kMaxSlot && !taken; ++tries) {
    uint32_t slot = next;
    next = slot % kMaxSlot + 1;
    std::string path = SlotPath(slot);
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
      if (SlotAlive(slot))
        continue;
      unlink(path.c_str());
    }
    taken = slot;
  }
  for (int i = 0; i < 4; ++i)
    raw[i] = static_cast<uint8_t>(next >> (8 * i));
  if (pwrite(fd, raw, 4, 0) != 4)
    taken = 0;
  flock(fd, LOCK_UN);
  ::close(fd);
  return taken;
}

// Binds under a private name first, so that nobody sees the socket before it
// listens and takes it for a dead one.
int Listen(uint32_t slot) {
  std::string temp = WindowDir() + "/." + std::to_string(slot) + "." + std::to_string(getpid());
  sockaddr_un addr;
  if (!FillAddress(temp, addr) || !FillAddress(SlotPath(slot), addr) || !FillAddress(temp, addr)) {
    std::fprintf(stderr, "win: the window folder's path is too long: %s\n", WindowDir().c_str());
    return -1;
  }
  unlink(temp.c_str());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return -1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 128) != 0 ||
      rename(temp.c_str(), SlotPath(slot).c_str()) != 0) {
    std::perror("win: window socket");
    unlink(temp.c_str());
    ::close(fd);
    return -1;
  }
  return fd;
}

// At exit: nobody finds this process's sockets any more, and the reader
// thread ends.
void CloseEndpoint() {
  Endpoint* ep = gEndpoint.load();
  if (!ep)
    return;
  {
    std::lock_guard lock(ep->mu);
    for (uint32_t slot : ep->slots)
      unlink(SlotPath(slot).c_str());
  }
  uint64_t one = 1;
  if (ep->reader.joinable() && ::write(ep->stopFd, &one, sizeof one) == sizeof one)
    ep->reader.join();
}

void HandleFrame(const std::shared_ptr<ServerConn>& conn, Frame& frame, int64_t receivedNs);
void ReaderLoop(Endpoint* ep);

} // namespace

struct ServerConn {
  explicit ServerConn(int f) : fd(f) {}
  ~ServerConn() { ::close(fd); }
  void Write(const wire::Header& header, const void* payload, size_t size) {
    if (dead.load())
      return;
    std::lock_guard lock(writeMu);
    auto deadline = Clock::now() + std::chrono::milliseconds(kReplyWriteTimeoutMs);
    // A sender that stopped reading has given up on its answers.
    if (!WriteFrame(fd, header, payload, size, deadline))
      dead = true;
  }

  const int fd;
  std::mutex writeMu;
  std::atomic<bool> dead{false};
  std::vector<uint8_t> in; // reader thread only
};

void ReplyRemote(ServerConn& conn, uint32_t requestId, bool delivered, LResult result) {
  wire::Header h;
  h.kind = wire::Kind::Reply;
  h.requestId = requestId;
  h.flags = delivered ? wire::kDelivered : 0;
  h.aux = static_cast<uint64_t>(result);
  conn.Write(h, nullptr, 0);
}

namespace {

void HandleFrame(const std::shared_ptr<ServerConn>& conn, Frame& frame, int64_t receivedNs) {
  const wire::Header& in = frame.header;
  switch (in.kind) {
  case wire::Kind::Send: {
    IncomingSend send;
    send.hwnd = in.hwnd;
    send.message = in.message;
    send.wParam = static_cast<WParam>(in.wParam);
    send.lParam = static_cast<LParam>(in.lParam);
    if (in.flags & wire::kHasCopyData) {
      send.hasCopyData = true;
      send.copyKind = static_cast<uintptr_t>(in.aux);
      send.bytes = std::move(frame.payload);
    }
    send.remote = conn;
    send.requestId = in.requestId;
    send.receivedNs = receivedNs;
    auto rec = Reg().Lookup(in.hwnd);
    if (!rec || !rec->queue->PushSend(std::move(send)))
      ReplyRemote(*conn, in.requestId, false, 0);
    return;
  }
  case wire::Kind::Post: {
    if (in.message == WM_COPYDATA)
      return;
    if (auto rec = Reg().Lookup(in.hwnd))
      rec->queue->Post(Msg{in.hwnd, in.message, static_cast<WParam>(in.wParam),
                           static_cast<LParam>(in.lParam), static_cast<uint32_t>(TimerNowMs())});
    return;
  }
  case wire::Kind::Find: {
    wire::Header out;
    out.kind = wire::Kind::FindReply;
    out.requestId = in.requestId;
    if (auto texts = wire::DecodeTexts(frame.payload)) {
      FindHit hit = Reg().FindLocal(in.hwnd, texts->first, texts->second);
      out.hwnd = hit.hwnd;
      out.aux = hit.createdNs;
    }
    conn->Write(out, nullptr, 0);
    return;
  }
  case wire::Kind::Describe: {
    wire::Header out;
    out.kind = wire::Kind::Description;
    out.requestId = in.requestId;
    std::vector<uint8_t> payload;
    if (auto d = Reg().Describe(in.hwnd)) {
      out.flags = wire::kDelivered;
      out.hwnd = in.hwnd;
      out.wParam = d->parent;
      out.lParam = d->pid;
      out.aux = d->style;
      payload = wire::EncodeTexts(d->className, d->title);
    }
    out.payloadSize = static_cast<uint32_t>(payload.size());
    conn->Write(out, payload.data(), payload.size());
    return;
  }
  default:
    return;
  }
}

void ReaderLoop(Endpoint* ep) {
  epoll_event events[64];
  for (;;) {
    int n = epoll_wait(ep->epollFd, events, 64, -1);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      std::perror("win: epoll_wait");
      return;
    }
    for (int i = 0; i < n; ++i) {
      int fd = events[i].data.fd;
      if (fd == ep->stopFd)
        return;
      if (fd == ep->listenFd) {
        for (;;) {
          int c = accept4(ep->listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
          if (c < 0)
            break;
          auto conn = std::make_shared<ServerConn>(c);
          epoll_event ev{};
          ev.events = EPOLLIN | EPOLLRDHUP;
          ev.data.fd = c;
          if (epoll_ctl(ep->epollFd, EPOLL_CTL_ADD, c, &ev) == 0)
            ep->conns.emplace(c, std::move(conn));
        }
        continue;
      }
      auto it = ep->conns.find(fd);
      if (it == ep->conns.end())
        continue;
      std::shared_ptr<ServerConn> conn = it->second;
      bool open = ReadAvailable(fd, conn->in);
      const int64_t receivedNs = MonotonicNowNs();
      bool wellFormed = TakeFrames(conn->in, [&](Frame& f) { HandleFrame(conn, f, receivedNs); });
      if (!open || !wellFormed) {
        // The descriptor stays open until the last queued answer lets go.
        epoll_ctl(ep->epollFd, EPOLL_CTL_DEL, fd, nullptr);
        conn->dead = true;
        ep->conns.erase(it);
      }
    }
  }
}

Endpoint* StartEndpoint() {
  if (WindowDir().empty()) {
    std::fprintf(stderr, "win: no usable runtime folder for the session's windows\n");
    return nullptr;
  }
  uint32_t slot = TakeSlot();
  if (!slot) {
    std::fprintf(stderr, "win: no free window slot in %s\n", WindowDir().c_str());
    return nullptr;
  }
  int listenFd = Listen(slot);
  if (listenFd < 0)
    return nullptr;
  auto* ep = new Endpoint; // lives as long as the process
  ep->slots.push_back(slot);
  ep->listenFd = listenFd;
  ep->epollFd = epoll_create1(EPOLL_CLOEXEC);
  ep->stopFd = eventfd(0, EFD_CLOEXEC);
  epoll_event listenEv{}, stopEv{};
  listenEv.events = stopEv.events = EPOLLIN;
  listenEv.data.fd = listenFd;
  stopEv.data.fd = ep->stopFd;
  if (ep->epollFd < 0 || ep->stopFd < 0 ||
      epoll_ctl(ep->epollFd, EPOLL_CTL_ADD, listenFd, &listenEv) != 0 ||
      epoll_ctl(ep->epollFd, EPOLL_CTL_ADD, ep->stopFd, &stopEv) != 0) {
    std::perror("win: epoll");
    unlink(SlotPath(slot).c_str());
    for (int fd : {listenFd, ep->epollFd, ep->stopFd})
      if (fd >= 0)
        ::close(fd);
    delete ep;
    return nullptr;
  }
  gEndpoint.store(ep);
  ep->reader = std::thread(ReaderLoop, ep);
  std::atexit(CloseEndpoint);
  return ep;
}

// ---- Connections of this thread to other processes ----

struct ClientConn {
  explicit ClientConn(int f) : fd(f) {}
  ~ClientConn() { ::close(fd); }
  const int fd;
  bool dead = false;
  uint32_t nextId = 0;
  std::vector<uint8_t> in;
  std::set<uint32_t> outstanding;
  std::map<uint32_t, Frame> arrived;
};

thread_local std::unordered_map<uint32_t, std::shared_ptr<ClientConn>> tConns;

std::shared_ptr<ClientConn> ConnFor(uint32_t slot, bool fresh = false) {
  auto it = tConns.find(slot);
  if (it != tConns.end()) {
    if (!it->second->dead && !fresh)
      return it->second;
    tConns.erase(it);
  }
  int fd = ConnectSlot(slot);
  if (fd < 0)
    return nullptr;
  auto conn = std::make_shared<ClientConn>(fd);
  tConns.emplace(slot, conn);
  return conn;
}

void ReadReplies(ClientConn& conn) {
  bool open = ReadAvailable(conn.fd, conn.in);
  bool wellFormed = TakeFrames(conn.in, [&](Frame& f) {
    if (conn.outstanding.count(f.header.requestId))
      conn.arrived[f.header.requestId] = std::move(f);
  });
  if (!open || !wellFormed)
    conn.dead = true;
}

// Sends a request frame; on a cached connection that the peer has closed,
// tries once more on a fresh one.
std::shared_ptr<ClientConn> Request(uint32_t slot, wire::Header header, const void* payload,
                                    size_t size, const Deadline& deadline, uint32_t* requestId) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto conn = ConnFor(slot, attempt > 0);
    if (!conn)
      return nullptr;
    if (++conn->nextId == 0)
      ++conn->nextId;
    header.requestId = conn->nextId;
    if (WriteFrame(conn->fd, header, payload, size, deadline)) {
      conn->outstanding.insert(header.requestId);
      *requestId = header.requestId;
      return conn;
    }
    conn->dead = true;
    if (deadline && Clock::now() >= *deadline)
      return nullptr;
  }
  return nullptr;
}

// Waits for the answer to requestId, answering messages sent to this
// thread's windows meanwhile.
std::optional<Frame> Await(ClientConn& conn, uint32_t requestId, const Deadline& deadline) {
  auto q = CurrentQueue();
  q->EnterSendWait();
  std::optional<Frame> out;
  auto spinUntil = Clock::now() + kSendSpin;
  for (;;) {
    while (q->DeliverOneSend()) {
    }
    if (auto it = conn.arrived.find(requestId); it != conn.arrived.end()) {
      out = std::move(it->second);
      conn.arrived.erase(it);
      break;
    }
    if (conn.dead)
      break;
    int timeout = MsLeft(deadline);
    if (timeout == 0)
      break;
    if (Clock::now() < spinUntil) {
      ReadReplies(conn);
      continue;
    }
    short revents = q->Wait(timeout, false, conn.fd);
    if (revents & (POLLIN | POLLHUP | POLLERR))
      ReadReplies(conn);
  }
  conn.outstanding.erase(requestId);
  q->LeaveSendWait();
  return out;
}

std::vector<uint32_t> OwnSlots() {
  std::vector<uint32_t> out;
  if (Endpoint* ep = gEndpoint.load()) {
    std::lock_guard lock(ep->mu);
    out = ep->slots;
  }
  return out;
}

// The first slot of every other live process; removes what dead ones left.
std::vector<uint32_t> PeerSlots() {
  std::vector<uint32_t> peers;
  const std::string& dir = WindowDir();
  if (dir.empty())
    return peers;
  std::vector<uint32_t> own = OwnSlots();
  DIR* d = opendir(dir.c_str());
  if (!d)
    return peers;
  while (dirent* e = readdir(d)) {
    std::string_view name = e->d_name;
    if (name.size() < 6 || name.substr(name.size() - 5) != ".sock")
      continue;
    char* end = nullptr;
    unsigned long slot = std::strtoul(e->d_name, &end, 10);
    if (end != e->d_name + name.size() - 5 || slot == 0 || slot > kMaxSlot)
      continue;
    std::string path = dir + "/" + std::string(name);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
      continue;
    if (S_ISLNK(st.st_mode)) {
      // A further slot of some process: gone with it when it dangles.
      if (stat(path.c_str(), &st) != 0 && errno == ENOENT)
        unlink(path.c_str());
      continue;
    }
    if (!S_ISSOCK(st.st_mode))
      continue;
    auto s = static_cast<uint32_t>(slot);
    if (std::find(own.begin(), own.end(), s) == own.end())
      peers.push_back(s);
  }
  closedir(d);
  return peers;
}

} // namespace

bool EnsureEndpoint() {
  static Endpoint* ep = StartEndpoint();
  return ep != nullptr;
}

Hwnd AllocateHandle() {
  Endpoint* ep = gEndpoint.load();
  if (!ep)
    return 0;
  std::lock_guard lock(ep->mu);
  if (ep->nextIndex > kMaxIndex) {
    uint32_t slot = TakeSlot();
    if (!slot || symlink(SlotName(ep->slots.front()).c_str(), SlotPath(slot).c_str()) != 0)
      return 0;
    ep->slots.push_back(slot);
    ep->nextIndex = 1;
  }
  return ep->slots.back() << kIndexBits | ep->nextIndex++;
}

bool IsLocalHandle(Hwnd h) {
  Endpoint* ep = gEndpoint.load();
  if (!ep)
    return false;
  uint32_t slot = SlotOf(h);
  std::lock_guard lock(ep->mu);
  return std::find(ep->slots.begin(), ep->slots.end(), slot) != ep->slots.end();
}

RemoteAnswer RemoteSend(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam,
                        const CopyPayload* copy, Deadline deadline) {
  wire::Header h;
  h.kind = wire::Kind::Send;
  h.hwnd = hwnd;
  h.message = message;
  h.wParam = wParam;
  h.lParam = static_cast<uint64_t>(lParam);
  const void* payload = nullptr;
  size_t size = 0;
  if (copy) {
    h.flags = wire::kHasCopyData;
    h.aux = copy->kind;
    h.payloadSize = copy->size;
    payload = copy->data;
    size = copy->size;
  }
  uint32_t id = 0;
  auto conn = Request(SlotOf(hwnd), h, payload, size, deadline, &id);
  if (!conn)
    return {};
  auto reply = Await(*conn, id, deadline);
  if (!reply || reply->header.kind != wire::Kind::Reply)
    return {};
  return {(reply->header.flags & wire::kDelivered) != 0, static_cast<LResult>(reply->header.aux)};
}

bool RemotePost(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam) {
  wire::Header h;
  h.kind = wire::Kind::Post;
  h.hwnd = hwnd;
  h.message = message;
  h.wParam = wParam;
  h.lParam = static_cast<uint64_t>(lParam);
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto conn = ConnFor(SlotOf(hwnd), attempt > 0);
    if (!conn)
      return false;
    if (WriteFrame(conn->fd, h, nullptr, 0, std::nullopt))
      return true;
    conn->dead = true;
  }
  return false;
}

std::optional<Description> RemoteDescribe(Hwnd hwnd) {
  wire::Header h;
  h.kind = wire::Kind::Describe;
  h.hwnd = hwnd;
  Deadline deadline = Clock::now() + std::chrono::milliseconds(kQueryTimeoutMs);
  uint32_t id = 0;
  auto conn = Request(SlotOf(hwnd), h, nullptr, 0, deadline, &id);
  if (!conn)
    return std::nullopt;
  auto reply = Await(*conn, id, deadline);
  if (!reply || reply->header.kind != wire::Kind::Description ||
      !(reply->header.flags & wire::kDelivered))
    return std::nullopt;
  auto texts = wire::DecodeTexts(reply->payload);
  if (!texts || !texts->first || !texts->second)
    return std::nullopt;
  return Description{static_cast<Hwnd>(reply->header.wParam),
                     static_cast<uint32_t>(reply->header.lParam),
                     static_cast<uint32_t>(reply->header.aux), *texts->first, *texts->second};
}

FindHit RemoteFind(Hwnd parent, const std::optional<std::string>& className,
                   const std::optional<std::string>& title) {
  FindHit best;
  std::vector<uint8_t> payload = wire::EncodeTexts(className, title);
  Deadline deadline = Clock::now() + std::chrono::milliseconds(kQueryTimeoutMs);
  // Ask every process first, then collect the answers.
  std::vector<std::pair<std::shared_ptr<ClientConn>, uint32_t>> asked;
  for (uint32_t slot : PeerSlots()) {
    wire::Header h;
    h.kind = wire::Kind::Find;
    h.hwnd = parent;
    h.payloadSize = static_cast<uint32_t>(payload.size());
    uint32_t id = 0;
    if (auto conn = Request(slot, h, payload.data(), payload.size(), deadline, &id)) {
      asked.emplace_back(conn, id);
    } else if (!SlotAlive(slot)) {
      unlink(SlotPath(slot).c_str());
    }
  }
  for (auto& [conn, id] : asked) {
    auto reply = Await(*conn, id, deadline);
    if (!reply || reply->header.kind != wire::Kind::FindReply || !reply->header.hwnd)
      continue;
    FindHit hit{reply->header.hwnd, reply->header.aux};
    if (!best.hwnd || hit.createdNs < best.createdNs)
      best = hit;
  }
  return best;
}

} // namespace win::detail
