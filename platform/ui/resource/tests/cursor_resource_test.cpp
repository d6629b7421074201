// Bundle cursors: a PNG picture with its hot spot, and the ways one can be
// malformed.
#include "platform/ui/resource/cursor_resource.h"
#include "platform/ui/tests/support/resource_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<uint8_t> Text(const std::string& s) {
  return {s.begin(), s.end()};
}

TEST(CursorResource, LoadsThePictureWithItsHotSpot) {
  const auto files = uitest::FilesOf(
      {{"cursors/156.png", uitest::kTinyPng}, {"cursors/156.txt", Text("# tip\n\nHOTSPOT 1 0\n")}});
  ui::ResourceError error;
  auto cursor = ui::LoadCursorResource(files, 156, &error);
  ASSERT_TRUE(cursor) << error.reason;
  EXPECT_EQ(cursor->width, 2);
  EXPECT_EQ(cursor->height, 1);
  EXPECT_EQ(cursor->argb.size(), 2u);
  EXPECT_EQ(cursor->hotspot, (gdi::Point{1, 0}));
  EXPECT_NE(ui::CreateCursor(*cursor), nullptr);
}

TEST(CursorResource, AMalformedOneFailsSayingWhere) {
  struct Row {
    const char* what;
    std::vector<uint8_t> png;
    std::optional<std::string> hotspot;
    int line;
  } rows[] = {
      {"no PNG", Text("GIF89a"), "HOTSPOT 0 0\n", 0},
      {"no hot spot file", uitest::kTinyPng, std::nullopt, 0},
      {"no hot spot line", uitest::kTinyPng, "# none\n", 0},
      {"outside the picture", uitest::kTinyPng, "\nHOTSPOT 2 0\n", 2},
      {"negative", uitest::kTinyPng, "HOTSPOT -1 0\n", 1},
      {"one number", uitest::kTinyPng, "HOTSPOT 1\n", 1},
      {"a word after it", uitest::kTinyPng, "HOTSPOT 1 0 x\n", 1},
      {"twice", uitest::kTinyPng, "HOTSPOT 1 0\nHOTSPOT 0 0\n", 2},
      {"another keyword", uitest::kTinyPng, "SPOT 1 0\n", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::map<std::string, std::vector<uint8_t>> contents{{"cursors/151.png", row.png}};
    if (row.hotspot)
      contents["cursors/151.txt"] = Text(*row.hotspot);
    ui::ResourceError error;
    EXPECT_FALSE(ui::LoadCursorResource(uitest::FilesOf(contents), 151, &error));
    EXPECT_FALSE(error.reason.empty());
    EXPECT_EQ(error.line, row.line) << error.reason;
  }
  EXPECT_FALSE(ui::LoadCursorResource({}, 151));
}

} // namespace
