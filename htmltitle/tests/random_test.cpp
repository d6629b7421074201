// Thousands of generated and mutated pages: every result is sound, and the
// address and undefined-behaviour sanitizers watch every read.
#include "htmltitle/marquell.h"
#include "htmltitle/tokenlist.h"
#include "support/token_checks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace htmltitle {
namespace {

// Pieces that make tags, attributes, comments and text likely.
const char* const kPieces[] = {
    "<",        "</",     ">",    "=",     "\"",    " ",       "\t",       "\r\n",    "<!--",
    "-->",      "-",      "!",    "x",     "Hello", "&amp;",   "\xB0\xA1", "\xFF",    "B",
    "BR",       "FONT",   "P",    "O",     "ALIGN", "IMG",     "INPUT",    "H1",      "TABLE",
    "TEXTAREA", "OPTION", "SIZE", "COLOR", "TYPE",  "NOSHADE", "CHECKED",  "COLSPAN", "ENCTYPE",
    "HREF",     "red",    "3",    "<B>",   "</B>",  "<FONT ",  "<P ",      "<HR ",    "<!-- c -->",
};

std::string Generated(std::mt19937& rng) {
  std::uniform_int_distribution<size_t> count(0, 60);
  std::uniform_int_distribution<size_t> piece(0, std::size(kPieces));
  std::uniform_int_distribution<int> byte(1, 255);
  std::string text;
  for (size_t n = count(rng); n > 0; --n) {
    const size_t p = piece(rng);
    if (p == std::size(kPieces)) {
      text += static_cast<char>(byte(rng));
    } else {
      text += kPieces[p];
    }
  }
  return text;
}

std::string Mutated(std::string text, std::mt19937& rng) {
  std::uniform_int_distribution<int> edits(1, 8);
  std::uniform_int_distribution<int> op(0, 3);
  std::uniform_int_distribution<int> byte(1, 255);
  for (int e = edits(rng); e > 0; --e) {
    if (text.empty()) {
      text += static_cast<char>(byte(rng));
      continue;
    }
    const size_t at = std::uniform_int_distribution<size_t>(0, text.size() - 1)(rng);
    switch (op(rng)) {
    case 0:
      text[at] = static_cast<char>(byte(rng));
      break;
    case 1:
      text.insert(at, 1, "<>\"= /-!"[std::uniform_int_distribution<int>(0, 7)(rng)]);
      break;
    case 2:
      text.erase(at, std::uniform_int_distribution<size_t>(1, 16)(rng));
      break;
    default:
      text.resize(at); // cut short anywhere
      break;
    }
  }
  return text;
}

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  const std::filesystem::path dir =
      std::filesystem::path(VEXO_TEST_SOURCE_DIR) / "fuzz-seeds/fuzz-html";
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return seeds;
}

// Parses through the export, checks the result, and checks that parsing the
// text as changed in place gives the same tokens again.
void ExpectSound(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  ASSERT_EQ(HTMLParsing(buffer.data()), 1);
  const size_t length = std::strlen(buffer.data());
  ASSERT_EQ(CheckTokenList(CurrentResult(), buffer.data(), length), "")
      << ::testing::PrintToString(text);
  const std::string first = Describe(CurrentResult()->First());
  ASSERT_EQ(HTMLParsing(buffer.data()), 1);
  ASSERT_EQ(Describe(CurrentResult()->First()), first) << ::testing::PrintToString(text);
  for (size_t i = 0; i < length && i < 64; ++i) {
    const int32_t c = GetDbcsByteClass(buffer.data(), static_cast<int32_t>(i));
    ASSERT_TRUE(c == 0 || c == 1 ||
                (c == 2 && GetDbcsByteClass(buffer.data(), static_cast<int32_t>(i - 1)) == 1));
  }
}

TEST(RandomPages, GeneratedFromTagPieces) {
  std::mt19937 rng(20240611);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_NO_FATAL_FAILURE(ExpectSound(Generated(rng)));
  }
  QuillmarkToNULL();
}

TEST(RandomPages, MutatedSeedPages) {
  const std::vector<std::string> seeds = Seeds();
  ASSERT_FALSE(seeds.empty());
  std::mt19937 rng(7);
  for (const std::string& seed : seeds) {
    ASSERT_NO_FATAL_FAILURE(ExpectSound(seed));
    for (int i = 0; i < 600; ++i) {
      ASSERT_NO_FATAL_FAILURE(ExpectSound(Mutated(seed, rng)));
    }
  }
  QuillmarkToNULL();
}

} // namespace
} // namespace htmltitle
