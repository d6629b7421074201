#include "host/party_command.h"

#include "album/reserve.h"
#include "album/songrecord.h"
#include "host/album_client.h"
#include "host/album_session.h"
#include "host/display_command.h"
#include "host/display_log.h"
#include "host/interrupt.h"
#include "host/remote_window.h"
#include "host/tamblo_client.h"
#include "platform/sys/atomic_file.h"
#include "platform/sys/bytes.h"
#include "platform/sys/codepage.h"
#include "platform/sys/paths.h"
#include "platform/sys/runtime.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <poll.h>
#include <string_view>
#include <unistd.h>

namespace host {
namespace {

constexpr const char* kDisplayFrameClass = "VEXO3LYRIC";
constexpr uintptr_t kReserveListCopy = 0x10600;
constexpr uintptr_t kNextSongCopy = 0x10601;
constexpr uint32_t kSendTimeoutMs = 3000;
constexpr uint32_t kDisplayLinkWaitMs = 3000;
constexpr uint32_t kSliceMs = 100;
constexpr size_t kHeadBytes = 4 + album::kReservationTitleSize; // number and title
constexpr const char kQueueMagic[] = "vexo3 party queue";
constexpr const char kQueueFile[] = "party.queue";

constexpr const char kHelp[] =
    "type a song number and Enter to reserve it, /TEXT to find songs, x N to unreserve, s to "
    "skip, q to quit\n";

int Fail(const std::string& text) {
  std::fprintf(stderr, "vexo3: %s\n", text.c_str());
  return 1;
}

int32_t I32At(const uint8_t* at) {
  sys::ByteReader in(at, 4);
  return static_cast<int32_t>(in.U32LE().value_or(0));
}

std::optional<int32_t> ParseNumber(std::string_view text) {
  if (text.empty())
    return std::nullopt;
  const std::string s(text);
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
    return std::nullopt;
  return static_cast<int32_t>(v);
}

// The song taken from the queue's head, copied out of the library's record.
struct Taken {
  int32_t number = 0;
  std::string title; // code-page bytes
  std::string path;  // stored form
};

std::optional<Taken> TakeHead(const Tondo32Exports& t) {
  const auto* r = static_cast<const uint8_t*>(t.GetReservedSong(1));
  if (!r)
    return std::nullopt;
  Taken song;
  song.number = I32At(r);
  song.title = album::FieldText(
      std::span<const char>(reinterpret_cast<const char*>(r + 4), album::kReservationTitleSize));
  song.path = album::FieldText(
      std::span<const char>(reinterpret_cast<const char*>(r + album::kReservationEntryHead),
                            album::kReservationPathSize));
  return song;
}

// Lines typed on standard input, read without waiting.
class Terminal {
public:
  // True when a whole line (or the end of the input) is waiting.
  bool Ready() {
    Fill();
    return !open_ || buffer_.find('\n') != std::string::npos;
  }
  std::optional<std::string> Line() {
    Fill();
    const size_t end = buffer_.find('\n');
    if (end == std::string::npos) {
      if (open_ || buffer_.empty())
        return std::nullopt;
      std::string last = std::move(buffer_);
      buffer_.clear();
      return last;
    }
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    return line;
  }
  bool Open() const { return open_; }

private:
  void Fill() {
    while (open_) {
      pollfd p{STDIN_FILENO, POLLIN, 0};
      if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR)))
        return;
      char chunk[4096];
      const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR)
        return;
      if (n <= 0) {
        open_ = false;
        return;
      }
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  std::string buffer_;
  bool open_ = true;
};

class Party {
public:
  Party(const PartyOptions& o, RemoteWindows& windows, const Tondo32Exports& album,
        const TambloExports& player, bool displayStarted)
      : o_(o), windows_(windows), a_(album), t_(player), displayStarted_(displayStarted) {}

