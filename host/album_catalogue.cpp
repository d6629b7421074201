// The song catalogue from the command line, through the song-album library
// as a host uses it: the folders to build go into [AlbManager] "Dir1".. of
// the album folder's "config.ini", which the library's folder check reads;
// its status texts and progress show on standard error.
#include "album/songrecord.h"
#include "core/messages.h"
#include "core/songdata.h"
#include "host/album_client.h"
#include "host/album_command.h"
#include "host/album_session.h"
#include "host/remote_window.h"
#include "host/window_app.h"
#include "platform/sys/ascii.h"
#include "platform/sys/bytes.h"
#include "platform/sys/codepage.h"
#include "platform/sys/ini.h"
#include "platform/sys/json.h"
#include "platform/sys/library.h"
#include "platform/sys/paths.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace host {
namespace {

namespace fs = std::filesystem;

std::string Shown(std::string_view bytes) {
  return sys::ToUtf8(bytes);
}

// A stored path as the Linux path it names.
std::string LinuxShown(std::string_view stored) {
  return sys::ToLinuxPath(stored).value_or(Shown(stored));
}

class Session : public AlbumSession {
public:
  std::vector<std::string> Folders() const {
    std::vector<std::string> out;
    for (int i = 1; i <= T().GetNumOfSubAlb(); ++i) {
      char buffer[kSubAlbDataPathSize] = {};
      if (T().GetSubAlbDataPath(i, buffer))
        out.push_back(buffer);
    }
    return out;
  }

