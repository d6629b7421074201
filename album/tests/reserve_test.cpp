#include "album/reserve.h"

#include "album/albumdatabase.h"
#include "album/tests/support/songlist_catalogue.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace album;

struct Notice {
  int kind;
  int32_t number;
  int position;
  bool operator==(const Notice&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Notice& n) {
  return os << "{" << n.kind << "," << n.number << "," << n.position << "}";
}

// One step on the queue: add (A), remove by number (R), remove last (L),
// clear (C), take at a position (T, the value is the position).
struct Op {
  char what;
  int32_t value = 0;
  int result = -1; // Remove/RemoveLast result, or the number taken (0: none)
};

struct QueueCase {
  const char* what;
  std::vector<Op> ops;
  std::vector<int32_t> queue;
  int32_t current;
  std::vector<Notice> notices;
};

std::vector<int32_t> Numbers(ReservationQueue& q) {
  std::vector<int32_t> out;
  const uint8_t* block = q.Block();
  if (!block)
    return out;
  uint32_t count;
  std::memcpy(&count, block, 4);
  const uint8_t* at = block + 4;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t number;
    uint32_t length;
    std::memcpy(&number, at, 4);
    std::memcpy(&length, at + 52, 4);
    out.push_back(number);
    at += 56 + length;
  }
  return out;
}

TEST(ReservationQueue, OperationsKeepTheOrderAndTellEachRealChange) {
  const std::vector<QueueCase> cases = {
      {"a double add then remove by number removes the first",
       {{'A', 5}, {'A', 7}, {'A', 5}, {'R', 5, 1}},
       {7, 5},
       0,
       {{4, 5, 1}, {4, 7, 2}, {4, 5, 3}, {1, 5, 1}}},
      {"take 1 of 1 empties the queue and sets the current song; an add starts anew",
       {{'A', 9}, {'T', 1, 9}, {'A', 3}},
       {3},
       9,
       {{4, 9, 1}, {0, 9, 1}, {4, 3, 1}}},
      {"take the last keeps the rest and the next add follows it",
       {{'A', 1}, {'A', 2}, {'A', 3}, {'T', 3, 3}, {'A', 4}},
       {1, 2, 4},
       0,
       {{4, 1, 1}, {4, 2, 2}, {4, 3, 3}, {0, 3, 3}, {4, 4, 3}}},
      {"take from the middle",
       {{'A', 1}, {'A', 2}, {'A', 3}, {'T', 2, 2}},
       {1, 3},
       0,
       {{4, 1, 1}, {4, 2, 2}, {4, 3, 3}, {0, 2, 2}}},
      {"a take out of range changes and tells nothing",
       {{'A', 1}, {'T', 0, 0}, {'T', 2, 0}, {'T', -1, 0}},
       {1},
       0,
       {{4, 1, 1}}},
      {"remove last, then on an empty queue",
       {{'A', 1}, {'A', 2}, {'L', 0, 1}, {'L', 0, 1}, {'L', 0, 0}},
       {},
       0,
       {{4, 1, 1}, {4, 2, 2}, {2, 2, 2}, {2, 1, 1}}},
      {"remove a number not queued tells nothing", {{'A', 1}, {'R', 2, 0}}, {1}, 0, {{4, 1, 1}}},
      {"clear empties; a clear of an empty queue tells nothing",
       {{'A', 1}, {'A', -2}, {'C'}, {'C'}},
       {},
       0,
       {{4, 1, 1}, {4, -2, 2}, {3, 0, 0}}},
      {"the current song stays through later takes from other places",
       {{'A', 1}, {'A', 2}, {'T', 1, 1}, {'A', 3}, {'T', 2, 3}},
       {2},
       1,
       {{4, 1, 1}, {4, 2, 2}, {0, 1, 1}, {4, 3, 2}, {0, 3, 2}}},
  };
  for (const QueueCase& c : cases) {
    ReservationQueue q;
    std::vector<Notice> notices;
    q.SetNotice([&](int kind, int32_t number, int position) {
      notices.push_back({kind, number, position});
    });
    for (const Op& op : c.ops) {
      std::string title = "T" + std::to_string(op.value);
      switch (op.what) {
      case 'A':
        EXPECT_TRUE(q.Add(op.value, title, "C:\\s\\" + title + ".vx3")) << c.what;
        break;
      case 'R':
        EXPECT_EQ(q.Remove(op.value), op.result) << c.what;
        break;
      case 'L':
        EXPECT_EQ(q.RemoveLast(), op.result) << c.what;
        break;
      case 'C':
        q.Clear();
        break;
      case 'T': {
        const uint8_t* r = q.Take(op.value);
        int32_t number = 0;
        if (r)
          std::memcpy(&number, r, 4);
        EXPECT_EQ(r != nullptr, op.result != 0) << c.what;
        EXPECT_EQ(number, op.result) << c.what;
        break;
      }
      }
    }
    EXPECT_EQ(Numbers(q), c.queue) << c.what;
    EXPECT_EQ(q.Count(), c.queue.size()) << c.what;
    EXPECT_EQ(q.CurrentNumber(), c.current) << c.what;
    EXPECT_EQ(notices, c.notices) << c.what;
  }
}

