#include "platform/sys/library.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace {

using sys::Library;

const char* const kNames[] = {"VxTestAlpha", "VxTestBeta", "VxTestGamma"};

std::string LibsDir() {
  return VEXO_TESTS_DIR "/libs";
}

std::string Real(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

Library LoadOrDie(const char* name) {
  std::string error;
  auto lib = Library::Load(LibsDir(), name, &error);
  if (!lib) {
    ADD_FAILURE() << error;
    std::abort();
  }
  return std::move(*lib);
}

using Entry = int32_t (*)();

TEST(Library, FileNamesFollowTheLinuxForm) {
  struct Row {
    const char* name;
    const char* file;
  };
  const Row rows[] = {
      {"Pavik32.dll", "libPavik32.so"},
      {"Pavik32", "libPavik32.so"},
      {"WENDRA.DLL", "libWENDRA.so"},
      {"libTamblo.so", "libTamblo.so"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(sys::LibraryFileName(r.name), r.file);
}

TEST(Library, BindsEveryNameOfAFullLibrary) {
  Library lib = LoadOrDie("VxBindFull.dll");
  void* table[3] = {};
  std::string missing = "untouched";
  ASSERT_TRUE(sys::BindNames(lib.Handle(), kNames, table, &missing));
  EXPECT_EQ(missing, "untouched");
  EXPECT_EQ(reinterpret_cast<Entry>(table[0])(), 1);
  EXPECT_EQ(reinterpret_cast<Entry>(table[1])(), 2);
  EXPECT_EQ(reinterpret_cast<Entry>(table[2])(), 3);
}

TEST(Library, ALibraryLackingANameFailsToBindAndNamesIt) {
  Library lib = LoadOrDie("VxBindPartial");
  void* table[3] = {};
  std::string missing;
  EXPECT_FALSE(sys::BindNames(lib.Handle(), kNames, table, &missing));
  EXPECT_EQ(missing, "VxTestBeta");
  // Binding stopped there: the name before is bound, the rest are not.
  EXPECT_NE(table[0], nullptr);
  EXPECT_EQ(table[1], nullptr);
  EXPECT_EQ(table[2], nullptr);

  // The lenient form binds what is there.
  EXPECT_EQ(sys::BindAvailableNames(lib.Handle(), kNames, table), 2u);
  EXPECT_NE(table[2], nullptr);
  EXPECT_EQ(table[1], nullptr);
}

TEST(Library, OnlyTheModulesOwnNamesCount) {
  Library lib = LoadOrDie("VxBindFull");
  // malloc is reachable through the library's dependencies, but it is not
  // one of the library's names.
  ASSERT_NE(dlsym(lib.Handle(), "malloc"), nullptr);
  EXPECT_EQ(lib.Find("malloc"), nullptr);
  EXPECT_EQ(lib.Find("VxTestNoSuchName"), nullptr);
  EXPECT_NE(lib.Find("VxTestGamma"), nullptr);
}

TEST(Library, AMissingLibrarySaysWhichFile) {
  std::string error;
  EXPECT_FALSE(Library::Load(LibsDir(), "VxNoSuchLibrary.dll", &error));
  EXPECT_NE(error.find("libVxNoSuchLibrary.so"), std::string::npos) << error;
  EXPECT_FALSE(Library::Load(LibsDir(), "../libs/VxBindFull", &error));
  EXPECT_FALSE(Library::Load(LibsDir(), "", &error));
}

TEST(Library, ALibraryFindsItsOwnFolder) {
  Library peer = LoadOrDie("VxPeer.dll");
  auto ownFolder = reinterpret_cast<int32_t (*)(char*, int32_t)>(peer.Find("VxPeerOwnFolder"));
  ASSERT_NE(ownFolder, nullptr);
  char buf[PATH_MAX];
  ASSERT_GT(ownFolder(buf, sizeof buf), 0);
  EXPECT_EQ(std::string(buf), Real(LibsDir()));
  EXPECT_EQ(sys::ModuleFile(peer.Handle()), Real(LibsDir()) + "/libVxPeer.so");
}

TEST(Library, TheProgramFindsItsOwnFolder) {
  static int inside = 0;
  EXPECT_EQ(sys::ModuleFolder(&inside), Real(VEXO_TESTS_DIR));
  EXPECT_EQ(sys::ProgramFolder(), Real(VEXO_TESTS_DIR));
  EXPECT_EQ(sys::ModuleFile(nullptr), "");
}

TEST(Library, AHandlePassedToAnotherLibraryBindsThere) {
  Library peer = LoadOrDie("VxPeer");
  Library full = LoadOrDie("VxBindFull");
  Library partial = LoadOrDie("VxBindPartial");
  auto bindOn =
      reinterpret_cast<int32_t (*)(sys::ModuleHandle, char*, int32_t)>(peer.Find("VxPeerBindOn"));
  ASSERT_NE(bindOn, nullptr);
  char missing[64] = {};
  EXPECT_EQ(bindOn(full.Handle(), missing, sizeof missing), 123);
  EXPECT_EQ(bindOn(partial.Handle(), missing, sizeof missing), -1);
  EXPECT_STREQ(missing, "VxTestBeta");
  EXPECT_EQ(bindOn(nullptr, missing, sizeof missing), -1);
}

TEST(Library, FreeingDropsTheHandle) {
  Library lib = LoadOrDie("VxBindFull");
  Library moved = std::move(lib);
  EXPECT_EQ(lib.Handle(), nullptr);
  ASSERT_NE(moved.Handle(), nullptr);
  moved.Free();
  EXPECT_EQ(moved.Handle(), nullptr);
  EXPECT_EQ(moved.Find("VxTestAlpha"), nullptr);
}

} // namespace