  void Summary() const {
    std::printf("%d songs in %d albums, catalogue in %s\n", T().GetTotalNumOfSong(),
                T().GetNumOfSubAlb(), AlbumFolder().c_str());
  }
};

// Replaces every "Dir" key of [AlbManager] by Dir1..DirN for folders.
bool WriteDirKeys(const std::vector<std::string>& folders) {
  const std::string ini = AlbumFolder() + "config.ini";
  return sys::IniUpdate(ini, [&](sys::IniDocument& doc) {
    for (const std::string& key : doc.Keys("AlbManager"))
      if (key.size() > 3 && doc.NamesEqual(key.substr(0, 3), "Dir"))
        doc.DeleteKey("AlbManager", key);
    for (size_t i = 0; i < folders.size(); ++i)
      if (!doc.Set("AlbManager", "Dir" + std::to_string(i + 1), folders[i]))
        return false;
    return true;
  });
}

// The folders (stored paths) made the catalogue's albums, or added to the
// albums there are.
int AddFolders(std::vector<std::string> folders, bool add) {
  if (!fs::is_directory(AlbumFolder())) {
    std::fprintf(stderr, "vexo3: the album folder %s is missing\n", AlbumFolder().c_str());
    return 1;
  }
  Session s;
  if (!s.Start())
    return 1;
  const int loaded = add ? s.Load() : 0;
  if (add) {
    // The albums there are kept: the list read back is the whole list, each
    // folder once.
    std::vector<std::string> present = s.Folders();
    for (const std::string& folder : folders)
      if (std::find(present.begin(), present.end(), folder) == present.end())
        present.push_back(folder);
    folders = std::move(present);
  }
  if (!WriteDirKeys(folders)) {
    std::fprintf(stderr, "vexo3: cannot write %sconfig.ini\n", AlbumFolder().c_str());
    return 1;
  }
  // With no catalogue yet the folders are built as by a first build.
  if (add && loaded == 1)
    s.T().AutoAlbumUpdate();
  else if (s.Load() == 0) {
    std::fprintf(stderr, "vexo3: the album cannot be opened in %s\n", AlbumFolder().c_str());
    return 1;
  }
  s.Summary();
  return 0;
}

int Build(std::span<char*> args) {
  bool add = false;
  std::vector<std::string> folders;
  for (const char* a : args) {
    std::string_view arg = a;
    if (arg == "--add") {
      add = true;
      continue;
    }
    std::error_code ec;
    fs::path path = fs::weakly_canonical(fs::absolute(arg, ec), ec);
    if (ec || !fs::is_directory(path)) {
      std::fprintf(stderr, "vexo3: %s is not a folder\n", a);
      return 1;
    }
    std::optional<std::string> stored = sys::ToStoredPath(path.string());
    if (!stored) {
      std::fprintf(stderr, "vexo3: %s has no name the album can store\n", a);
      return 1;
    }
    folders.push_back(*stored);
  }
  if (folders.empty())
    return 2;
  return AddFolders(folders, add);
}

// A song file the suite converts into its own format: .kar and .mid.
bool IsImported(const fs::path& path) {
  const std::string ext = sys::AsciiLowered(path.extension().string());
  return ext == ".kar" || ext == ".mid";
}

// The core's questions while converting are answered yes, and told.
struct ConvertMessages {
  ConvertMessages() {
    core::SetMessageHandlers(nullptr, [](int, std::string_view text) {
      std::fprintf(stderr, "vexo3: %.*s yes\n", static_cast<int>(text.size()), text.data());
      return true;
    });
  }
  ~ConvertMessages() { core::SetMessageHandlers(nullptr, nullptr); }
};

// Every .kar and .mid below SRC saved as a song file of the suite in DEST
// (the same sub-folders, the same names with ".vx3"), then DEST's folders
// that received songs added to the catalogue. 1 when a file could not be
// converted (the others are imported all the same).
int Import(std::span<char*> args) {
  if (args.size() != 2)
    return 2;
  std::error_code ec;
  const fs::path source = fs::weakly_canonical(fs::absolute(args[0], ec), ec);
  if (ec || !fs::is_directory(source)) {
    std::fprintf(stderr, "vexo3: %s is not a folder\n", args[0]);
    return 1;
  }
  const fs::path dest = fs::weakly_canonical(fs::absolute(args[1], ec), ec);
  if (ec) {
    std::fprintf(stderr, "vexo3: %s cannot be a folder\n", args[1]);
    return 1;
  }
  // The files first: songs written into DEST below SRC are not walked.
  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator it(source, fs::directory_options::skip_permission_denied,
                                           ec),
       end;
       !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && IsImported(it->path()))
      files.push_back(it->path());
  }
  if (ec) {
    std::fprintf(stderr, "vexo3: cannot read the folder %s: %s\n", source.c_str(),
                 ec.message().c_str());
    return 1;
  }
  std::sort(files.begin(), files.end());
  ConvertMessages messages;
  std::vector<std::string> folders;
  int failed = 0, imported = 0;
  for (const fs::path& file : files) {
    const fs::path target = (dest / fs::relative(file, source, ec)).replace_extension(".vx3");
    core::CSongData song;
    core::ClearLastMessage();
    const bool read = !ec && song.LoadByExtension(file.string()) == 1;
    fs::create_directories(target.parent_path(), ec);
    if (!read || ec || song.SaveByKind(target.string(), core::kSaveV350First) <= 0) {
      const int message = core::LastMessage();
      std::fprintf(stderr, "vexo3: cannot import %s: %s\n", file.c_str(),
                   message ? std::string(core::MessageText(message)).c_str()
                   : read  ? "the song file cannot be written"
                           : "the file is damaged");
      ++failed;
      ec.clear();
      continue;
    }
    ++imported;
    std::printf("imported %s\n", target.c_str());
    std::optional<std::string> stored = sys::ToStoredPath(target.parent_path().string());
    if (!stored) {
      std::fprintf(stderr, "vexo3: %s has no name the album can store\n",
                   target.parent_path().c_str());
      ++failed;
      continue;
    }
    if (std::find(folders.begin(), folders.end(), *stored) == folders.end())
      folders.push_back(*stored);
  }
  std::printf("%d songs imported into %s%s\n", imported, dest.c_str(),
              failed ? (", " + std::to_string(failed) + " could not be").c_str() : "");
  std::fflush(stdout);
  if (!folders.empty()) {
    const int added = AddFolders(folders, true);
    if (added != 0)
      return added;
  }
  return failed ? 1 : 0;
}

// Opens the catalogue (with its folder check); false with a message when
// there is none.
bool Open(Session& s) {
  if (!s.Start())
    return false;
  int loaded = s.Load();
  if (loaded == 1 || s.T().GetNumOfSubAlb() > 0)
    return true;
  std::fprintf(stderr, "vexo3: no song catalogue in %s (make one with 'vexo3 album build DIR')\n",
               AlbumFolder().c_str());
  return false;
}

