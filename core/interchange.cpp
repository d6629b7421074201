// The song interchange text: the song's information and its lyric track
// written as lines a text editor can change, and such lines read back into
// the song, replacing the lyric track or other tracks. Texts stay in the
// song's code-page bytes; lines end in LF.
#include "core/songdata.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdio>
#include <fstream>
#include <map>
#include <new>
#include <optional>
#include <vector>

#include "core/songfile.h"
#include "platform/sys/atomic_file.h"

namespace core {
namespace {

constexpr std::string_view kHeader = "/Velmorith_Interchange_Format";
constexpr size_t kLineLimit = 256;    // bytes of a line read; the rest is discarded
constexpr size_t kKeywordLimit = 256; // bytes of the keyword read

// The information lines: their keyword, the field and its width.
struct InfoField {
  std::string_view word;
  std::string CSongData::*field; // nullptr: the keyword
  size_t width;
};
constexpr InfoField kInfoFields[] = {
    {"/Title", &CSongData::title, kTitleSize},
    {"/Lyric", &CSongData::lyricist, kInfoTextSize},
    {"/Duzuvevi", &CSongData::duzuvevi, kInfoTextSize},
    {"/Singer", &CSongData::singer, kInfoTextSize},
    {"/Midi", &CSongData::arranger, kInfoTextSize},
    {"/LyricSync", &CSongData::lyricSync, kInfoTextSize},
    {"/Description", &CSongData::description, kInfoTextSize},
    {"/Keyword", nullptr, kKeywordLimit},
};

// A text of the file on a line of its own: a CR or LF in it would end the
// line early and be read as a line of its own.
void AppendOneLine(std::string& out, std::string_view text) {
  for (char c : text)
    out.push_back(c == '\r' || c == '\n' ? ' ' : c);
}

void AppendNumber(std::string& out, const char* format, long long value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, value);
  out += buffer;
}

int64_t AsInt32(uint32_t v) {
  return std::min<int64_t>(v, INT32_MAX);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// text cut to at most limit bytes; a cut never leaves half a double-byte
// character at the end, a text within the limit stays whole.
std::string_view Cut(std::string_view text, size_t limit, int codePage) {
  return text.size() <= limit ? text : sys::CutBytes(text, limit, codePage);
}

// The words of a line, split at blanks.
std::vector<std::string_view> Words(std::string_view line, size_t most) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (words.size() < most) {
    while (pos < line.size() && IsBlank(line[pos]))
      ++pos;
    if (pos == line.size())
      break;
    size_t end = pos;
    while (end < line.size() && !IsBlank(line[end]))
      ++end;
    words.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

std::string_view FirstWord(std::string_view line) {
  auto words = Words(line, 1);
  return words.empty() ? std::string_view{} : words[0];
}

// The word of an information or section line: its first word up to a colon,
// so that "/Title:x" reads as "/Title" does.
std::string_view Keyword(std::string_view line) {
  std::string_view word = FirstWord(line);
  return word.substr(0, word.find(':'));
}

// Everything after the line's first colon; nullopt without one.
std::optional<std::string_view> TextAfterColon(std::string_view line) {
  size_t colon = line.find(':');
  if (colon == std::string_view::npos)
    return std::nullopt;
  return line.substr(colon + 1);
}

// "/Track", alone or with the track's number joined to it.
bool IsTrackWord(std::string_view word) {
  if (!word.starts_with("/Track"))
    return false;
  word.remove_prefix(6);
  return std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<int64_t> ParseNumber(std::string_view word) {
  int64_t v = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
  if (ec != std::errc() || end != word.data() + word.size())
    return std::nullopt;
  return v;
}

// The lines of a text as the importer reads them: a byte-order mark before
// the first is skipped, a CR before a line's end dropped, and a line cut at
// kLineLimit bytes (never in half a double-byte character).
class LineReader {
public:
  LineReader(std::string_view text, int codePage) : text_(text), codePage_(codePage) {
    if (text_.starts_with("\xEF\xBB\xBF"))
      text_.remove_prefix(3);
  }
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size())
      return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos)
      end = text_.size();
    line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    ++number_;
    if (line.ends_with('\r'))
      line.remove_suffix(1);
    line = Cut(line, kLineLimit, codePage_);
    return true;
  }
  int Number() const { return number_; }

private:
  std::string_view text_;
  int codePage_;
  size_t pos_ = 0;
  int number_ = 0;
};

// A track section read whole: its events sorted, its syllables' text and the
// bytes its images add to the data pool (the image events' data are offsets
// into images until the section is stored).
struct Section {
  Track track;
  std::string images;
  bool timingReplaced = false; // the replaced track held tempo or signature events
};

// What a checked text changes in the song.
struct Import {
  std::array<std::optional<std::string>, std::size(kInfoFields)> info;
  std::map<int16_t, Section> sections; // the last section read into each track
  int16_t appended = -1;               // the track a lyric section adds, if any
  int16_t lyric = -1;                  // the track of the last lyric section, if any
  int count = 0;                       // sections read
};

std::string AtLine(int line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

class Reader {
public:
  Reader(const CSongData& song, std::string_view text, int16_t track, int codePage)
      : song_(song), lines_(text, codePage), track_(track), codePage_(codePage) {}

  // The changes of the whole text, or nullopt with error_ set.
  std::optional<Import> Read() {
    std::string_view line;
    bool header = false;
    while (!header && lines_.Next(line)) {
      std::string_view word = FirstWord(line);
      if (word.empty() || word.starts_with(';'))
        continue;
      if (word != kHeader)
        return Fail(AtLine(lines_.Number(), "not an interchange text (the first line is not " +
                                                std::string(kHeader) + ")"));
      header = true;
    }
    if (!header)
      return Fail("not an interchange text (no " + std::string(kHeader) + " line)");
    count_ = song_.TrackCount();
    hasLyrics_ = song_.lyricsPresent && song_.lyricTrack > 0 && song_.HasTrack(song_.lyricTrack);
    while (lines_.Next(line)) {
      std::string_view word = Keyword(line);
      if (!word.starts_with('/'))
        continue;
      if (word == "/LyricTrack" || IsTrackWord(word)) {
        if (!ReadSection(line, word == "/LyricTrack"))
          return std::nullopt;
        continue;
      }
      for (size_t f = 0; f < std::size(kInfoFields); ++f) {
        if (word != kInfoFields[f].word)
          continue;
        auto text = TextAfterColon(line);
        if (!text)
          return Fail(AtLine(lines_.Number(), std::string(word) + " needs ':' before its text"));
        std::string_view value = text->substr(0, text->find('\0'));
        result_.info[f] = std::string(Cut(value, kInfoFields[f].width, codePage_));
      }
    }
    return std::move(result_);
  }

  const std::string& Error() const { return error_; }

private:
  std::nullopt_t Fail(std::string what) {
    error_ = std::move(what);
    return std::nullopt;
  }

  // The track a section replaces. A lyric section replaces the given track
  // when the song has lyrics (its lyric track when the given track is the
  // conductor track), else a track is added for it; a second lyric section
  // replaces the first one's track. A track section reaches the track
  // numbered after its word, or the given track without a number in range.
  std::optional<int16_t> Target(std::string_view line, bool lyric) {
    if (lyric) {
      if (result_.lyric >= 0)
        return result_.lyric;
      if (hasLyrics_)
        return result_.lyric = track_ > 0 ? track_ : song_.lyricTrack;
      if (count_ >= kMaxInsertableTracks)
        return Fail(AtLine(lines_.Number(), "no track can be added for the lyrics (the song has " +
                                                std::to_string(count_) + " tracks)"));
      result_.appended = count_++;
      return result_.lyric = result_.appended;
    }
    std::string_view rest = line.substr(line.find("/Track") + 6);
    auto words = Words(rest, 1);
    std::optional<int64_t> n = words.empty() ? std::nullopt : ParseNumber(words[0]);
    return n && *n >= 0 && *n < count_ ? static_cast<int16_t>(*n) : track_;
  }

  bool ReadSection(std::string_view head, bool lyric) {
    const int headLine = lines_.Number();
    auto target = Target(head, lyric);
    if (!target)
      return false;
    Section section;
    Track& t = section.track;
    std::vector<SongEvent>& events = t.events;
    std::string_view line;
    bool ended = false;
    while (!ended && lines_.Next(line)) {
      std::string_view word = FirstWord(line);
      if (word.empty() || word.starts_with(';'))
        continue;
      if (Keyword(line) == "/End") {
        ended = true;
        continue;
      }
      std::optional<SongEvent> e = ReadEvent(line, section);
      if (!error_.empty())
        return false;
      if (!e)
        continue;
      if (section.track.text.size() > kTextPoolLimit) {
        Fail("the syllables of the section at line " + std::to_string(headLine) + " pass " +
             std::to_string(kTextPoolLimit) + " bytes");
        return false;
      }
      try {
        events.push_back(*e);
      } catch (const std::bad_alloc&) {
        Fail("out of memory");
        return false;
      }
    }
    // Every event stands at its sorted place; events of one tick and order
    // keep the order of their lines.
    std::stable_sort(events.begin(), events.end(), SortsBefore);
    if (song_.HasTrack(*target)) {
      const Track& old = song_.tracks[*target];
      t.port = old.port;
      section.timingReplaced = std::any_of(old.events.begin(), old.events.end(), [](auto& e) {
        return e.kind == kKindTimeSignature || e.kind == kKindTempo || e.kind == kKindKeySignature;
      });
    }
    t.eventCapacity = std::max<int32_t>(128, t.EventCount());
    result_.sections[*target] = std::move(section);
    ++result_.count;
    return true;
  }

  // One event line; nullopt for the kinds not read (and with error_ set for
  // a malformed line).
  std::optional<SongEvent> ReadEvent(std::string_view line, Section& section) {
    const int at = lines_.Number();
    auto words = Words(line, 4);
    if (words.size() < 3)
      return Fail(AtLine(at, "an event line holds a tick, a duration and a kind (a section ends "
                             "with /End)"));
    static constexpr std::string_view kNames[] = {"tick", "duration", "kind"};
    int64_t v[3];
    for (int i = 0; i < 3; ++i) {
      auto n = ParseNumber(words[i]);
      if (!n || *n < 0 || (i < 2 && *n > INT32_MAX))
        return Fail(AtLine(at, "the " + std::string(kNames[i]) + " '" + std::string(words[i]) +
                                   "' is no number from 0 to " +
                                   (i < 2 ? std::to_string(INT32_MAX) : std::string("255"))));
      v[i] = *n;
    }
    if (v[2] > 255)
      return Fail(
          AtLine(at, "the kind '" + std::string(words[2]) + "' is no number from 0 to 255"));
    SongEvent e;
    e.tick = static_cast<uint32_t>(v[0]);
    e.kind = static_cast<uint8_t>(v[2]);
    switch (e.kind) {
    case kKindSyllable: {
      auto text = TextAfterColon(line);
      if (!text)
        return Fail(AtLine(at, "a syllable needs ':' before its text"));
      e.duration = static_cast<uint32_t>(v[1]);
      e.data = static_cast<uint32_t>(section.track.text.size()) |
               static_cast<uint32_t>(text->size()) << 16;
      if (!Append(section.track.text, *text))
        return std::nullopt;
      return e;
    }
    case kKindLineBreak:
    case kKindNextLine:
      return e;
    case kKindImage: {
      auto text = TextAfterColon(line);
      if (!text)
        return Fail(AtLine(at, "an image needs ':' before its text"));
      e.data = static_cast<uint32_t>(section.images.size());
      e.length = static_cast<uint16_t>(text->size() + 1);
      if (!Append(section.images, *text) || !Append(section.images, std::string_view("", 1)))
        return std::nullopt;
      return e;
    }
    case kKindSinger: {
      auto n = words.size() > 3 ? ParseNumber(words[3]) : std::nullopt;
      if (!n || *n < -128 || *n > 127)
        return Fail(AtLine(at, "a singer line ends in a singer number from -128 to 127"));
      e.duration = static_cast<uint32_t>(v[1]);
      e.data = static_cast<uint32_t>(static_cast<int32_t>(*n));
      return e;
    }
    default:
      return std::nullopt;
    }
  }

  bool Append(std::string& to, std::string_view bytes) {
    try {
      to.append(bytes);
      return true;
    } catch (const std::bad_alloc&) {
      Fail("out of memory");
      return false;
    }
  }

  const CSongData& song_;
  LineReader lines_;
  int16_t track_;
  int codePage_;
  int16_t count_ = 0;
  bool hasLyrics_ = false;
  Import result_;
  std::string error_;
};

} // namespace

std::string CSongData::InterchangeText(int32_t& events) const {
  events = 0;
  std::string out;
  out += kHeader;
  out += "\n\n;Song Informations\n";
  for (const auto& f : kInfoFields) {
    std::string_view value = f.field   ? std::string_view(this->*f.field)
                             : keyword ? std::string_view(*keyword)
                                       : std::string_view();
    out += f.word;
    out.append(13 - f.word.size(), ' ');
    out += ':';
    AppendOneLine(out, value);
    out += '\n';
  }
  out += '\n';
  if (lyricTrack <= 0 || !HasTrack(lyricTrack))
    return out;
  out += "/LyricTrack\n";
  for (int32_t i = 0; i < tracks[lyricTrack].EventCount(); ++i) {
    const SongEvent& e = tracks[lyricTrack].events[i];
    AppendNumber(out, "%08lli", AsInt32(e.tick));
    AppendNumber(out, "   %06lli", AsInt32(e.duration));
    AppendNumber(out, "   %03lli", e.kind);
    switch (e.kind) {
    case kKindSyllable:
      out += "  :";
      AppendOneLine(out, SyllableText(lyricTrack, e));
      break;
    case kKindLineBreak:
      out += " ; -- Line Break";
      break;
    case kKindNextLine:
      out += " ; -- Prepare Line";
      break;
    case kKindImage:
      out += "  :";
      AppendOneLine(out, PoolText(e));
      break;
    case kKindSinger:
      // The singer byte, as song files store it.
      AppendNumber(out, "   %lli", static_cast<int8_t>(e.data & 0xFF));
      break;
    default: {
      out += "  :";
      // The event list's row: its kind, channel and values.
      auto d = FormatEventText(lyricTrack, i);
      std::string row;
      for (const std::string* s : {&d->kind, &d->channel, &d->value1, &d->value2, &d->value3})
        if (!s->empty())
          row += (row.empty() ? "" : " ") + *s;
      AppendOneLine(out, row);
      break;
    }
    }
    out += '\n';
    ++events;
  }
  out += "/End\n";
  return out;
}

int32_t CSongData::ExportInterchange(const std::string& file) const {
  if (!loaded)
    return 0;
  int32_t events = 0;
  std::string text;
  try {
    text = InterchangeText(events);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  // The old file stays whole when the new one cannot be written.
  return sys::ReplaceFileAtomically(file, text) ? events : 0;
}

int CSongData::ImportInterchange(const std::string& file, int16_t track, std::string* error,
                                 int codePage) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
  std::string text;
  if (size >= 0 && static_cast<uint64_t>(size) <= kMaxSongFileSize) {
    try {
      text.resize(static_cast<size_t>(size));
      in.seekg(0);
      in.read(text.data(), size);
    } catch (const std::bad_alloc&) {
      in.setstate(std::ios::failbit);
    }
  }
  if (size < 0 || static_cast<uint64_t>(size) > kMaxSongFileSize || !in) {
    if (error)
      *error = size > 0 ? "the file is too large or cannot be read" : "the file cannot be read";
    return 0;
  }
  return ImportInterchangeText(text, track, error, codePage);
}

int CSongData::ImportInterchangeText(std::string_view text, int16_t track, std::string* error,
                                     int codePage) {
  auto fail = [&](std::string what) {
    if (error)
      *error = std::move(what);
    return 0;
  };
  if (!loaded)
    return fail("no song is loaded");
  if (!HasTrack(track))
    return fail("the song has no track " + std::to_string(track) + " (tracks 0-" +
                std::to_string(TrackCount() - 1) + ")");
  std::optional<Import> changes;
  size_t images = 0;
  {
    Reader reader(*this, text, track, codePage);
    try {
      changes = reader.Read();
    } catch (const std::bad_alloc&) {
      return fail("out of memory");
    }
    if (!changes)
      return fail(reader.Error());
  }
  for (const auto& [at, section] : changes->sections)
    images += section.images.size();
  // Everything that can fail comes before the first change to the song.
  try {
    dataPool.reserve(dataPool.size() + images);
    if (changes->appended >= 0)
      tracks.reserve(tracks.size() + 1);
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  }

  bool changed = changes->count > 0;
  for (size_t f = 0; f < std::size(kInfoFields); ++f) {
    auto& value = changes->info[f];
    if (!value)
      continue;
    if (kInfoFields[f].field) {
      std::string& field = this->*kInfoFields[f].field;
      changed |= field != *value;
      field = std::move(*value);
    } else {
      // An empty keyword is none, as the song file reads it.
      std::optional<std::string> fresh;
      if (!value->empty())
        fresh = std::move(*value);
      changed |= keyword != fresh;
      keyword = std::move(fresh);
    }
  }
  if (changes->appended >= 0)
    tracks.emplace_back();
  bool timing = false;
  for (auto& [at, section] : changes->sections) {
    const uint32_t base = static_cast<uint32_t>(dataPool.size());
    dataPool.insert(dataPool.end(), section.images.begin(), section.images.end());
    for (auto& e : section.track.events)
      if (e.kind == kKindImage)
        e.data += base;
    tracks[at] = std::move(section.track);
    timing |= section.timingReplaced;
    // The melody is gone with its track's notes.
    if (melodyTrack == at)
      melodyTrack = 0;
  }
  if (changes->lyric >= 0)
    lyricTrack = changes->lyric;
  if (timing)
    RetimeSong();
  for (auto& [at, section] : changes->sections) {
    ComputeEventTimes(at);
    RebuildLyricLines(at);
    UpdateTrack(at);
    ComputeSummary(at);
  }
  // A rebuild marks lyrics present; only a lyric track has them.
  lyricsPresent = lyricTrack > 0 ? 1 : 0;
  if (changed)
    MarkEdited();
  if (error)
    error->clear();
  return changes->count;
}

} // namespace core
