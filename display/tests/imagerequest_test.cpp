#include "display/imagerequest.h"

#include "display/frame.h"

#include <gtest/gtest.h>

namespace {

using display::ImageRequest;
using display::ImageTarget;
using Kind = display::ImageRequest::Kind;

std::vector<uint8_t> Record(const std::string& text, bool nul = true) {
  std::vector<uint8_t> r(text.begin(), text.end());
  if (nul)
    r.push_back(0);
  return r;
}

TEST(ImageRequest, TextsModesFoldersAndLoading) {
  const uint32_t sync = display::kNextImageMessage, async = display::kNextImageAsyncMessage;
  const std::optional<std::string> folder = "/pics", none;
  const std::string longName(259, 'n');
  const struct {
    const char* what;
    std::vector<uint8_t> record;
    int32_t mode;
    bool async;
    std::optional<std::string> folder;
    ImageRequest want;
  } cases[] = {
      {"no name", Record(""), 0, false, folder, {ImageTarget::Still, Kind::Next, sync, ""}},
      {"two characters are no name",
       Record("ab"),
       0,
       true,
       folder,
       {ImageTarget::Still, Kind::Next, async, ""}},
      {"a file",
       Record("sea.jpg"),
       0,
       true,
       none,
       {ImageTarget::Still, Kind::File, async, "sea.jpg"}},
      {"a folder",
       Record("summer"),
       0,
       false,
       none,
       {ImageTarget::Still, Kind::Folder, sync, "summer"}},
      {"@d loads at once",
       Record("@dsea.gif"),
       0,
       true,
       none,
       {ImageTarget::Still, Kind::File, sync, "sea.gif"}},
      {"@D alone", Record("@D"), 0, true, none, {ImageTarget::Still, Kind::Next, sync, ""}},
      {"@a a video file",
       Record("@aclip.avi"),
       0,
       false,
       none,
       {ImageTarget::InfoVideo, Kind::File, sync, "clip.avi"}},
      {"@A a video folder",
       Record("@Aclips"),
       0,
       false,
       none,
       {ImageTarget::InfoVideo, Kind::Folder, sync, "clips"}},
      {"@m",
       Record("@mtrain.mpg"),
       0,
       false,
       none,
       {ImageTarget::Mpeg, Kind::File, sync, "train.mpg"}},
      {"mode 3 takes the info view's video",
       Record("@dsea.gif"),
       3,
       false,
       none,
       {ImageTarget::InfoVideo, Kind::File, sync, "sea.gif"}},
      {"mode 2 takes the MPEG video",
       Record("@asea.gif"),
       2,
       true,
       none,
       {ImageTarget::Mpeg, Kind::File, async, "sea.gif"}},
      {"a backslash name in the background folder",
       Record("\\sub\\sea.gif"),
       0,
       false,
       folder,
       {ImageTarget::Still, Kind::File, sync, "/pics/sub/sea.gif"}},
      {"a backslash folder name",
       Record("\\summer"),
       0,
       false,
       std::string("C:\\my.pics"),
       {ImageTarget::Still, Kind::Folder, sync, "C:\\my.pics\\summer"}},
      {"a backslash name without a background folder",
       Record("\\sea.gif"),
       0,
       true,
       none,
       {ImageTarget::Still, Kind::Next, async, ""}},
      {"a record without a NUL",
       Record("sea.gif", false),
       0,
       false,
       none,
       {ImageTarget::Still, Kind::File, sync, "sea.gif"}},
      {"text after the NUL is not read",
       Record(std::string("sea.gif\0junk.bmp", 16)),
       0,
       false,
       none,
       {ImageTarget::Still, Kind::File, sync, "sea.gif"}},
      {"259 bytes fit the path",
       Record(longName),
       0,
       false,
       none,
       {ImageTarget::Still, Kind::Folder, sync, longName}},
      {"260 bytes do not",
       Record(longName + "n"),
       0,
       false,
       none,
       {ImageTarget::Still, Kind::Refused, sync, ""}},
      {"nor a folder and name past the path",
       Record("\\" + std::string(254, 'n')),
       0,
       false,
       folder,
       {ImageTarget::Still, Kind::Refused, sync, ""}},
      {"64 KiB without a NUL",
       Record(std::string(65536, 'x'), false),
       0,
       false,
       none,
       {ImageTarget::Still, Kind::Refused, sync, ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ImageRequest r = display::ReadImageRequest(c.record, c.mode, c.async, c.folder);
    EXPECT_EQ(r.target, c.want.target);
    EXPECT_EQ(r.kind, c.want.kind);
    EXPECT_EQ(r.message, c.want.message);
    EXPECT_EQ(r.name, c.want.name);
  }
}

} // namespace
