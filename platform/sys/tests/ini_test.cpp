#include "platform/sys/ini.h"

#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using sys::test::ReadFile;
using sys::test::ScratchFolder;
using sys::test::WriteFile;

struct ReadCase {
  const char* what;
  std::string text;
  std::string section;
  std::string key;
  std::string defaultValue;
  std::string expected;
};

TEST(Ini, ReadsStringsAsTheProfileFunctionsDo) {
  const ReadCase cases[] = {
      {"plain", "[Video]\nMode=2\n", "Video", "Mode", "d", "2"},
      {"case of section and key", "[Video x]\nkey=1\n", "VIDEO X", "KEY", "d", "1"},
      {"blanks around names and value", "  [ Video ]  \n  Mode  =  a b  \n", "Video", "Mode", "d",
       "a b"},
      {"tabs", "[S]\n\tk\t=\tv\t\n", "S", "k", "d", "v"},
      {"query names trimmed", "[S]\nk=v\n", " S ", " k ", "d", "v"},
      {"double quotes removed", "[S]\nk=\"  quoted  \"\n", "S", "k", "d", "  quoted  "},
      {"single quotes removed", "[S]\nk='x'\n", "S", "k", "d", "x"},
      {"mismatched quotes kept", "[S]\nk=\"x'\n", "S", "k", "d", "\"x'"},
      {"lone quote kept", "[S]\nk=\"\n", "S", "k", "d", "\""},
      {"'=' inside the value", "[S]\nk=a=b\n", "S", "k", "d", "a=b"},
      {"empty value is not the default", "[S]\nk=\n", "S", "k", "d", ""},
      {"missing key", "[S]\nj=1\n", "S", "k", "d", "d"},
      {"missing section", "[T]\nk=1\n", "S", "k", "d", "d"},
      {"key of another section", "[A]\nk=1\n[B]\n", "B", "k", "d", "d"},
      {"default loses trailing spaces", "", "S", "k", "abc  ", "abc"},
      {"CRLF lines", "[S]\r\nk=v\r\n", "S", "k", "d", "v"},
      {"no final line break", "[S]\nk=v", "S", "k", "d", "v"},
      {"first of two keys wins", "[S]\nk=1\nk=2\n", "S", "k", "d", "1"},
      {"repeated section searched", "[S]\na=1\n[T]\nb=2\n[S]\nc=3\n", "S", "c", "d", "3"},
      {"comment is no key", "[S]\n;k=1\n", "S", "k", "d", "d"},
      {"line without '=' is no key", "[S]\nk\n", "S", "k", "d", "d"},
      {"keys before any section unreachable", "k=1\n[S]\n", "S", "k", "d", "d"},
      {"text after ']' ignored", "[S] ; note\nk=v\n", "S", "k", "d", "v"},
      {"UTF-8 mark before the first line", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", "d", "v"},
      {"code-page bytes as they are", "[S]\nk=\xB0\xA1\xB3\xAA\n", "S", "k", "d",
       "\xB0\xA1\xB3\xAA"},
      // In code page 949, 0x81 0x41 and 0x81 0x61 are two different characters.
      {"second byte of a double-byte name not folded", "[\x81\x41]\nk=v\n", "\x81\x61", "k", "d",
       "d"},
      {"double-byte name", "[\x81\x41]\nk=v\n", "\x81\x41", "K", "d", "v"},
  };
  ScratchFolder dir;
  const std::string path = dir / "config.ini";
  for (const ReadCase& c : cases) {
    WriteFile(path, c.text);
    EXPECT_EQ(sys::IniGetString(path, c.section, c.key, c.defaultValue), c.expected) << c.what;
  }
  EXPECT_EQ(sys::IniGetString(dir / "missing.ini", "S", "k", "dflt "), "dflt");
}

struct IntCase {
  std::optional<std::string> value; // nullopt: no such key
  int32_t expected;
};

TEST(Ini, ReadsIntegersAsTheProfileFunctionsDo) {
  const IntCase cases[] = {
      {"12", 12},
      {"-7xyz", -7},
      {"+5", 5},
      {"1.9", 1},
      {"012", 12},
      {"abc", 0},
      {"- 5", 0},
      {"0x1F", 31},
      {"0X1f", 31},
      {"0o17", 15},
      {"0b101", 5},
      {"0x", 0},
      {"\"34\"", 34},
      {"4294967295", -1},
      {"4294967296", 0},
      {"-2147483648", INT32_MIN},
      {"2147483648", INT32_MIN},
      {"", 99},
      {std::nullopt, 99},
  };
  ScratchFolder dir;
  const std::string path = dir / "config.ini";
  for (const IntCase& c : cases) {
    WriteFile(path, c.value ? "[S]\nk=" + *c.value + "\n" : "[S]\nj=1\n");
    EXPECT_EQ(sys::IniGetInt(path, "s", "K", 99), c.expected) << c.value.value_or("(missing)");
  }
  EXPECT_EQ(sys::IniGetInt(dir / "missing.ini", "S", "k", -4), -4);
  EXPECT_EQ(sys::IniParseInt(" \t-3"), -3);
}

struct CutCase {
  std::string value;
  size_t size;
  std::string expected;
};

TEST(Ini, ReadsIntoABufferOfTheCallersSize) {
  const CutCase cases[] = {
      {"abcdef", 4, "abc"},
      {"abcdef", 6, "abcde"},
      {"abcdef", 7, "abcdef"},
      {"abcdef", 100, "abcdef"},
      {"abcdef", 1, ""},
      // Never half of a double-byte character.
      {"\xB0\xA1\xB0\xA1", 4, "\xB0\xA1"},
      {"\xB0\xA1\xB0\xA1", 5, "\xB0\xA1\xB0\xA1"},
      {"a\xB0\xA1", 3, "a"},
  };
  ScratchFolder dir;
  const std::string path = dir / "config.ini";
  for (const CutCase& c : cases) {
    WriteFile(path, "[S]\nk=" + c.value + "\n");
    char buf[128];
    std::memset(buf, 'X', sizeof buf);
    size_t n = sys::IniGetString(path, "S", "k", "", buf, c.size);
    EXPECT_EQ(n, c.expected.size()) << c.value << " in " << c.size;
    EXPECT_EQ(std::string(buf, n), c.expected);
    EXPECT_EQ(buf[n], '\0');
    EXPECT_EQ(buf[n + 1], 'X') << "wrote past the zero";
  }
  char buf[8];
  std::memset(buf, 'X', sizeof buf);
  EXPECT_EQ(sys::IniGetString(path, "S", "k", "", buf, 0), 0u);
  EXPECT_EQ(buf[0], 'X');
  EXPECT_EQ(sys::IniGetString(path, "S", "missing", "defaults", buf, 4), 3u);
  EXPECT_STREQ(buf, "def");
}

enum class Op { Write, DeleteKey, DeleteSection };

struct WriteCase {
  const char* what;
  std::optional<std::string> before; // nullopt: no file
  Op op;
  std::string section, key, value;
  bool ok;
  std::optional<std::string> after;
};

bool Apply(const std::string& path, const WriteCase& c) {
  switch (c.op) {
  case Op::Write:
    return sys::IniWriteString(path, c.section, c.key, c.value);
  case Op::DeleteKey:
    return sys::IniDeleteKey(path, c.section, c.key);
  case Op::DeleteSection:
    return sys::IniDeleteSection(path, c.section);
  }
  return false;
}

TEST(Ini, WritesChangeOnlyWhatTheyMust) {
  const WriteCase cases[] = {
      {"creates the file", std::nullopt, Op::Write, "S", "k", "v", true, "[S]\nk=v\n"},
      {"appends a section, keeps the rest", "; top\n[A]\na=1\n", Op::Write, "B", "b", "2", true,
       "; top\n[A]\na=1\n[B]\nb=2\n"},
      {"adds a key after the section's last key", "[A]\na=1\n\n; about B\n[B]\nb=1\n", Op::Write,
       "A", "c", "3", true, "[A]\na=1\nc=3\n\n; about B\n[B]\nb=1\n"},
      {"adds a key to an empty section", "[S]\n[T]\n", Op::Write, "S", "k", "v", true,
       "[S]\nk=v\n[T]\n"},
      {"one key whatever the case", "[Video x]\nMode=1\n", Op::Write, "Video X", "MODE", "2", true,
       "[Video x]\nMode=2\n"},
      {"replaces in place with CRLF kept", "[S]\r\n; c\r\nk = old \r\nz=1\r\n", Op::Write, "s", "k",
       "new", true, "[S]\r\n; c\r\nk=new\r\nz=1\r\n"},
      {"new lines take the file's CRLF", "[S]\r\nk=1\r\n", Op::Write, "T", "x", "y", true,
       "[S]\r\nk=1\r\n[T]\r\nx=y\r\n"},
      {"key after a last line without break", "[S]\nk=1", Op::Write, "S", "j", "2", true,
       "[S]\nk=1\nj=2\n"},
      {"section after a last line without break", "[S]\nk=1", Op::Write, "T", "j", "2", true,
       "[S]\nk=1\n[T]\nj=2\n"},
      {"first of two keys replaced", "[S]\nk=1\nk=2\n", Op::Write, "S", "k", "3", true,
       "[S]\nk=3\nk=2\n"},
      {"value bytes verbatim", "", Op::Write, "S", "k", "\xB0\xA1 \x81\x41 ", true,
       "[S]\nk=\xB0\xA1 \x81\x41 \n"},
      {"quotes written as given", "", Op::Write, "S", "k", "\"q\"", true, "[S]\nk=\"q\"\n"},
      {"names written trimmed", "", Op::Write, " S ", " k ", "v", true, "[S]\nk=v\n"},
      {"same value leaves the line", "[S]\nk = v\n", Op::Write, "S", "k", "v", true,
       "[S]\nk = v\n"},
      {"line break in a value refused", "[S]\nk=1\n", Op::Write, "S", "k", "a\nb", false,
       "[S]\nk=1\n"},
      {"'=' in a key refused", "[S]\n", Op::Write, "S", "a=b", "v", false, "[S]\n"},
      {"empty key refused", "[S]\n", Op::Write, "S", " ", "v", false, "[S]\n"},
      {"comment-like key refused", "[S]\n", Op::Write, "S", ";k", "v", false, "[S]\n"},
      {"']' in a section refused", "[S]\n", Op::Write, "a]b", "k", "v", false, "[S]\n"},
      {"deletes a key", "[S]\na=1\nk=2\nb=3\n", Op::DeleteKey, "S", "K", "", true,
       "[S]\na=1\nb=3\n"},
      {"deletes every copy of a key", "[S]\nk=1\nk=2\n[T]\nk=9\n[s]\nk=3\n", Op::DeleteKey, "S",
       "k", "", true, "[S]\n[T]\nk=9\n[s]\n"},
      {"missing key: file as it was", "[S]\r\na=1", Op::DeleteKey, "S", "k", "", true,
       "[S]\r\na=1"},
      {"missing file stays missing", std::nullopt, Op::DeleteKey, "S", "k", "", true, std::nullopt},
      {"deletes a section with its lines", "; top\n[A]\na=1\n; a note\n[B]\nb=2\n[a]\nc=3\n",
       Op::DeleteSection, "A", "", "", true, "; top\n[B]\nb=2\n"},
      {"missing section: file as it was", "[A]\n", Op::DeleteSection, "B", "", "", true, "[A]\n"},
  };
  for (const WriteCase& c : cases) {
    ScratchFolder dir;
    const std::string path = dir / "config.ini";
    if (c.before)
      WriteFile(path, *c.before);
    EXPECT_EQ(Apply(path, c), c.ok) << c.what;
    EXPECT_EQ(ReadFile(path), c.after) << c.what;
  }
}

TEST(Ini, WrittenValuesReadBack) {
  ScratchFolder dir;
  const std::string path = dir / "game.ini";
  ASSERT_TRUE(sys::IniWriteString(path, "Video X", "Left", "-12"));
  ASSERT_TRUE(sys::IniWriteString(path, "video x", "Name", "\xB0\xA1\xB3\xAA"));
  EXPECT_EQ(sys::IniGetInt(path, "VIDEO x", "left", 0), -12);
  EXPECT_EQ(sys::IniGetString(path, "Video X", "NAME", ""), "\xB0\xA1\xB3\xAA");
  ASSERT_TRUE(sys::IniDeleteKey(path, "Video x", "LEFT"));
  EXPECT_EQ(sys::IniGetInt(path, "Video X", "Left", 7), 7);
  ASSERT_TRUE(sys::IniDeleteSection(path, "VIDEO X"));
  EXPECT_EQ(sys::IniGetString(path, "Video X", "Name", "gone"), "gone");
  EXPECT_EQ(ReadFile(path), "");
}

TEST(Ini, ListsSectionsAndKeysOnceEach) {
  ScratchFolder dir;
  const std::string path = dir / "config.ini";
  WriteFile(path, "k=0\n[A]\nx=1\n; y=0\n[b]\ny=2\n[a]\nX=3\nz=4\n");
  EXPECT_EQ(sys::IniSectionNames(path), (std::vector<std::string>{"A", "b"}));
  EXPECT_EQ(sys::IniKeyNames(path, "a"), (std::vector<std::string>{"x", "z"}));
  EXPECT_TRUE(sys::IniKeyNames(path, "none").empty());
  EXPECT_TRUE(sys::IniSectionNames(dir / "missing.ini").empty());
}

std::set<std::string> FolderEntries(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
        names.insert(e->d_name);
    }
    closedir(d);
  }
  return names;
}