std::vector<uint8_t> U32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

// A text field of width bytes, zero-padded.
std::vector<uint8_t> Text(const std::string& text, size_t width) {
  std::vector<uint8_t> out(text.begin(), text.end());
  out.resize(width, 0);
  return out;
}

TEST(ReservationQueue, RecordBytesAreNumberTitleLengthAndPath) {
  ReservationQueue q;
  q.Add(12, "Arirang", "C:\\songs\\a.vx3");
  const uint8_t* r = q.Take(1);
  ASSERT_NE(r, nullptr);
  std::vector<uint8_t> want = U32(12);
  Append(want, Text("Arirang", 48));
  Append(want, U32(15)); // 14 bytes of path and its zero
  Append(want, Text("C:\\songs\\a.vx3", 256));
  ASSERT_EQ(want.size(), kReservationRecordSize);
  EXPECT_EQ(std::vector<uint8_t>(r, r + kReservationRecordSize), want);
  EXPECT_EQ(std::vector<uint8_t>(q.Current().begin(), q.Current().end()), want);
}

TEST(ReservationQueue, LongTextsAreCutWholeAndTheLengthStaysInsideTheRecord) {
  // A 300-byte path: the record keeps 255 bytes and says 256, never 301.
  const std::string path(300, 'p');
  // 46 ASCII bytes then a double-byte character: 47 bytes would end in half
  // of it, so the title keeps 46.
  const std::string title = std::string(46, 't') + "\xB0\xA1";
  ReservationQueue q;
  q.Add(3, title, path);
  q.Add(4, title, path);
  const uint8_t* r = q.Take(1);
  ASSERT_NE(r, nullptr);
  std::vector<uint8_t> want = U32(3);
  Append(want, Text(std::string(46, 't'), 48));
  Append(want, U32(256));
  Append(want, Text(std::string(255, 'p'), 256));
  EXPECT_EQ(std::vector<uint8_t>(r, r + kReservationRecordSize), want);

  // The block carries the whole path.
  const uint8_t* b = q.Block();
  ASSERT_NE(b, nullptr);
  std::vector<uint8_t> block = U32(1);
  Append(block, U32(4));
  Append(block, Text(std::string(46, 't'), 48));
  Append(block, U32(300));
  Append(block, std::vector<uint8_t>(path.begin(), path.end()));
  block.push_back(0);
  ASSERT_EQ(q.BlockSize(), block.size());
  EXPECT_EQ(std::vector<uint8_t>(b, b + q.BlockSize()), block);
}

