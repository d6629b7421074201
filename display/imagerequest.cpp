#include "display/imagerequest.h"

#include "display/frame.h"
#include "display/imageengine.h"

#include <algorithm>
#include <string_view>

namespace display {

ImageRequest ReadImageRequest(std::span<const uint8_t> record, int32_t backgroundMode,
                              bool asyncLoading,
                              const std::optional<std::string>& backgroundFolder) {
  const auto end = std::find(record.begin(), record.end(), uint8_t{0});
  std::string_view text(reinterpret_cast<const char*>(record.data()),
                        static_cast<size_t>(end - record.begin()));
  ImageRequest r;
  r.message = asyncLoading ? kNextImageAsyncMessage : kNextImageMessage;
  const bool noName = text.size() <= 2;
  if (text.size() >= 2 && text[0] == '@') {
    switch (text[1]) {
    case 'a':
    case 'A':
      r.target = ImageTarget::InfoVideo;
      break;
    case 'm':
    case 'M':
      r.target = ImageTarget::Mpeg;
      break;
    case 'd':
    case 'D':
      r.message = kNextImageMessage;
      break;
    default:
      break;
    }
    text.remove_prefix(2);
  }
  if (backgroundMode == 3)
    r.target = ImageTarget::InfoVideo;
  else if (backgroundMode == 2)
    r.target = ImageTarget::Mpeg;
  if (noName)
    return r;
  if (text.front() == '\\') {
    if (!backgroundFolder)
      return r;
    const char separator = backgroundFolder->find('\\') != std::string::npos ? '\\' : '/';
    std::string name(text.substr(1));
    // A name under a folder of this system takes its separators.
    if (separator == '/')
      std::replace(name.begin(), name.end(), '\\', '/');
    r.name = *backgroundFolder + separator + name;
  } else {
    r.name = std::string(text);
  }
  if (r.name.size() >= kImagePathBytes) {
    r.kind = ImageRequest::Kind::Refused;
    r.name.clear();
    return r;
  }
  // The dot is looked for in the name as given, not in the folder before it.
  r.kind = text.find('.') != std::string_view::npos ? ImageRequest::Kind::File
                                                    : ImageRequest::Kind::Folder;
  return r;
}

} // namespace display