int Check(Session& s) {
  s.Summary();
  return 0;
}

int Albums(Session& s) {
  const Tondo32Exports& t = s.T();
  for (int i = 1; i <= t.GetNumOfSubAlb(); ++i) {
    const auto* list = static_cast<const uint32_t*>(t.GetSongListOfSubAlbum(i));
    char folder[kSubAlbDataPathSize] = {};
    t.GetSubAlbDataPath(i, folder);
    const char* name = t.GetSubAlbumName(i);
    std::printf("%d\t%s\t%u songs\t%s\n", i, Shown(name ? name : "").c_str(), list ? list[0] : 0u,
                LinuxShown(folder).c_str());
  }
  return 0;
}

int List(Session& s, std::span<char*> args) {
  const Tondo32Exports& t = s.T();
  if (args.size() == 2 && std::string_view(args[0]) == "--album") {
    int album = std::atoi(args[1]);
    if (album < 1 || album > t.GetNumOfSubAlb()) {
      std::fprintf(stderr, "vexo3: no album %s (see 'vexo3 album albums')\n", args[1]);
      return 1;
    }
    t.SetCurrAlbumContext(album << 16);
  } else if (!args.empty()) {
    return 2;
  }
  std::vector<int32_t> numbers(static_cast<size_t>(std::max(0, t.GetTotalNumOfSong())));
  if (!t.GetTotalSongList(numbers.data(), static_cast<int32_t>(numbers.size() * 4))) {
    std::fprintf(stderr, "vexo3: the song list cannot be read\n");
    return 1;
  }
  std::vector<uint8_t> bytes(album::kSongRecordSize);
  for (int32_t n : numbers) {
    album::SongRecord r;
    sys::ByteReader in(bytes.data(), bytes.size());
    if (!t.GetSongDataBySongNum(n, bytes.data()) || !album::ReadSongRecord(in, r))
      continue;
    std::printf("%d\t%s\t%s\t%s\n", n, Shown(album::FieldText(r.title)).c_str(),
                Shown(album::FieldText(r.singer)).c_str(),
                LinuxShown(album::FieldText(r.fileName)).c_str());
  }
  return 0;
}

int Show(Session& s, std::span<char*> args) {
  if (args.size() != 1)
    return 2;
  int32_t n = std::atoi(args[0]);
  std::vector<uint8_t> bytes(album::kSongRecordSize);
  album::SongRecord r;
  sys::ByteReader in(bytes.data(), bytes.size());
  if (n <= 0 || !s.T().GetSongDataBySongNum(n, bytes.data()) || !album::ReadSongRecord(in, r)) {
    std::fprintf(stderr, "vexo3: no song number %s in the catalogue\n", args[0]);
    return 1;
  }
  std::string json = SongRecordJson(r, sys::kDefaultCodePage);
  json.pop_back();
  std::string path;
  sys::AppendJsonString(path, LinuxShown(album::FieldText(r.fileName)));
  std::printf("%s,\"path\":%s}\n", json.c_str(), path.c_str());
  return 0;
}

// The my-album lists, or the songs of list N (1-based).
int Favourites(Session& s, std::span<char*> args) {
  const Tondo32Exports& t = s.T();
  if (args.empty()) {
    const char* header = t.GetNameOfMyAlbumHeader();
    std::printf("%s\n", Shown(header ? header : "").c_str());
    for (int i = 0; i < t.GetNumOfMyAlbum(); ++i) {
      const char* name = t.GetNameOfMyAlbum(i);
      std::printf("%d\t%s\t%d songs\n", i + 1, Shown(name ? name : "").c_str(),
                  t.GetNumOfSongInMyAlbum(i));
    }
    return 0;
  }
  if (args.size() != 1)
    return 2;
  int n = std::atoi(args[0]);
  if (n < 1 || n > t.GetNumOfMyAlbum()) {
    std::fprintf(stderr, "vexo3: no list %s (see 'vexo3 album favourites')\n", args[0]);
    return 1;
  }
  t.SetCurrAlbumContext(n - 1);
  return List(s, {});
}

