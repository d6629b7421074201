#include "album/songlist.h"

#include "htmltitle/dbcs.h"
#include "platform/sys/ascii.h"
#include "platform/sys/atomic_file.h"
#include "platform/sys/collator.h"
#include "platform/sys/ini.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <numeric>
#include <sys/stat.h>
#include <unordered_map>

namespace album {
namespace {

constexpr size_t kNumberColumn = 0, kTitleColumn = 6, kSingerColumn = 44, kExcerptColumn = 66;
constexpr size_t kTitleWidth = 36, kSingerWidth = 20, kExcerptWidth = 24;
constexpr size_t kRuleWidth = 91;
// Up to this many digits a number keeps the columns in place.
constexpr size_t kNumberDigits = 5;

// CR, LF and TAB would break lines and fields: each becomes a blank. None
// of them is ever the trail byte of a double-byte character.
std::string Blanked(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\r' || c == '\n' || c == '\t')
      c = ' ';
  return out;
}

std::string Field(std::span<const char> field) {
  return Blanked(FieldText(field));
}

std::string Number(uint32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%04u", number);
  return text;
}

size_t Digits(uint32_t number) {
  return Number(number).size();
}

void Put(std::string& line, size_t column, std::string_view text) {
  if (line.size() < column + text.size())
    line.resize(column + text.size(), ' ');
  line.replace(column, text.size(), text);
}

std::string TitleOf(const SongRecord& record, const SongListTexts& texts) {
  std::string title = Field(record.title);
  return title.empty() ? Blanked(texts.noTitle) : title;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The records of one album file by song number, read once: with the
// direct-index flag only the record at the song's position counts, as the
// look-up by number has it.
class AlbumRecords {
public:
  bool Read(const std::string& linuxPath) {
    std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(linuxPath);
    if (!bytes)
      return false;
    if (HasMagic(*bytes, kInternetAlbumMagic)) {
      InternetAlbum a;
      if (ReadInternetAlbum(*bytes, a) < kAlbumShort)
        return false;
      direct_ = a.directIndex == 1;
      records_ = std::move(a.records);
    } else {
      LocalAlbum a;
      int read = ReadLocalAlbum(*bytes, a);
      if (read != kAlbumRead && read != kAlbumShort)
        return false;
      direct_ = a.directIndex == 1;
      records_ = std::move(a.records);
    }
    if (!direct_)
      for (size_t i = records_.size(); i-- > 0;)
        first_[records_[i].number] = i;
    return true;
  }

  const SongRecord* Find(uint32_t number, uint32_t position) const {
    if (direct_)
      return position < records_.size() && records_[position].number == number ? &records_[position]
                                                                               : nullptr;
    auto it = first_.find(number);
    return it == first_.end() ? nullptr : &records_[it->second];
  }

private:
  bool direct_ = true;
  std::vector<SongRecord> records_;
  std::unordered_map<uint32_t, size_t> first_;
};

// Moves the bar only when its percentage changes.
class Bar {
public:
  Bar(RebuildProgress* progress, size_t total) : progress_(progress), total_(total) {}
  void Step(size_t done) {
    if (!progress_ || total_ == 0)
      return;
    int percent = static_cast<int>(std::min<size_t>(100, done * 100 / total_));
    if (percent != shown_) {
      shown_ = percent;
      progress_->SetBar(percent);
    }
  }
  void Set(int percent) {
    shown_ = percent;
    if (progress_)
      progress_->SetBar(percent);
  }

private:
  RebuildProgress* progress_;
  size_t total_;
  int shown_ = -1;
};

// Closes the dialog however the export ends.
class ProgressShown {
public:
  ProgressShown(RebuildProgress* progress, const SongListTexts& texts) : progress_(progress) {
    if (progress_) {
      progress_->Open(texts.sorting);
      progress_->SetText(2, texts.sortingDetail);
    }
  }
  ~ProgressShown() {
    if (progress_)
      progress_->Close({});
  }
  ProgressShown(const ProgressShown&) = delete;
  ProgressShown& operator=(const ProgressShown&) = delete;

private:
  RebuildProgress* progress_;
};

} // namespace

std::string SongListFileName(int mode) {
  switch (mode) {
  case 1:
    return "iSong.txt";
  case 2:
    return "jSong.txt";
  case 3:
    return "pSong.txt";
  default:
    return "Song.txt";
  }
}

std::string SongListPath(const std::string& albumFolder, int mode) {
  std::string folder = albumFolder;
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder.substr(0, folder.rfind('/') + 1) + "Song/" + SongListFileName(mode);
}

std::string CutListText(std::string_view text, size_t width) {
  if (width == 0 || text.size() < width)
    return std::string(text);
  std::string whole(text); // the classifier reads a zero-ended text
  size_t keep = width - 1;
  if (keep > 0 && GetDbcsByteClass(whole.c_str(), static_cast<int32_t>(keep)) == 2)
    --keep;
  return whole.substr(0, keep) + '~';
}

std::string ColumnHeading(const SongListTexts& texts, size_t shift) {
  std::string line;
  Put(line, kNumberColumn, CutText(texts.numberHeading, 4));
  Put(line, kTitleColumn + shift,
      CutText(Blanked(texts.titleHeading), kSingerColumn - kTitleColumn - 1));
  Put(line, kSingerColumn + shift,
      CutText(Blanked(texts.singerHeading), kExcerptColumn - kSingerColumn - 1));
  Put(line, kExcerptColumn + shift, Blanked(texts.excerptHeading));
  return line + "\r\n";
}

std::string ColumnRule(size_t shift) {
  return std::string(kRuleWidth + shift, '-') + "\r\n";
}

std::string ColumnLine(const SongRecord& record, const SongListTexts& texts, size_t shift) {
  std::string line(kExcerptColumn + shift, ' ');
  Put(line, kNumberColumn, Number(record.number));
  Put(line, kTitleColumn + shift, CutListText(TitleOf(record, texts), kTitleWidth));
  Put(line, kSingerColumn + shift, CutListText(Field(record.singer), kSingerWidth));
  Put(line, kExcerptColumn + shift, CutListText(Field(record.excerpt), kExcerptWidth));
  return line + "\r\n";
}

std::string TabLine(const SongRecord& record, std::string_view path, const SongListTexts& texts) {
  std::string line = Number(record.number);
  for (const std::string& field :
       {TitleOf(record, texts), Field(record.singer), Field(record.lyricist),
        Field(record.composer), CutListText(Field(record.excerpt), kExcerptWidth), Blanked(path)}) {
    line += '\t';
    line += field;
  }
  return line + "\r\n";
}

bool WriteSongList(const AlbumDatabase& db, const SongListOptions& options, std::string* path) {
  const std::string target = SongListPath(db.AlbumFolder(), options.mode);
  if (path)
    *path = target;
  if (db.AlbumFolder().empty())
    return false;
  const std::string folder = target.substr(0, target.rfind('/'));
  if (!IsFolder(folder) && mkdir(folder.c_str(), 0755) != 0 && !IsFolder(folder))
    return false;
  std::optional<sys::AtomicFile> file = sys::AtomicFile::Create(target);
  if (!file)
    return false;

  ProgressShown shown(options.progress, options.texts);
  const std::vector<const SongIndexEntry*> entries = db.Entries();
  Bar bar(options.progress, entries.size());

  // Titles in the order people read them; equal titles keep the index order.
  sys::Collator collator(sys::kDefaultCodePage);
  std::vector<std::string> keys(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    keys[i] = collator.SortKey(entries[i]->title);
    bar.Step(i + 1);
  }
  std::vector<size_t> order(entries.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  keys = {};

  if (options.progress)
    options.progress->SetText(1, options.texts.writing);
  bar.Set(1);

  size_t shift = 0;
  for (const SongIndexEntry* e : entries)
    shift =
        std::max(shift, Digits(e->number) > kNumberDigits ? Digits(e->number) - kNumberDigits : 0);

  // Each album file once: the songs of an album are formatted together into
  // their places of the sorted list.
  std::unordered_map<uint16_t, std::vector<size_t>> byAlbum;
  for (size_t place = 0; place < order.size(); ++place)
    byAlbum[entries[order[place]]->subAlbum].push_back(place);
  std::vector<std::string> lines(order.size());
  size_t done = 0;
  for (const auto& [number, places] : byAlbum) {
    const AlbumFile* album = db.GetAlbumByNumber(number);
    AlbumRecords records;
    if (album && records.Read(db.LinuxPath(album->path))) {
      for (size_t place : places) {
        const SongIndexEntry* e = entries[order[place]];
        const SongRecord* r = records.Find(e->number, e->position);
        if (!r)
          continue; // a record not found is left out
        lines[place] =
            options.form == SongListForm::kColumns
                ? ColumnLine(*r, options.texts, shift)
                : TabLine(*r, AlbumDatabase::SongFilePath(album->folder, FieldText(r->fileName)),
                          options.texts);
      }
    }
    done += places.size();
    bar.Step(done);
  }

  if (options.form == SongListForm::kColumns &&
      !(file->Write(ColumnHeading(options.texts, shift)) && file->Write(ColumnRule(shift))))
    return false;
  std::string chunk;
  for (const std::string& line : lines) {
    chunk += line;
    if (chunk.size() >= (1u << 16)) {
      if (!file->Write(chunk))
        return false;
      chunk.clear();
    }
  }
  return file->Write(chunk) && file->Commit();
}

std::vector<std::string> EditorCommand(const std::string& configIni, const std::string& listPath) {
  std::string editor = sys::IniGetString(configIni, "AlbManager", "WordEditor", "0");
  if (editor.empty() || editor[0] == '0' || sys::EqualIgnoringAsciiCase(editor, "Notepad.exe"))
    editor = "xdg-open";
  return {editor, listPath};
}

bool OpenSongListInEditor(const std::string& configIni, const std::string& listPath,
                          const Spawner& spawn) {
  return spawn && spawn(EditorCommand(configIni, listPath));
}

} // namespace album
