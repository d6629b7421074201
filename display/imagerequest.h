// The image requests of the player core (ImageCopy, PlayImageCopy): the text
// read as the target (still image, the info view's video, the MPEG video)
// and what it names (the next image, a file, a folder).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace display {

enum class ImageTarget { Still, InfoVideo, Mpeg };

struct ImageRequest {
  enum class Kind {
    Next,    // no name: the next image or video
    File,    // a name with a dot
    Folder,  // a name without a dot
    Refused, // a name that does not fit the 260-byte path
  };
  ImageTarget target = ImageTarget::Still;
  Kind kind = Kind::Next;
  // The frame's next-image message for the still image: WM_USER+103 with
  // asynchronous loading, +101 without or for "@d".
  uint32_t message = 0;
  std::string name;
  friend bool operator==(const ImageRequest&, const ImageRequest&) = default;
};

// The request in a record's bytes: the text ends at the first NUL or the
// record's end. backgroundMode 3 makes the target the info view's video and
// 2 the MPEG video, whatever the "@" prefix says; a name beginning with a
// backslash lies in the background folder.
ImageRequest ReadImageRequest(std::span<const uint8_t> record, int32_t backgroundMode,
                              bool asyncLoading,
                              const std::optional<std::string>& backgroundFolder);

} // namespace display