// One song record of a look-up or a query as a line: number, title, singer
// and file (the query's records hold the bare file name).
void PrintRecord(const uint8_t* bytes) {
  album::SongRecord r;
  sys::ByteReader in(bytes, album::kSongRecordSize);
  if (!album::ReadSongRecord(in, r))
    return;
  std::printf("%u\t%s\t%s\t%s\n", r.number, Shown(album::FieldText(r.title)).c_str(),
              Shown(album::FieldText(r.singer)).c_str(),
              LinuxShown(album::FieldText(r.fileName)).c_str());
}

// --album N, --favourites N and --category C of the query commands; false
// with a message for a list or album there is not.
bool ApplyScope(const Tondo32Exports& t, std::string_view option, const char* value) {
  int n = std::atoi(value);
  if (option == "--album") {
    if (n < 1 || n > t.GetNumOfSubAlb()) {
      std::fprintf(stderr, "vexo3: no album %s (see 'vexo3 album albums')\n", value);
      return false;
    }
    t.SetCurrAlbumContext(n << 16);
  } else if (option == "--favourites") {
    if (n < 1 || n > t.GetNumOfMyAlbum()) {
      std::fprintf(stderr, "vexo3: no list %s (see 'vexo3 album favourites')\n", value);
      return false;
    }
    t.SetCurrAlbumContext(n - 1);
  } else if (option == "--category") {
    if (n < 0 || n > 255) {
      std::fprintf(stderr, "vexo3: a category is 0 to 255, not %s\n", value);
      return false;
    }
    t.SetCategoryFilter(static_cast<uint8_t>(n));
  }
  return true;
}

bool IsScopeOption(std::string_view a) {
  return a == "--album" || a == "--favourites" || a == "--category";
}

// Arguments that are all scope options, applied: 0, else the command's
// result (2 for anything else, 1 for a scope there is not).
int ApplyScopes(const Tondo32Exports& t, std::span<char*> args) {
  for (size_t i = 0; i < args.size(); i += 2) {
    if (!IsScopeOption(args[i]) || i + 1 >= args.size())
      return 2;
    if (!ApplyScope(t, args[i], args[i + 1]))
      return 1;
  }
  return 0;
}

// The songs whose title (or singer, or text) matches, in the order the
// query hands them out.
int Find(Session& s, std::span<char*> args) {
  const Tondo32Exports& t = s.T();
  int32_t kind = 0;
  const char* text = nullptr;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i];
    if (a == "--singer")
      kind = 1;
    else if (a == "--text")
      kind = 2;
    else if (IsScopeOption(a) && i + 1 < args.size()) {
      if (!ApplyScope(t, a, args[++i]))
        return 1;
    } else if (!text && !a.starts_with("--"))
      text = args[i];
    else
      return 2;
  }
  if (!text)
    return 2;
  std::optional<std::string> bytes = sys::FromUtf8(text);
  if (!bytes) {
    std::fprintf(stderr, "vexo3: '%s' has characters the album cannot hold\n", text);
    return 1;
  }
  if (!t.OpenQueryByTitleSinger(bytes->c_str(), kind))
    return 0;
  std::vector<uint8_t> record(album::kSongRecordSize);
  for (int32_t step; (step = t.GetQueryByTitleSinger(record.data())) != 0;)
    if (step == 1)
      PrintRecord(record.data());
  t.CloseQueryByTitleSinger();
  return 0;
}

int Random(Session& s, std::span<char*> args) {
  const Tondo32Exports& t = s.T();
  if (int bad = ApplyScopes(t, args))
    return bad;
  std::vector<uint8_t> record(album::kSongRecordSize);
  if (!t.GetRandomSong(record.data())) {
    std::fprintf(stderr, "vexo3: no song to pick\n");
    return 1;
  }
  PrintRecord(record.data());
  return 0;
}

