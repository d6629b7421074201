// The session's window folder and this process's place in it. Every process
// with windows owns one or more slots (the high bits of its handles) and
// listens on "<slot>.sock" in <runtime>/win; further slots of the same
// process are symbolic links to its first socket. A socket nobody listens on
// any more belongs to a dead process: connecting fails at once, and whoever
// notices removes it. A counter file, locked while a slot is taken, hands
// the slots out; there is no daemon.
//
// Each process also publishes the table of its windows there (see
// window_table.h): a search reads the tables of the others and never waits
// for a process, running, busy or stopped. A table whose process has died is
// removed by whoever reads it.
//
// Each thread talks to another process over connections of its own, so the
// answers to what it sent come back to it directly; the other process's
// reader thread queues the messages for the threads that own the windows.
#include "platform/win/internal.h"
#include "platform/win/timer.h"
#include "platform/win/window_table.h"

#include "platform/sys/bytes.h"
#include "platform/sys/clock.h"
#include "platform/sys/log.h"
#include "platform/sys/runtime.h"
#include "platform/sys/unique_fd.h"

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
constexpr int kPostWriteTimeoutMs = 1000;
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

// A connected, non-blocking socket to a slot's process, or -1 when nobody
// listens there, or (busy set) when its process takes no connection now: a
// stopped process whose backlog is full would hold a blocking connect for
// as long as it stays stopped.
int ConnectSlot(uint32_t slot, bool* busy = nullptr) {
  if (busy)
    *busy = false;
  if (WindowDir().empty())
    return -1;
  sockaddr_un addr;
  if (!FillAddress(SlotPath(slot), addr))
    return -1;
  sys::UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd)
    return -1;
  int rc;
  do {
    rc = connect(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    if (busy)
      *busy = errno == EAGAIN || errno == EWOULDBLOCK || errno == EINPROGRESS;
    return -1;
  }
  return fd.Release();
}

// Whether a process listens on the slot (taking connections or not).
bool SlotAlive(uint32_t slot) {
  bool busy = false;
  const sys::UniqueFd fd(ConnectSlot(slot, &busy));
  return fd ? true : busy;
}

int MsLeft(const Deadline& deadline) {
  if (!deadline)
    return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
  if (left.count() <= 0)
    return 0;
  return static_cast<int>(std::min<int64_t>(left.count() + 1, INT_MAX));
}

// Writes the whole header and payload; false on error or past the deadline
// (with *sentOut, when given, the bytes that went out before it).
bool WriteFrame(int fd, const wire::Header& header, const void* payload, size_t size,
                const Deadline& deadline, size_t* sentOut = nullptr) {
  uint8_t head[wire::kHeaderSize];
  wire::EncodeHeader(header, head);
  iovec iov[2] = {{head, sizeof head}, {const_cast<void*>(payload), size}};
  int count = size ? 2 : 1;
  size_t total = sizeof head + size, ownCount = 0;
  size_t& sent = sentOut ? *sentOut : ownCount;
  sent = 0;
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

using wire::Frame;
using wire::TakeFrames;

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
  // Closing the descriptor also releases its lock.
  const sys::UniqueFd fd(open(counterPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!fd)
    return 0;
  while (flock(fd.Get(), LOCK_EX) != 0 && errno == EINTR) {
  }
  uint8_t raw[4] = {};
  uint32_t next = 1;
  if (pread(fd.Get(), raw, 4, 0) == 4)
    next = sys::ByteReader(raw, sizeof raw).U32LE().value_or(1);
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
  sys::ByteWriter counter;
  counter.U32LE(next);
  if (pwrite(fd.Get(), counter.Data().data(), 4, 0) != 4)
    taken = 0;
  return taken;
}

// Binds under a private name first, so that nobody sees the socket before it
// listens and takes it for a dead one.
int Listen(uint32_t slot) {
  std::string temp = WindowDir() + "/." + std::to_string(slot) + "." + std::to_string(getpid());
  sockaddr_un addr;
  if (!FillAddress(temp, addr) || !FillAddress(SlotPath(slot), addr) || !FillAddress(temp, addr)) {
    sys::Warn("win", "the window folder's path is too long: %s", WindowDir().c_str());
    return -1;
  }
  unlink(temp.c_str());
  sys::UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd)
    return -1;
  if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(fd.Get(), 128) != 0 || rename(temp.c_str(), SlotPath(slot).c_str()) != 0) {
    std::perror("win: window socket");
    unlink(temp.c_str());
    return -1;
  }
  return fd.Release();
}