TEST(ReservationQueue, BlockListsEveryEntryInOrderWithAClosingZero) {
  ReservationQueue q;
  EXPECT_EQ(q.Block(), nullptr);
  q.Add(1, "One", "ab");
  q.Add(-2, "File", "");
  q.Add(1, "", "xyz");
  std::vector<uint8_t> want = U32(3);
  Append(want, U32(1));
  Append(want, Text("One", 48));
  Append(want, U32(2));
  Append(want, {'a', 'b'});
  Append(want, U32(static_cast<uint32_t>(-2)));
  Append(want, Text("File", 48));
  Append(want, U32(0));
  Append(want, U32(1));
  Append(want, Text("", 48));
  Append(want, U32(3));
  Append(want, {'x', 'y', 'z'});
  want.push_back(0);
  const uint8_t* b = q.Block();
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(q.BlockSize(), want.size());
  EXPECT_EQ(std::vector<uint8_t>(b, b + want.size()), want);
  q.FreeBlock();
  EXPECT_EQ(q.BlockSize(), 0u);
  EXPECT_EQ(q.Count(), 3u);
}

TEST(ReservationQueue, AFilterKeepsOutHiddenSongsButNotFileReservations) {
  ReservationQueue q;
  std::vector<Notice> notices;
  q.SetNotice([&](int kind, int32_t number, int position) {
    notices.push_back({kind, number, position});
  });
  std::vector<int32_t> asked;
  q.SetFilterCheck([&](int32_t n) {
    asked.push_back(n);
    return n % 2 == 0; // even songs pass the filter
  });
  EXPECT_FALSE(q.Add(3, "hidden", "p"));
  EXPECT_TRUE(q.Add(4, "shown", "p"));
  EXPECT_TRUE(q.Add(-1, "file", "/tmp/a.mid"));
  EXPECT_TRUE(q.Add(-5, "file", "/tmp/b.mid"));
  EXPECT_TRUE(q.Add(0, "none", ""));
  EXPECT_EQ(asked, (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(Numbers(q), (std::vector<int32_t>{4, -1, -5, 0}));
  EXPECT_EQ(notices, (std::vector<Notice>{{4, 4, 1}, {4, -1, 2}, {4, -5, 3}, {4, 0, 4}}));
  q.SetFilterCheck({});
  EXPECT_TRUE(q.Add(3, "now shown", "p"));
}

TEST(ReservationQueue, AReloadOfTheCatalogueEmptiesTheQueueAndSaysSo) {
  sys::test::ScratchFolder dir;
  std::filesystem::create_directories(dir / "album");
  ASSERT_TRUE(album::testing::WriteListCatalogue(dir / "album"));
  AlbumDatabase db;
  ASSERT_EQ(db.Open(dir / "album"), 1);
  std::vector<Notice> notices;
  db.Reservations().SetNotice([&](int kind, int32_t number, int position) {
    notices.push_back({kind, number, position});
  });
  db.Reservations().Add(1, "apple song", "D:\\Karaoke\\Pop\\a.vx3");
  ASSERT_EQ(db.Reload(), 1);
  EXPECT_EQ(db.Reservations().Count(), 0u);
  EXPECT_EQ(notices, (std::vector<Notice>{{4, 1, 1}, {3, 0, 0}}));
}

TEST(ReservationQueue, TheCategoryFilterKeepsHiddenSongsOutOfTheDatabasesQueue) {
  sys::test::ScratchFolder dir;
  std::filesystem::create_directories(dir / "album");
  ASSERT_TRUE(album::testing::WriteListCatalogue(dir / "album"));
  AlbumDatabase db;
  ASSERT_EQ(db.Open(dir / "album"), 1);
  EXPECT_TRUE(db.Reservations().Add(1, "apple song", "a"));
  // Every song of the catalogue is of category 0: category 5 hides them all.
  db.SetCategoryFilter(5);
  EXPECT_FALSE(db.Reservations().Add(1, "apple song", "a"));
  EXPECT_TRUE(db.Reservations().Add(-1, "a file", "/tmp/a.mid"));
  db.SetCategoryFilter(0);
  EXPECT_TRUE(db.Reservations().Add(1, "apple song", "a"));
  EXPECT_EQ(Numbers(db.Reservations()), (std::vector<int32_t>{1, -1, 1}));
}

} // namespace
