#include "album/recordsearch.h"

#include "album/tests/support/album_bytes.h"

#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

namespace {

using namespace album;
using namespace album::testing;

TEST(RecordSearch, FindsRecordsByNumberAndPosition) {
  Bytes shortRecord = LocalAlbumFixture(0);
  shortRecord.resize(shortRecord.size() - 1);
  const Bytes local = LocalAlbumFixture();
  struct Case {
    const char* what;
    Bytes file;
    uint32_t number, position;
    int found;
  };
  const Case cases[] = {
      {"direct: number at its position", LocalAlbumFixture(1), 9, 1, 1},
      {"direct: another number at the position is not found", LocalAlbumFixture(1), 9, 0, 0},
      {"direct: position past the records", LocalAlbumFixture(1), 9, 5, 0},
      {"direct: huge position", LocalAlbumFixture(1), 9, 0xFFFFFFFF, 0},
      {"scan: found whatever the position", LocalAlbumFixture(0), 9, 0, 1},
      {"scan: first record", LocalAlbumFixture(0), 7, 1, 1},
      {"scan: missing number", LocalAlbumFixture(0), 8, 0, 0},
      {"scan: short last record ends the scan", shortRecord, 9, 0, 0},
      {"internet direct", InternetAlbumFixture(false, 1), 7, 0, 1},
      {"internet direct, wrong number", InternetAlbumFixture(false, 1), 7, 1, 0},
      {"internet scan", InternetAlbumFixture(false, 0), 9, 0, 1},
      {"no album", MasterAlbumFixture(true), 7, 0, -1},
      {"header short", Bytes(local.begin(), local.begin() + 340), 7, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SongRecord r;
    ASSERT_EQ(FindSongRecord(SpanSource(c.file), c.number, c.position, r), c.found);
    if (c.found == 1) {
      EXPECT_EQ(r.number, c.number);
    }
  }
}

TEST(RecordSearch, ReadsOnlyTheFileItSearches) {
  sys::test::ScratchFolder dir;
  Bytes b = LocalAlbumFixture(1);
  sys::test::WriteFile(dir / "Song0001.alb", std::string(b.begin(), b.end()));
  SongRecord r;
  ASSERT_EQ(FindSongRecordInFile(dir / "Song0001.alb", 9, 1, r), 1);
  EXPECT_EQ(FieldText(r.title), "Blue Moon");
  EXPECT_EQ(FindSongRecordInFile(dir / "none.alb", 9, 1, r), -1);
}

} // namespace
