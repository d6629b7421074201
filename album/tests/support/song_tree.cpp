#include "album/tests/support/song_tree.h"

#include "core/songdata.h"
#include "core/songfile.h"
#include "core/tests/support/songfile_bytes.h"

#include <filesystem>
#include <memory>

namespace album::testing {

bool WriteSong(const std::string& path, const std::string& title, const std::string& singer) {
  return WriteSong(path, title, singer, 0, {});
}

bool WriteSong(const std::string& path, const std::string& title, const std::string& singer,
               uint8_t category, const std::string& text) {
  core::testing::V350Options o;
  o.bank = false;
  o.waves = false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  auto song = std::make_unique<core::CSongData>();
  if (core::ReadVexoDataBytes(*song, core::testing::V350File(o)) != 1)
    return false;
  song->title = title;
  song->singer = singer;
  if (category != 0)
    song->imageNumbers[6] = category;
  if (!text.empty())
    song->keyword = text;
  return song->SaveByKind(path, 1020) > 0;
}

bool MakeSongFolder(const std::string& folder, int count, const std::string& prefix) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (int i = 1; i <= count; ++i)
    if (!WriteSong(folder + "/song" + std::to_string(i) + ".vx3", prefix + " " + std::to_string(i)))
      return false;
  return true;
}

} // namespace album::testing