// ---- The published table of this process's windows ----

struct Publisher {
  std::mutex mu; // taken before the registry's
  bool closed = false;
  bool warned = false;
};

Publisher& Pub() {
  static Publisher* publisher = new Publisher; // used by threads ending at exit
  return *publisher;
}

std::string OwnTableName() {
  return table::FileName(static_cast<uint32_t>(getpid()), table::OwnStartTime());
}

// Writes the file under a private name and renames it into place, so that a
// reader sees the old table or the new one, never a part.
bool WriteFileAtomically(const std::string& dir, const std::string& name,
                         const std::vector<uint8_t>& bytes) {
  const std::string temp = dir + "/." + name + ".tmp";
  sys::UniqueFd fd(open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (!fd)
    return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t w = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0) {
      unlink(temp.c_str());
      return false;
    }
    done += static_cast<size_t>(w);
  }
  fd.Reset();
  if (rename(temp.c_str(), (dir + "/" + name).c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}

// The whole of a file of at most limit bytes.
std::optional<std::vector<uint8_t>> ReadSmallFile(const std::string& path, size_t limit) {
  sys::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd)
    return std::nullopt;
  struct stat st {};
  if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > limit)
    return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t r = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (r < 0 && errno == EINTR)
      continue;
    if (r <= 0)
      break;
    done += static_cast<size_t>(r);
  }
  bytes.resize(done);
  return bytes;
}

// Removes a slot's socket (or link) when nobody listens on it any more.
void RemoveDeadSlot(uint32_t slot) {
  if (slot == 0 || slot > kMaxSlot)
    return;
  const std::string path = SlotPath(slot);
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && !SlotAlive(slot))
    unlink(path.c_str());
}

// At exit: nobody finds this process's sockets any more, and the reader
// thread ends.
void CloseEndpoint() {
  Endpoint* ep = gEndpoint.load();
  if (!ep)
    return;
  {
    Publisher& pub = Pub();
    std::lock_guard lock(pub.mu);
    pub.closed = true;
    unlink((WindowDir() + "/" + OwnTableName()).c_str());
  }
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
  explicit ServerConn(int f) : owned(f), fd(f) {}
  void Write(const wire::Header& header, const void* payload, size_t size) {
    if (dead.load())
      return;
    std::lock_guard lock(writeMu);
    auto deadline = Clock::now() + std::chrono::milliseconds(kReplyWriteTimeoutMs);
    // A sender that stopped reading has given up on its answers.
    if (!WriteFrame(fd, header, payload, size, deadline))
      dead = true;
  }

  const sys::UniqueFd owned; // closed with the connection
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
      const int64_t receivedNs = sys::MonotonicNs();
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
    sys::Warn("win", "no usable runtime folder for the session's windows");
    return nullptr;
  }
  uint32_t slot = TakeSlot();
  if (!slot) {
    sys::Warn("win", "no free window slot in %s", WindowDir().c_str());
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
  explicit ClientConn(int f) : owned(f), fd(f) {}
  const sys::UniqueFd owned; // closed with the connection
  const int fd;
  bool dead = false;
  bool stalled = false; // a post found the peer not reading
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

} // namespace