  int Run();

private:
  static void Notice(int32_t, int32_t, int32_t, void* self) {
    static_cast<Party*>(self)->changed_ = true;
  }
  win::Hwnd Display() const {
    return o_.display ? win::FindWindow(kDisplayFrameClass, std::nullopt) : 0;
  }
  void Send(uintptr_t kind, const std::vector<uint8_t>& record) {
    if (const win::Hwnd display = Display())
      win::SendCopyDataTimeout(display, 0, kind, record.data(),
                               static_cast<uint32_t>(record.size()), kSendTimeoutMs);
  }
  // When the queue changed since it was last told: the saved queue
  // replaced (the song playing first), then the display's list sent.
  void QueueChanged() {
    if (!changed_)
      return;
    changed_ = false;
    const void* block = a_.GetReservedSongBlock();
    const std::vector<uint8_t> record = ReserveListFromBlock(block);
    std::vector<QueuedSong> songs = SongsOfBlock(block);
    if (block)
      a_.FreeReservedSongBlock();
    if (playing_)
      songs.insert(songs.begin(), *playing_);
    if (songs != saved_)
      SaveQueue(songs);
    if (record != shown_) {
      Send(kReserveListCopy, record);
      shown_ = record;
    }
  }
  void SaveQueue(const std::vector<QueuedSong>& songs) {
    saved_ = songs;
    const std::string path = PartyQueuePath();
    bool saved = true;
    if (songs.empty()) {
      std::error_code ec;
      std::filesystem::remove(path, ec);
      saved = !ec;
    } else {
      saved = sys::ReplaceFileAtomically(path, PartyQueueText(songs));
    }
    if (!saved && !saveFailTold_) {
      saveFailTold_ = true;
      std::fprintf(stderr, "vexo3: the queue cannot be saved in %s\n", path.c_str());
    }
    std::string line = "queue:";
    for (const QueuedSong& song : songs)
      line += " " + std::to_string(song.number);
    // Told at once: the line stands for a change already saved.
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
  void AnnounceNext() {
    const auto* block = static_cast<const uint8_t*>(a_.GetReservedSongBlock());
    if (!block)
      return;
    const int32_t number = I32At(block + 4);
    const std::string title = album::FieldText(std::span<const char>(
        reinterpret_cast<const char*>(block + 8), album::kReservationTitleSize));
    a_.FreeReservedSongBlock();
    Send(kNextSongCopy, NextSongRecord(number, sys::ToUtf8(title), sys::kDefaultCodePage));
    std::printf("next: %d %s\n", number, sys::ToUtf8(title).c_str());
  }
  void Reserve(int32_t number) {
    const int before = a_.GetNumOfReservedSong();
    a_.AddSongReserve1(number);
    if (a_.GetNumOfReservedSong() == before)
      std::printf("no song %d\n", number);
    else
      std::printf("reserved %d (%d queued)\n", number, a_.GetNumOfReservedSong());
  }
  void Find(const std::string& text);
  // One typed line; false when it asks to quit.
  bool Command(const std::string& line);
  void Commands() {
    while (auto line = terminal_.Line()) {
      if (!Command(*line)) {
        quit_ = true;
        break;
      }
    }
    QueueChanged();
    std::fflush(stdout);
  }
  // Plays one song to its end, a skip or a quit; false when it cannot be
  // played.
  bool Play(const Taken& song);

  // A display started for the party links itself to the player core; the
  // party waits for it (within a bound) so that it sees the first queue.
  void AwaitDisplay() {
    if (!displayStarted_ || !t_.GetLyricWnd)
      return;
    if (!win::RunMessageLoopUntil([&] { return interrupted.load() || t_.GetLyricWnd() != 0; },
                                  kDisplayLinkWaitMs) &&
        !interrupted.load())
      std::fprintf(stderr, "vexo3: the lyric display did not link itself; playing without it\n");
  }
  void Resume();

  const PartyOptions& o_;
  RemoteWindows& windows_;
  const Tondo32Exports& a_;
  const TambloExports& t_;
  const bool displayStarted_;
  Terminal terminal_;
  std::optional<QueuedSong> playing_;
  std::vector<QueuedSong> saved_;      // the queue as last saved
  std::vector<uint8_t> shown_;         // the list the display last got
  bool changed_ = false;
  bool quit_ = false;
  bool skip_ = false;
  bool saveFailTold_ = false;
};

void Party::Resume() {
  std::ifstream in(PartyQueuePath(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  const auto songs = in ? ParsePartyQueue(text.str()) : std::nullopt;
  if (!songs) {
    std::printf("there is no saved queue to resume\n");
    return;
  }
  for (const QueuedSong& song : *songs) {
    if (song.number >= 1)
      Reserve(song.number);
    else
      a_.AddSongReserve(song.number, song.title.c_str(), song.path.c_str());
  }
  std::printf("resumed %zu songs\n", songs->size());
}

void Party::Find(const std::string& text) {
  std::vector<uint8_t> bytes(album::kSongRecordSize);
  int found = 0;
  if (a_.OpenQueryByTitleSinger(sys::FromUtf8Lossy(text).c_str(), 0)) {
    for (int32_t step; (step = a_.GetQueryByTitleSinger(bytes.data())) != 0;) {
      album::SongRecord r;
      sys::ByteReader in(bytes.data(), bytes.size());
      if (step != 1 || !album::ReadSongRecord(in, r))
        continue;
      std::printf("%u\t%s\t%s\n", r.number, sys::ToUtf8(album::FieldText(r.title)).c_str(),
                  sys::ToUtf8(album::FieldText(r.singer)).c_str());
      ++found;
    }
    a_.CloseQueryByTitleSinger();
  }
  std::printf("%d found\n", found);
}

bool Party::Command(const std::string& raw) {
  std::string line = raw;
  line.erase(0, line.find_first_not_of(" \t"));
  line.erase(line.find_last_not_of(" \t") + 1);
  if (line.empty())
    return true;
  if (line == "q")
    return false;
  if (line == "s") {
    skip_ = true;
    return true;
  }
  if (line[0] == '/') {
    Find(line.substr(1));
    return true;
  }
  if (line.size() > 2 && line[0] == 'x' && (line[1] == ' ' || line[1] == '\t')) {
    const std::string rest = line.substr(line.find_first_not_of(" \t", 1));
    if (const auto n = ParseNumber(rest)) {
      std::printf(a_.RemoveReservedSong(*n) ? "unreserved %d\n" : "%d is not reserved\n", *n);
      return true;
    }
  }
  if (const auto n = ParseNumber(line)) {
    Reserve(*n);
    return true;
  }
  std::printf("unknown command: %s\n%s", line.c_str(), kHelp);
  return true;
}

bool Party::Play(const Taken& song) {
  const std::string path = sys::ResolveStoredPath(song.path).value_or(song.path);
  const std::string shown = sys::ToUtf8(song.title);
  if (!t_.LoadFile(path.c_str(), kKindByExtension)) {
    std::printf("song %d \"%s\": the player core cannot read %s\n", song.number, shown.c_str(),
                path.c_str());
    return false;
  }
  RemoteWindow& state = windows_.State();
  t_.TitleTransmit(windows_.Remote());
  state.ended = state.stopped = false;
  skip_ = false;
  if (interrupted.load() || !t_.Play()) {
    t_.CloseFile();
    if (!interrupted.load())
      std::printf("song %d \"%s\" cannot be played\n", song.number, shown.c_str());
    return false;
  }
  std::printf("playing %d \"%s\"\n", song.number, shown.c_str());
  std::fflush(stdout);
  while (!interrupted.load() && !quit_ && !skip_) {
    win::RunMessageLoopUntil(
        [&] { return interrupted.load() || state.stopped || state.ended || terminal_.Ready(); },
        kSliceMs);
    Commands();
    if (state.stopped || state.ended || !t_.GetcMidiPlayFlag())
      break;
  }
  // All notes off and the devices closed, then the song goes.
  t_.Stop();
  win::ProcessPendingMessages();
  t_.CloseFile();
  if (interrupted.load())
    std::printf("stopped\n");
  else if (skip_)
    std::printf("skipped %d\n", song.number);
  else if (!quit_)
    std::printf("ended %d\n", song.number);
  std::fflush(stdout);
  return true;
}

int Party::Run() {
  a_.SetReserveNotice(Notice, this);
  t_.RegisterProgMsg(windows_.Remote());
  t_.RegisterStopMsg(windows_.Remote());
  InterruptGuard interrupt;
  AwaitDisplay();
  std::printf("%d songs; %s", a_.GetTotalNumOfSong(), kHelp);
  std::error_code ec;
  if (o_.resume)
    Resume();
  else if (std::filesystem::exists(PartyQueuePath(), ec))
    std::printf("a queue of an earlier party is saved ('vexo3 party --resume' takes it up); the "
                "first change here replaces it\n");
  for (int32_t n : o_.numbers)
    Reserve(n);
  QueueChanged();
  std::fflush(stdout);
  bool waiting = false;
  while (!interrupted.load() && !quit_) {
    std::optional<Taken> song = TakeHead(a_);
    if (!song) {
      if (!terminal_.Open())
        break;
      if (!waiting)
        std::printf("the queue is empty: type a song number\n");
      std::fflush(stdout);
      waiting = true;
      win::RunMessageLoopUntil([&] { return interrupted.load() || terminal_.Ready(); }, kSliceMs);
      Commands();
      continue;
    }
    waiting = false;
    playing_ = QueuedSong{song->number, song->title, song->path};
    QueueChanged();
    const bool played = Play(*song);
    // A song that ran out, was skipped or could not be played leaves the
    // queue; one stopped by Ctrl+C or "q" stays at its head.
    if (!interrupted.load() && !quit_) {
      playing_.reset();
      changed_ = true;
      QueueChanged();
      if (played)
        AnnounceNext();
    }
  }
  t_.UnregisterProgMsg(windows_.Remote());
  t_.UnregisterStopMsg(windows_.Remote());
  a_.SetReserveNotice(nullptr, nullptr);
  const bool stopped = interrupted.load();
  if (playing_ || a_.GetNumOfReservedSong() > 0)
    std::printf("the queue is saved: 'vexo3 party --resume' takes it up again\n");
  std::printf(stopped ? "the party was stopped\n" : "the party is over\n");
  std::fflush(stdout);
  return stopped ? 130 : 0;
}

} // namespace

std::vector<uint8_t> ReserveListFromBlock(const void* block) {
  std::vector<uint8_t> record(kReserveEntries * kReserveEntrySize, 0);
  static_assert(kHeadBytes == kReserveEntrySize);
  const auto* at = static_cast<const uint8_t*>(block);
  if (!at)
    return record;
  const int32_t count = I32At(at);
  at += 4;
  for (int32_t i = 0; i < count && static_cast<size_t>(i) < kReserveEntries; ++i) {
    std::memcpy(record.data() + static_cast<size_t>(i) * kReserveEntrySize, at, kHeadBytes);
    // The path's length after the head, bounded by the stored path's size.
    const uint32_t length =
        std::min<uint32_t>(static_cast<uint32_t>(I32At(at + kHeadBytes)), album::kReservationPathSize);
    at += album::kReservationEntryHead + length;
  }
  return record;
}

std::vector<QueuedSong> SongsOfBlock(const void* block) {
  std::vector<QueuedSong> songs;
  const auto* at = static_cast<const uint8_t*>(block);
  if (!at)
    return songs;
  const int32_t count = I32At(at);
  at += 4;
  for (int32_t i = 0; i < count; ++i) {
    QueuedSong song;
    song.number = I32At(at);
    song.title = album::FieldText(
        std::span<const char>(reinterpret_cast<const char*>(at + 4), album::kReservationTitleSize));
    const uint32_t length = std::min<uint32_t>(static_cast<uint32_t>(I32At(at + kHeadBytes)),
                                               album::kReservationPathSize);
    song.path = album::FieldText(std::span<const char>(
        reinterpret_cast<const char*>(at + album::kReservationEntryHead), length));
    songs.push_back(std::move(song));
    at += album::kReservationEntryHead + length;
  }
  return songs;
}

namespace {

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out.empty() ? "-" : out;
}

std::optional<std::string> Unhex(std::string_view text) {
  if (text == "-")
    return std::string();
  if (text.empty() || text.size() % 2 != 0)
    return std::nullopt;
  std::string out;
  for (size_t i = 0; i < text.size(); i += 2) {
    int v = 0;
    for (char c : text.substr(i, 2)) {
      const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (d < 0)
        return std::nullopt;
      v = v * 16 + d;
    }
    out += static_cast<char>(v);
  }
  return out;
}

} // namespace

std::string PartyQueueText(const std::vector<QueuedSong>& songs) {
  std::string text = std::string(kQueueMagic) + "\n";
  for (const QueuedSong& song : songs) {
    if (song.number >= 1)
      text += "S " + std::to_string(song.number) + "\n";
    else
      text += "F " + std::to_string(song.number) + " " + Hex(song.title) + " " + Hex(song.path) +
              "\n";
  }
  return text;
}

std::optional<std::vector<QueuedSong>> ParsePartyQueue(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::string line;
  if (!std::getline(in, line) || line != kQueueMagic)
    return std::nullopt;
  std::vector<QueuedSong> songs;
  // Every line whole, ended by its newline: a cut file is no queue.
  if (text.empty() || text.back() != '\n')
    return std::nullopt;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind, number, title, path, rest;
    fields >> kind >> number;
    const auto n = ParseNumber(number);
    if (!n)
      return std::nullopt;
    QueuedSong song;
    song.number = *n;
    if (kind == "S" && *n >= 1 && !(fields >> rest)) {
      songs.push_back(song);
      continue;
    }
    if (kind != "F" || *n >= 1 || !(fields >> title >> path) || (fields >> rest))
      return std::nullopt;
    auto t = Unhex(title), p = Unhex(path);
    if (!t || !p || t->size() >= album::kReservationTitleSize ||
        p->size() >= album::kReservationPathSize)
      return std::nullopt;
    song.title = std::move(*t);
    song.path = std::move(*p);
    songs.push_back(std::move(song));
  }
  return songs;
}