uint32_t U32At(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Every singer with its position, or the songs of the singer at POS.
int Singers(Session& s, std::span<char*> args) {
  const Tondo32Exports& t = s.T();
  if (args.size() > 1)
    return 2;
  const auto* list = static_cast<const uint8_t*>(t.GetSingerList(0));
  if (!list)
    return 0;
  std::vector<std::pair<uint32_t, std::string>> singers;
  for (uint32_t i = 0, n = U32At(list); i < n; ++i) {
    const uint8_t* e = list + 4 + 36 * i;
    const char* text = reinterpret_cast<const char*>(e + 4);
    singers.emplace_back(U32At(e), std::string(text, strnlen(text, 32)));
  }
  if (args.empty()) {
    for (const auto& [position, text] : singers)
      std::printf("%u\t%s\n", position, Shown(text).c_str());
    return 0;
  }
  const int position = std::atoi(args[0]);
  auto it = std::find_if(singers.begin(), singers.end(),
                         [&](const auto& x) { return static_cast<int>(x.first) == position; });
  const auto* songs = it == singers.end() ? nullptr
                                          : static_cast<const uint8_t*>(t.GetSongListOfSinger(
                                                position, it->second.c_str(), 0));
  if (!songs) {
    std::fprintf(stderr, "vexo3: no singer %s (see 'vexo3 album singers')\n", args[0]);
    return 1;
  }
  for (uint32_t i = 0, n = U32At(songs); i < n; ++i) {
    const uint8_t* e = songs + 4 + 68 * i;
    const char* title = reinterpret_cast<const char*>(e + 20);
    std::printf("%u\t%s\n", U32At(e), Shown(std::string(title, strnlen(title, 48))).c_str());
  }
  return 0;
}

// Every song of the context in title order: number (0 when the filter hides
// it), type letter and title.
int Walk(Session& s, std::span<char*> args) {
  const Tondo32Exports& t = s.T();
  if (int bad = ApplyScopes(t, args))
    return bad;
  if (!t.OpenQueryBySequentially())
    return 0;
  int32_t number = 0;
  char* title = nullptr;
  for (char type; (type = t.GetQueryBySequentially(&number, &title, nullptr)) != 100;)
    std::printf("%d\t%c\t%s\n", number, type, Shown(title ? title : "").c_str());
  t.CloseQueryBySequentially();
  return 0;
}

// The album manager on the host's window until it closes; its notices are
// printed as they come.
int Manager(std::span<char*> args) {
  int view = -1;
  for (size_t i = 0; i < args.size(); ++i) {
    if (std::string_view(args[i]) == "--view" && i + 1 < args.size())
      view = std::atoi(args[++i]);
    else
      return 2;
  }
  Session s;
  return RunWindowCommand("album manager", [&] {
    if (!Open(s))
      return false;
    s.Windows().State().albumNotice = [](uintptr_t kind, win::Hwnd from) {
      std::printf("%s from window %u\n",
                  kind == kReserveReplacedKind ? "ReserveReplacedNotify" : "ListModeNotify", from);
      std::fflush(stdout);
    };
    const win::Hwnd manager =
        s.T().Tondo32Manager(s.Windows().Remote(), static_cast<int16_t>(view));
    if (!manager) {
      std::fprintf(stderr, "vexo3: the album manager cannot be opened\n");
      return false;
    }
    std::printf("album manager open: window %u\n", manager);
    std::fflush(stdout);
    // The loop ends once the manager's window is gone.
    const win::Hwnd remote = s.Windows().Remote();
    constexpr uint32_t kWatch = 1;
    win::SetTimer(remote, kWatch, 200);
    win::AddMessageFilter([=](win::Msg& msg) {
      if (msg.message != win::WM_TIMER || msg.hwnd != remote || win::IsWindow(manager))
        return false;
      win::KillTimer(remote, kWatch);
      win::PostQuitMessage(0);
      return true;
    });
    return true;
  });
}

} // namespace

int AlbumCatalogueCommand(std::string_view what, std::span<char*> args) {
  if (what == "build")
    return Build(args);
  if (what == "import")
    return Import(args);
  if (what == "manager")
    return Manager(args);
  if ((what == "check" || what == "albums") && !args.empty())
    return 2;
  if (what == "show" && args.size() != 1)
    return 2;
  Session s;
  if (!Open(s))
    return 1;
  if (what == "check")
    return Check(s);
  if (what == "albums")
    return Albums(s);
  if (what == "list")
    return List(s, args);
  if (what == "show")
    return Show(s, args);
  if (what == "favourites")
    return Favourites(s, args);
  if (what == "find")
    return Find(s, args);
  if (what == "random")
    return Random(s, args);
  if (what == "singers")
    return Singers(s, args);
  if (what == "walk")
    return Walk(s, args);
  return 2;
}

} // namespace host
