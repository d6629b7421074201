// The table of windows a process publishes: its bytes laid out by hand, what
// a reader refuses, the names of the files and when their process counts as
// gone.
#include "platform/win/window_table.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace win::table;

namespace {

std::vector<uint8_t> TableBytes() {
  return {
      'V',  'X',  'W',  'T',                          // magic
      0x01, 0x00, 0x00, 0x00,                         // version 1, reserved
      0x39, 0x30, 0x00, 0x00,                         // pid 12345
      0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, // start time
      0x02, 0x00, 0x00, 0x00,                         // two windows
      0x01, 0x80, 0x00, 0x00,                         // hwnd 0x8001
      0x00, 0x00, 0x00, 0x00,                         // top level
      0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, // created 0x100000010
      0x03, 0x00, 'T',  'o',  'p',                    // class "Top"
      0x02, 0x00, 'h',  'i',                          // title "hi"
      0x02, 0x80, 0x00, 0x00,                         // hwnd 0x8002
      0x01, 0x80, 0x00, 0x00,                         // under 0x8001
      0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // created 0x20
      0x01, 0x00, 'C',                                // class "C"
      0x00, 0x00,                                     // no title
  };
}

Table SampleTable() {
  Table t;
  t.pid = 12345;
  t.startTime = 0x1122334455667788;
  t.entries.push_back({0x8001, 0, 0x100000010, "Top", "hi"});
  t.entries.push_back({0x8002, 0x8001, 0x20, "C", ""});
  return t;
}

TEST(WindowTableTest, MatchesItsByteLayout) {
  EXPECT_EQ(Encode(SampleTable()), TableBytes());
  auto back = Decode(TableBytes());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pid, 12345u);
  EXPECT_EQ(back->startTime, 0x1122334455667788u);
  ASSERT_EQ(back->entries.size(), 2u);
  EXPECT_EQ(back->entries[0].hwnd, 0x8001u);
  EXPECT_EQ(back->entries[0].createdNs, 0x100000010u);
  EXPECT_EQ(back->entries[0].className, "Top");
  EXPECT_EQ(back->entries[0].title, "hi");
  EXPECT_EQ(back->entries[1].parent, 0x8001u);
  EXPECT_EQ(back->entries[1].title, "");
}

TEST(WindowTableTest, RefusesBadInput) {
  struct Row {
    const char* what;
    size_t offset;
    std::vector<uint8_t> patch;
    size_t cut;
    std::vector<uint8_t> extra;
  };
  const Row rows[] = {
      {"wrong magic", 0, {'V', 'X', 'W', 'U'}, 0, {}},
      {"version 2", 4, {0x02}, 0, {}},
      {"reserved not zero", 6, {0x01}, 0, {}},
      {"count of three", 20, {0x03}, 0, {}},
      {"count past what the bytes can hold", 20, {0xFF, 0xFF, 0xFF, 0xFF}, 0, {}},
      {"title cut short", 0, {}, 1, {}},
      {"header cut short", 0, {}, TableBytes().size() - 10, {}},
      {"bytes left over", 0, {}, 0, {0x00}},
      {"class length past the bytes", 40, {0xFF, 0x00}, 0, {}},
  };
  for (const Row& row : rows) {
    auto bytes = TableBytes();
    std::copy(row.patch.begin(), row.patch.end(), bytes.begin() + row.offset);
    bytes.resize(bytes.size() - row.cut);
    bytes.insert(bytes.end(), row.extra.begin(), row.extra.end());
    EXPECT_FALSE(Decode(bytes)) << row.what;
  }
  // No windows is a table.
  Table empty;
  empty.pid = 7;
  EXPECT_TRUE(Decode(Encode(empty)));
}

TEST(WindowTableTest, LongTextsAreCutToTheirLimit) {
  Table t;
  t.pid = 1;
  t.entries.push_back({1, 0, 1, std::string(kMaxText + 10, 'c'), "t"});
  auto back = Decode(Encode(t));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->entries[0].className.size(), kMaxText);
  EXPECT_EQ(back->entries[0].title, "t");
}

TEST(WindowTableTest, FileNamesCarryThePidAndStartTime) {
  EXPECT_EQ(FileName(4321, 99), "4321.99.tab");
  struct Row {
    const char* name;
    bool ok;
    uint32_t pid;
    uint64_t start;
    bool temp;
  } rows[] = {
      {"4321.99.tab", true, 4321, 99, false}, {".4321.99.tab.tmp", true, 4321, 99, true},
      {"4321.0.tab", true, 4321, 0, false},   {"0.5.tab", false, 0, 0, false},
      {"4321.tab", false, 0, 0, false},       {"4321.99.sock", false, 0, 0, false},
      {"12.sock", false, 0, 0, false},        {"x.99.tab", false, 0, 0, false},
      {"4321.-1.tab", false, 0, 0, false},    {"99999999999.1.tab", false, 0, 0, false},
      {"slots", false, 0, 0, false},
  };
  for (const Row& r : rows) {
    uint32_t pid = 0;
    uint64_t start = 0;
    bool temp = false;
    EXPECT_EQ(ParseFileName(r.name, pid, start, &temp), r.ok) << r.name;
    if (!r.ok)
      continue;
    EXPECT_EQ(pid, r.pid) << r.name;
    EXPECT_EQ(start, r.start) << r.name;
    EXPECT_EQ(temp, r.temp) << r.name;
  }
  uint32_t pid;
  uint64_t start;
  EXPECT_FALSE(ParseFileName(".4321.99.tab.tmp", pid, start)); // temp files only when asked
}

// The state letter of a process in /proc.
char State(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  auto close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() ? 0 : line[close + 2];
}

TEST(WindowTableTest, AProcessCountsAsGoneOnceDeadZombieOrReplaced) {
  const auto self = static_cast<uint32_t>(getpid());
  const uint64_t start = OwnStartTime();
  ASSERT_NE(start, 0u);
  EXPECT_TRUE(ProcessAlive(self, start));
  EXPECT_TRUE(ProcessAlive(self, 0));
  EXPECT_FALSE(ProcessAlive(self, start + 1)); // the pid of another, earlier process
  EXPECT_FALSE(ProcessAlive(0, 0));

  // A child stopped is alive; ended but not yet reaped it is gone.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    pause();
    _exit(0);
  }
  kill(child, SIGSTOP);
  for (int i = 0; i < 1000 && State(child) != 'T'; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(ProcessAlive(static_cast<uint32_t>(child), 0));
  kill(child, SIGKILL);
  for (int i = 0; i < 1000 && State(child) != 'Z'; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(State(child), 'Z');
  EXPECT_FALSE(ProcessAlive(static_cast<uint32_t>(child), 0));
  waitpid(child, nullptr, 0);
  EXPECT_FALSE(ProcessAlive(static_cast<uint32_t>(child), 0));
}

} // namespace