void PublishWindows() {
  if (!gEndpoint.load())
    return;
  Publisher& pub = Pub();
  std::lock_guard lock(pub.mu);
  if (pub.closed)
    return;
  table::Table t;
  t.pid = static_cast<uint32_t>(getpid());
  t.startTime = table::OwnStartTime();
  Reg().ListWindows(t.entries);
  if (!WriteFileAtomically(WindowDir(), OwnTableName(), table::Encode(t)) && !pub.warned) {
    pub.warned = true;
    sys::Warn("win", "cannot publish the window table in %s: %s", WindowDir().c_str(),
              std::strerror(errno));
  }
}

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
  // A process that stopped reading (stopped, or hung with a full socket)
  // holds a post only this long; after that, posts fail at once until it
  // reads again. A frame cut short gives the connection up, so that the
  // rest of a frame never reaches the peer as the start of another.
  const auto deadline = Clock::now() + std::chrono::milliseconds(kPostWriteTimeoutMs);
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto conn = ConnFor(SlotOf(hwnd), attempt > 0);
    if (!conn)
      return false;
    if (conn->stalled) {
      pollfd p{conn->fd, POLLOUT, 0};
      if (::poll(&p, 1, 0) < 0 || !(p.revents & (POLLOUT | POLLHUP | POLLERR)))
        return false;
      conn->stalled = false;
    }
    size_t sent = 0;
    if (WriteFrame(conn->fd, h, nullptr, 0, deadline, &sent))
      return true;
    if (Clock::now() >= deadline) {
      if (sent == 0)
        conn->stalled = true;
      else
        conn->dead = true;
      return false;
    }
    conn->dead = true;
  }
  return false;
}

namespace {

// Calls onTable with the table of every other live process of the session;
// removes what dead processes left: their tables and their slots' sockets.
// Reads files only: never waits for a process.
template <typename F> void ForEachPeerTable(F&& onTable) {
  const std::string& dir = WindowDir();
  if (dir.empty())
    return;
  DIR* d = opendir(dir.c_str());
  if (!d)
    return;
  const auto self = static_cast<uint32_t>(getpid());
  while (dirent* e = readdir(d)) {
    uint32_t pid = 0;
    uint64_t start = 0;
    bool temp = false;
    if (!table::ParseFileName(e->d_name, pid, start, &temp) || pid == self)
      continue;
    const std::string path = dir + "/" + e->d_name;
    if (!table::ProcessAlive(pid, start)) {
      std::optional<table::Table> dead;
      if (!temp)
        if (auto bytes = ReadSmallFile(path, table::kMaxTableSize))
          dead = table::Decode(*bytes);
      unlink(path.c_str());
      if (dead) {
        std::set<uint32_t> slots;
        for (const table::Entry& entry : dead->entries)
          slots.insert(SlotOf(entry.hwnd));
        for (uint32_t slot : slots)
          RemoveDeadSlot(slot);
      }
      continue;
    }
    if (temp)
      continue;
    auto bytes = ReadSmallFile(path, table::kMaxTableSize);
    if (!bytes)
      continue;
    auto t = table::Decode(*bytes);
    if (t && t->pid == pid)
      onTable(*t);
  }
  closedir(d);
}

// Asks the window's process itself, for a process that has published no
// window of that slot.
std::optional<Description> AskDescription(Hwnd hwnd) {
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

} // namespace

std::optional<Description> RemoteDescribe(Hwnd hwnd) {
  std::optional<Description> found;
  bool slotPublished = false;
  ForEachPeerTable([&](const table::Table& t) {
    for (const table::Entry& entry : t.entries) {
      if (SlotOf(entry.hwnd) == SlotOf(hwnd))
        slotPublished = true;
      if (entry.hwnd == hwnd && !found)
        found = Description{entry.parent, t.pid, 0, entry.className, entry.title};
    }
  });
  if (found || slotPublished)
    return found;
  return AskDescription(hwnd);
}

FindHit RemoteFind(Hwnd parent, const std::optional<std::string>& className,
                   const std::optional<std::string>& title) {
  FindHit best;
  ForEachPeerTable([&](const table::Table& t) {
    for (const table::Entry& entry : t.entries) {
      if (entry.parent != parent || entry.hwnd == 0)
        continue;
      if (className && !EqualsNoCase(entry.className, *className))
        continue;
      if (title && !EqualsNoCase(entry.title, *title))
        continue;
      if (!best.hwnd || entry.createdNs < best.createdNs ||
          (entry.createdNs == best.createdNs && entry.hwnd < best.hwnd))
        best = {entry.hwnd, entry.createdNs};
    }
  });
  return best;
}

} // namespace win::detail
