// The "mpegvideo" device of the media-command layer: an MPEG playback board
// made of the FFmpeg player, whose picture is keyed into a window's tree on
// a colour (platform/ui's colour-key layer), as the board overlaid it.
#pragma once

namespace media {

inline constexpr const char* kMpegVideoProduct = "Tessarin MpegVideo";

// Registers "mpegvideo", "digitalvideo" and "overlay" with the media-command
// layer.
void RegisterVideoDevices();

} // namespace media