TEST(Ini, ReplacesTheFileAtomically) {
  ScratchFolder dir;
  const std::string path = dir / "config.ini";
  WriteFile(path, "[S]\nk=old\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  // A reader that opened the file before the write keeps reading it whole.
  int reader = open(path.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);

  ASSERT_TRUE(sys::IniWriteString(path, "S", "k", "new"));

  char buf[64] = {};
  ASSERT_GT(read(reader, buf, sizeof buf - 1), 0);
  close(reader);
  EXPECT_STREQ(buf, "[S]\nk=old\n");
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino) << "rewritten in place, not replaced";
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(path), "[S]\nk=new\n");
  // Nothing left over but the lock file beside it.
  EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"config.ini", "config.ini.lock"}));

  // Changing nothing rewrites nothing.
  ASSERT_TRUE(sys::IniWriteString(path, "S", "k", "new"));
  ASSERT_TRUE(sys::IniDeleteKey(path, "S", "missing"));
  ASSERT_TRUE(sys::IniDeleteSection(path, "Missing"));
  struct stat unchanged {};
  ASSERT_EQ(stat(path.c_str(), &unchanged), 0);
  EXPECT_EQ(unchanged.st_ino, after.st_ino);
}

TEST(Ini, WritesThroughASymbolicLink) {
  ScratchFolder dir;
  WriteFile(dir / "real.ini", "[S]\nk=1\n");
  ASSERT_EQ(symlink("real.ini", (dir / "config.ini").c_str()), 0);
  ASSERT_TRUE(sys::IniWriteString(dir / "config.ini", "S", "k", "2"));
  struct stat st {};
  ASSERT_EQ(lstat((dir / "config.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(dir / "real.ini"), "[S]\nk=2\n");
}

TEST(Ini, RefusesWhatItCannotReadOrWrite) {
  ScratchFolder dir;
  // No such folder.
  EXPECT_FALSE(sys::IniWriteString(dir / "none/config.ini", "S", "k", "v"));
  // A folder where the file should be.
  ASSERT_EQ(mkdir((dir / "folder.ini").c_str(), 0700), 0);
  EXPECT_FALSE(sys::IniWriteString(dir / "folder.ini", "S", "k", "v"));
  EXPECT_EQ(sys::IniGetString(dir / "folder.ini", "S", "k", "d"), "d");
  // A file past the size bound is neither read nor rewritten.
  const std::string big = dir / "big.ini";
  WriteFile(big, "[S]\nk=v\n");
  ASSERT_EQ(truncate(big.c_str(), sys::kMaxIniFileSize + 1), 0);
  EXPECT_EQ(sys::IniGetString(big, "S", "k", "d"), "d");
  EXPECT_FALSE(sys::IniWriteString(big, "S", "k", "w"));
  struct stat st {};
  ASSERT_EQ(stat(big.c_str(), &st), 0);
  EXPECT_EQ(static_cast<size_t>(st.st_size), sys::kMaxIniFileSize + 1);
}

pid_t StartWriter(const std::string& path, const std::string& prefix, int count, int startFd,
                  int closeFd) {
  const std::string exe = VEXO_TESTS_DIR "/ini_writer";
  const std::string countText = std::to_string(count);
  const std::string fdText = std::to_string(startFd);
  std::vector<char*> argv = {
      const_cast<char*>(exe.c_str()),    const_cast<char*>(path.c_str()),
      const_cast<char*>(prefix.c_str()), const_cast<char*>(countText.c_str()),
      const_cast<char*>(fdText.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, closeFd);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

TEST(Ini, TwoProcessesWritingOneFileLoseNothing) {
  constexpr int kKeys = 1000;
  ScratchFolder dir;
  const std::string path = dir / "config.ini";
  WriteFile(path, "; kept\n[Other]\nx=1\n");
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  pid_t a = StartWriter(path, "a", kKeys, start[0], start[1]);
  pid_t b = StartWriter(path, "b", kKeys, start[0], start[1]);
  close(start[0]);
  close(start[1]); // both start now
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  for (pid_t pid : {a, b}) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
  }
  std::optional<sys::IniDocument> doc = sys::IniLoad(path);
  ASSERT_TRUE(doc);
  int missing = 0;
  for (const char* prefix : {"a", "b"}) {
    for (int i = 0; i < kKeys; ++i) {
      std::string n = std::to_string(i);
      std::optional<std::string> v = doc->Get("Keys", std::string(prefix) + "_" + n);
      missing += !v || *v != std::string(prefix) + "-" + n;
    }
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(doc->Keys("Keys").size(), 2u * kKeys);
  EXPECT_EQ(doc->Get("Other", "x"), "1");
  EXPECT_EQ(ReadFile(path)->substr(0, 7), "; kept\n");
}

TEST(Ini, TwoThreadsWritingOneFileLoseNothing) {
  constexpr int kKeys = 200;
  ScratchFolder dir;
  const std::string path = dir / "config.ini";
  auto writer = [&](std::string prefix) {
    for (int i = 0; i < kKeys; ++i)
      ASSERT_TRUE(sys::IniWriteString(path, "Keys", prefix + std::to_string(i), "v"));
  };
  std::thread t1(writer, "t1_"), t2(writer, "t2_");
  t1.join();
  t2.join();
  EXPECT_EQ(sys::IniKeyNames(path, "Keys").size(), 2u * kKeys);
}

TEST(Ini, EditsSeveralKeysUnderOneLock) {
  ScratchFolder dir;
  const std::string path = dir / "config.ini";
  WriteFile(path, "[Words]\nColor1=1\n");
  ASSERT_TRUE(sys::IniUpdate(path, [](sys::IniDocument& doc) {
    return doc.Set("Words", "Color1", "5") && doc.Set("Words", "Color2", "6");
  }));
  EXPECT_EQ(ReadFile(path), "[Words]\nColor1=5\nColor2=6\n");
  // An edit that fails writes nothing.
  EXPECT_FALSE(sys::IniUpdate(path, [](sys::IniDocument& doc) {
    doc.Set("Words", "Color3", "7");
    return false;
  }));
  EXPECT_EQ(ReadFile(path), "[Words]\nColor1=5\nColor2=6\n");
}

TEST(Ini, PathBesideTheModule) {
  struct Case {
    std::string module, expected;
  };
  const Case cases[] = {
      {"/opt/vexo/bin/Kivo32", "/opt/vexo/bin/config.ini"},
      {"/opt/vexo/bin/libTondo32.so", "/opt/vexo/bin/config.ini"},
      {"C:\\VEXO\\Kivo32.exe", "C:\\VEXO\\config.ini"},
      {"/opt/v\\x/Kivo32", "/opt/v\\x/config.ini"},
      {"/Kivo32", "/config.ini"},
      {"Kivo32", "config.ini"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(sys::IniPathBeside(c.module, "config.ini"), c.expected) << c.module;
}

} // namespace
