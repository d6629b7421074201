// Real MIDI and karaoke files of the shared corpus against the reference made
// by an independent parser, round trips through the writers, and acceptance
// of every written file by two other readers.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "core/midifile.h"
#include "core/songdata.h"
#include "core/songinfo.h"
#include "core/tests/support/midi_bytes.h"
#include "core/trackwalk.h"
#include "platform/sys/tests/support/command_run.h"

namespace core {
namespace {

namespace fs = std::filesystem;

QJsonValue J(const QJsonValue& v, const char* key) {
  return v.toObject().value(QLatin1String(key));
}
QJsonValue J(const QJsonObject& o, const char* key) {
  return o.value(QLatin1String(key));
}

fs::path CorpusDir() {
  return fs::path(VEXO_CORPUS_DIR) / "midi";
}

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(CorpusDir(), ec)) {
    auto ext = e.path().extension();
    if (e.is_regular_file() && (ext == ".mid" || ext == ".kar"))
      files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

#define SKIP_WITHOUT_CORPUS()                                                                      \
  do {                                                                                             \
    if (CorpusFiles().empty())                                                                     \
      GTEST_SKIP() << "no MIDI corpus at " << CorpusDir();                                         \
  } while (0)

std::optional<QJsonObject> Reference(const fs::path& file) {
  QFile f(QString::fromStdString((CorpusDir() / "reference" / file.filename()).string() + ".json"));
  if (!f.open(QIODevice::ReadOnly))
    return std::nullopt;
  auto doc = QJsonDocument::fromJson(f.readAll());
  if (!doc.isObject())
    return std::nullopt;
  return doc.object();
}

// The reference parsed the file strictly, so its figures are the file's.
bool StrictlyParsed(const QJsonObject& mido) {
  return J(mido, "error").isNull() && J(mido, "parsed_with").toString() == "strict";
}

std::string FromHex(const QString& hex) {
  QByteArray b = QByteArray::fromHex(hex.toLatin1());
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

// The reference's own tick-to-time map: 500000 per quarter until the first
// change, changes in tick order.
struct ReferenceTempo {
  std::vector<std::array<double, 3>> points; // tick, ms, tempo
  double tpq;
  ReferenceTempo(const QJsonArray& changes, double ticksPerQuarter) : tpq(ticksPerQuarter) {
    std::vector<std::pair<double, double>> c;
    for (const auto& v : changes)
      c.emplace_back(J(v, "tick").toDouble(), J(v, "us_per_quarter").toDouble());
    std::stable_sort(c.begin(), c.end(), [](auto& a, auto& b) { return a.first < b.first; });
    double tick0 = 0, ms0 = 0, tempo = 500000;
    points.push_back({0, 0, tempo});
    for (auto [tick, us] : c) {
      ms0 += (tick - tick0) * tempo / tpq / 1000.0;
      tick0 = tick;
      tempo = us;
      points.push_back({tick0, ms0, tempo});
    }
  }
  double Ms(double tick) const {
    size_t i = 0;
    while (i + 1 < points.size() && points[i + 1][0] <= tick)
      ++i;
    return points[i][1] + (tick - points[i][0]) * points[i][2] / tpq / 1000.0;
  }
};

int32_t WalkAll(const CSongData& song) {
  int32_t bad = 0;
  for (int16_t t = 0; t < song.TrackCount(); ++t)
    bad += TransmitTrack(song, t, [](int16_t, int32_t, int32_t, bool) {}) !=
           song.tracks[t].engineEventCount;
  return bad;
}

TEST(MidiCorpus, AgreesWithTheReference) {
  SKIP_WITHOUT_CORPUS();
  int compared = 0;
  for (const auto& file : CorpusFiles()) {
    const std::string name = file.filename().string();
    SCOPED_TRACE(name);
    CSongData song;
    int ok = ReadMidiFile(song, file.string());
    auto ref = Reference(file);
    if (!ref)
      continue;
    QJsonObject mido = J((*ref), "mido").toObject();
    bool strict = StrictlyParsed(mido);
    if (!ok) {
      EXPECT_FALSE(strict) << "a file the reference reads was refused";
      EXPECT_EQ(song.loaded, 0);
      EXPECT_EQ(song.TrackCount(), 0);
      continue;
    }
    EXPECT_EQ(WalkAll(song), 0);
    if (!strict)
      continue;
    ++compared;
    ASSERT_EQ(song.TrackCount(), J(mido, "n_tracks").toInt());

    int64_t notes = 0;
    for (const auto& t : J(mido, "tracks").toArray())
      notes += J(t, "note_on_count").toInt();
    EXPECT_EQ(CountNotes(song), notes);

    bool smpte = J(J(mido, "division"), "type").toString() == "smpte";
    double lengthMs = J(mido, "length_s_tempo_map").toDouble() * 1000.0;
    EXPECT_LE(std::abs(song.endMs - lengthMs), 1.0) << song.endMs << " vs " << lengthMs;
    if (smpte)
      continue; // its time is frames, not tempo: the length above is what counts

    // Tempo map: the reference's changes in tick order, 500000 from the start
    // when the file gives no tempo there, a value repeated without change dropped.
    QJsonArray changes = J(mido, "tempo_changes").toArray();
    std::vector<std::pair<int32_t, int32_t>> expected;
    for (const auto& v : changes)
      if (J(v, "us_per_quarter").toInt() != 0)
        expected.emplace_back(J(v, "tick").toInt(), J(v, "us_per_quarter").toInt());
    std::stable_sort(expected.begin(), expected.end(),
                     [](auto& a, auto& b) { return a.first < b.first; });
    if (expected.empty() || expected.front().first != 0)
      expected.insert(expected.begin(), {0, kMidiDefaultTempo});
    std::vector<std::pair<int32_t, int32_t>> deduped;
    for (auto e : expected)
      if (deduped.empty() || deduped.back().second != e.second)
        deduped.push_back(e);
    ReferenceTempo refTempo(changes, song.ticksPerQuarter);
    ASSERT_EQ(song.tempoMap.size(), deduped.size());
    for (size_t i = 0; i < deduped.size(); ++i) {
      EXPECT_EQ(song.tempoMap[i].tick, deduped[i].first) << i;
      EXPECT_EQ(song.tempoMap[i].usPerQuarter, deduped[i].second) << i;
      EXPECT_LE(std::abs(song.tempoMap[i].ms - refTempo.Ms(deduped[i].first)), 1.0) << i;
    }

    // Text events: content, place and time.
    std::vector<std::string> want, got;
    std::vector<double> wantMs;
    for (const auto& v : J(mido, "text_events").toArray()) {
      int type = J(v, "type_byte").toInt();
      if (type < 1 || type > 7)
        continue;
      want.push_back(std::to_string(J(v, "track").toInt()) + ":" +
                     std::to_string(J(v, "tick").toInt()) + ":" + std::to_string(type) + ":" +
                     FromHex(J(v, "hex").toString()));
      wantMs.push_back(J(v, "time_ms").toDouble());
    }
    std::vector<uint32_t> gotMs;
    for (int16_t t = 0; t < song.TrackCount(); ++t)
      for (const auto& e : song.tracks[t].events)
        if (IsTextKind(e.kind)) {
          got.push_back(std::to_string(t) + ":" + std::to_string(e.tick) + ":" +
                        std::to_string(e.kind - 64) + ":" + std::string(song.PoolText(e)));
          gotMs.push_back(e.ms);
        }
    ASSERT_EQ(got, want);
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_LE(std::abs(gotMs[i] - wantMs[i]), 1.0) << got[i];
  }
  EXPECT_GE(compared, 20);
}

// The reference shows the soft-karaoke header text in the file.
bool HasKaraokeHeader(const QJsonObject& mido) {
  return J(J(mido, "kar"), "kmidi_header").toBool();
}

// The reference's words track: in a file with the karaoke header, the track
// with the most texts that are sung (not "@" information); in any other the
// third track.
int ReferenceWordsTrack(const QJsonObject& mido) {
  if (!HasKaraokeHeader(mido))
    return 2;
  std::map<int, int> sung;
  for (const auto& v : J(mido, "text_events").toArray())
    if (J(v, "type_byte").toInt() == 1 && !FromHex(J(v, "hex").toString()).starts_with("@"))
      ++sung[J(v, "track").toInt()];
  int best = 2;
  for (auto [track, n] : sung)
    if (n > sung[best])
      best = track;
  return best;
}

// The reference's syllables ("tick:text"), their times and the title, as the
// karaoke reader takes them from the words track.
struct ReferenceLyrics {
  std::vector<std::string> syllables;
  std::vector<double> ms;
  std::optional<std::string> title;
};

ReferenceLyrics LyricsOf(const QJsonObject& mido, int wordsTrack) {
  ReferenceLyrics r;
  for (const auto& v : J(mido, "text_events").toArray()) {
    if (J(v, "track").toInt() != wordsTrack || J(v, "type_byte").toInt() != 1)
      continue;
    std::string text = FromHex(J(v, "hex").toString());
    std::string syllable = text;
    if (!text.empty() && text[0] == '@') {
      if (text.size() >= 2 && text[1] == 'T' && !r.title)
        r.title = text.substr(2, kTitleSize);
      continue;
    }
    if (!text.empty() && (text[0] == '/' || text[0] == '\\')) {
      syllable = text.substr(1);
      if (text[0] == '/' && syllable.empty())
        continue;
    }
    r.syllables.push_back(std::to_string(J(v, "tick").toInt()) + ":" + syllable);
    r.ms.push_back(J(v, "time_ms").toDouble());
  }
  return r;
}

std::vector<std::string> SongSyllables(const CSongData& song, std::vector<uint32_t>* ms = nullptr) {
  std::vector<std::string> got;
  if (!song.lyricsPresent || !song.HasTrack(song.lyricTrack))
    return got;
  for (const auto& e : song.tracks[song.lyricTrack].events)
    if (e.kind == kKindSyllable) {
      got.push_back(std::to_string(e.tick) + ":" +
                    std::string(song.SyllableText(song.lyricTrack, e)));
      if (ms)
        ms->push_back(e.ms);
    }
  return got;
}

TEST(MidiCorpus, KaraokeLyricsAgreeWithTheReference) {
  SKIP_WITHOUT_CORPUS();
  int withLyrics = 0;
  for (const auto& file : CorpusFiles()) {
    SCOPED_TRACE(file.filename().string());
    auto ref = Reference(file);
    if (!ref || !StrictlyParsed(J((*ref), "mido").toObject()))
      continue;
    QJsonObject mido = J((*ref), "mido").toObject();
    if (J(mido, "n_tracks").toInt() < 3 && !HasKaraokeHeader(mido))
      continue;
    CSongData song;
    ASSERT_EQ(ReadKaraokeFile(song, file.string()), 1);
    const ReferenceLyrics want = LyricsOf(mido, ReferenceWordsTrack(mido));
    EXPECT_EQ(song.title, want.title.value_or(""));
    ASSERT_TRUE(song.HasTrack(song.lyricTrack));
    std::vector<uint32_t> gotMs;
    std::vector<std::string> got = SongSyllables(song, &gotMs);
    EXPECT_EQ(got, want.syllables);
    for (size_t i = 0; i < std::min(got.size(), want.syllables.size()); ++i)
      EXPECT_LE(std::abs(gotMs[i] - want.ms[i]), 1.0) << got[i];
    withLyrics += !want.syllables.empty();
    EXPECT_EQ(WalkAll(song), 0);
  }
  EXPECT_GE(withLyrics, 7);
}

// Loaded as a user loads it, by its name: every file with the karaoke header,
// ".mid" or ".kar", shows the words of its words track; every other file is
// read as plain MIDI, as the plain reader reads it.
TEST(MidiCorpus, KaraokeFilesAreFoundByTheHeaderTheyHoldWhateverTheirName) {
  SKIP_WITHOUT_CORPUS();
  int karaoke = 0, plain = 0;
  for (const auto& file : CorpusFiles()) {
    SCOPED_TRACE(file.filename().string());
    auto ref = Reference(file);
    if (!ref || !StrictlyParsed(J((*ref), "mido").toObject()))
      continue;
    QJsonObject mido = J((*ref), "mido").toObject();
    CSongData song;
    ASSERT_EQ(song.LoadByExtension(file.string()), 1);
    if (HasKaraokeHeader(mido)) {
      ++karaoke;
      EXPECT_EQ(song.saveKind, kFileKaraoke);
      const ReferenceLyrics want = LyricsOf(mido, ReferenceWordsTrack(mido));
      std::vector<std::string> got = SongSyllables(song);
      ASSERT_FALSE(want.syllables.empty());
      ASSERT_EQ(got.size(), want.syllables.size());
      auto tick = [](const std::string& s) { return s.substr(0, s.find(':')); };
      EXPECT_EQ(tick(got.front()), tick(want.syllables.front()));
      EXPECT_EQ(tick(got.back()), tick(want.syllables.back()));
      EXPECT_GT(song.tracks[song.lyricTrack].lineCount, 0);
      // Named ".mid" or ".kar", the song is the same.
      CSongData asKaraoke;
      ASSERT_EQ(ReadKaraokeFile(asKaraoke, file.string()), 1);
      EXPECT_EQ(EncodeKaraokeMidiFile(song), EncodeKaraokeMidiFile(asKaraoke));
    } else if (file.extension() == ".mid") {
      ++plain;
      EXPECT_EQ(song.saveKind, kFileMidi);
      EXPECT_EQ(song.lyricsPresent, 0);
      CSongData asMidi;
      ASSERT_EQ(ReadMidiFile(asMidi, file.string()), 1);
      EXPECT_EQ(EncodeMidiFile(song), EncodeMidiFile(asMidi));
    }
  }
  EXPECT_GE(karaoke, 7);
  EXPECT_GE(plain, 20);
}

bool KeptKind(uint8_t kind) {
  return kind <= kKindKeySignature || (kind >= kKindSysEx && kind <= kKindOtherMeta) ||
         IsTextKind(kind);
}
bool LyricKind(uint8_t kind) {
  return kind >= kKindSyllable && kind <= kKindNextLine;
}

// Written files of the corpus, kept for the acceptance test.
struct Written {
  std::string file;
  int64_t notes;
};

std::vector<Written> WriteAll(const testing::TempFolder& dir, bool check) {
  std::vector<Written> written;
  for (const auto& file : CorpusFiles()) {
    const std::string name = file.filename().string();
    SCOPED_TRACE(name);
    for (bool karaoke : {false, true}) {
      CSongData song;
      if (!(karaoke ? ReadKaraokeFile(song, file.string()) : ReadMidiFile(song, file.string())))
        continue;
      auto first = karaoke ? EncodeKaraokeMidiFile(song) : EncodeMidiFile(song);
      EXPECT_TRUE(first);
      if (!first)
        continue;
      std::string out = dir.Path(name + (karaoke ? ".kar.mid" : ".mid"));
      EXPECT_TRUE(testing::WriteFileBytes(out, *first));
      written.push_back({out, CountNotes(song)});
      if (!check)
        continue;
      CSongData again;
      EXPECT_EQ(karaoke ? ReadKaraokeBytes(again, *first) : ReadMidiBytes(again, *first), 1);
      // A file of fewer than three tracks reads as plain MIDI; written as a
      // karaoke file it gains the karaoke tracks, so only its second save compares.
      bool sameLayout = !karaoke || song.saveKind == kFileKaraoke;
      if (sameLayout) {
        EXPECT_EQ(again.TrackCount(), song.TrackCount());
      }
      for (int t = 0; sameLayout && t < std::min(song.TrackCount(), again.TrackCount()); ++t) {
        bool lyric = karaoke && t == song.lyricTrack;
        auto keep = lyric ? LyricKind : KeptKind;
        auto a = testing::Digest(song, t, keep), b = testing::Digest(again, t, keep);
        EXPECT_EQ(a, b) << (karaoke ? "karaoke" : "midi") << " track " << t << "\n"
                        << testing::ToString(a).substr(0, 2000) << "---\n"
                        << testing::ToString(b).substr(0, 2000);
      }
      EXPECT_EQ(again.title, song.title);
      if (sameLayout) {
        EXPECT_EQ(again.lyricTrack, song.lyricTrack);
        EXPECT_EQ(again.endTick, song.endTick);
      }
      auto second = karaoke ? EncodeKaraokeMidiFile(again) : EncodeMidiFile(again);
      EXPECT_TRUE(second && *second == *first)
          << (karaoke ? "karaoke" : "midi") << " second save differs";
    }
  }
  return written;
}

TEST(MidiCorpus, RoundTripsKeepEventsAndSecondSavesAreIdentical) {
  SKIP_WITHOUT_CORPUS();
  testing::TempFolder dir;
  EXPECT_GE(WriteAll(dir, true).size(), 60u);
}

TEST(MidiCorpus, OtherReadersAcceptEveryWrittenFile) {
  SKIP_WITHOUT_CORPUS();
  if (systest::RunCommand("/usr/bin/python3 -c 'import mido' 2>/dev/null").status != 0 ||
      !fs::exists("/usr/bin/midicsv"))
    GTEST_SKIP() << "python3-mido or midicsv missing";
  testing::TempFolder dir;
  std::vector<Written> written = WriteAll(dir, false);
  ASSERT_FALSE(written.empty());

  // mido, strict: every file parses and holds the same notes.
  std::string script = dir.Path("check.py");
  const std::string check = "import sys, mido\n"
                            "for p in sys.argv[1:]:\n"
                            "    try:\n"
                            "        f = mido.MidiFile(p)\n"
                            "        n = sum(1 for t in f.tracks for m in t\n"
                            "                if m.type == 'note_on' and m.velocity > 0)\n"
                            "        print('ok', n, p)\n"
                            "    except Exception as e:\n"
                            "        print('error', type(e).__name__, e, p)\n";
  ASSERT_TRUE(testing::WriteFileBytes(script, testing::Bytes(check.begin(), check.end())));
  std::string command = "/usr/bin/python3 " + script;
  for (const auto& w : written)
    command += " '" + w.file + "'";
  const systest::CommandRun run = systest::RunCommand(command, systest::Stderr::WithOutput);
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string& out = run.out;
  std::map<std::string, std::string> lines;
  for (size_t pos = 0; pos < out.size();) {
    size_t end = out.find('\n', pos);
    std::string line = out.substr(pos, end - pos);
    pos = end == std::string::npos ? out.size() : end + 1;
    size_t path = line.rfind(' ');
    if (path != std::string::npos)
      lines[line.substr(path + 1)] = line.substr(0, path);
  }
  for (const auto& w : written) {
    EXPECT_EQ(lines[w.file], "ok " + std::to_string(w.notes)) << w.file;
    const systest::CommandRun csv = systest::RunCommand(
        "/usr/bin/midicsv '" + w.file + "' /dev/null", systest::Stderr::WithOutput);
    EXPECT_EQ(csv.status, 0) << w.file << ": " << csv.out;
  }
}

} // namespace
} // namespace core