std::string PartyQueuePath() {
  return AlbumFolder() + kQueueFile;
}

std::optional<PartyOptions> ParsePartyArguments(std::span<char*> args, std::string* error) {
  PartyOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    if (a == "--no-display") {
      o.display = false;
    } else if (a == "--resume") {
      o.resume = true;
    } else if (a == "--display-log") {
      if (i + 1 >= args.size() || !*args[i + 1]) {
        *error = "--display-log needs a file name";
        return std::nullopt;
      }
      o.displayLog = args[++i];
    } else if (a == "--device") {
      const auto n = i + 1 < args.size() ? ParseNumber(args[++i]) : std::nullopt;
      if (!n || *n < 0 || *n > INT16_MAX) {
        *error = "--device takes a device number (see 'vexo3 devices')";
        return std::nullopt;
      }
      o.device = *n;
    } else if (const auto n = ParseNumber(a)) {
      o.numbers.push_back(*n);
    } else {
      *error = a.size() > 1 && a[0] == '-' ? "unknown option '" + std::string(a) + "'"
                                           : "'" + std::string(a) + "' is not a song number";
      return std::nullopt;
    }
  }
  return o;
}

int RunParty(const PartyOptions& o) {
  AlbumSession session;
  if (!session.Start())
    return 1;
  RemoteWindows& windows = session.Windows();
  const Tondo32Exports& a = session.T();
  if (session.Load() != 1 && a.GetNumOfSubAlb() == 0)
    return Fail("no song catalogue (make one with 'vexo3 album build DIR')");
  std::string error;
  auto player = TambloClient::Start(sys::ProgramFolder(), &error);
  if (!player || !player->Init(windows.Frame(), windows.Remote(), &error))
    return Fail(error);
  const TambloExports& t = player->Exports();
  if (o.device >= 0) {
    auto info = DescribeDevice(t, o.device);
    if (!info)
      return Fail("there is no MIDI output device " + std::to_string(o.device) +
                  " (see 'vexo3 devices')");
    t.SetDefaultMidiOutDevice(info->name.c_str(), info->productId);
  }
  // The tests' stand-in takes the display's window class, so that the party
  // finds it as it finds the display.
  std::unique_ptr<DisplayLogger> logger;
  bool displayStarted = false;
  if (!o.displayLog.empty()) {
    logger = DisplayLogger::Start(o.displayLog, &error, kDisplayFrameClass);
    if (!logger)
      return Fail(error);
    displayStarted = true;
  } else if (o.display) {
    displayStarted = StartDisplayIfNotRunning(&error);
    if (!displayStarted)
      std::fprintf(stderr, "vexo3: the party goes on without the lyric display: %s\n",
                   error.c_str());
  }
  PartyOptions options = o;
  options.display = o.display || logger;
  Party party(options, windows, a, t, displayStarted);
  const int result = party.Run();
  if (logger)
    logger->Finish([] { win::RunMessageLoopUntil([] { return false; }, 5); });
  player.reset();
  return result;
}

int PartyCommand(std::span<char*> args) {
  std::string error;
  auto options = ParsePartyArguments(args, &error);
  if (!options) {
    std::fprintf(stderr, "vexo3: %s\nusage: vexo3 party [NUMBER...] [--resume] [--no-display] [--device N]\n",
                 error.c_str());
    return 2;
  }
  return RunParty(*options);
}

} // namespace host
