// The "overlay" device of the media-command layer: a video overlay card made
// of a live picture (a V4L2 capture device, or what VEXO_OVERLAY_SOURCE
// names), keyed into a window's tree on a colour.
#pragma once

namespace media {

// A clip file or an FFmpeg lavfi graph shown instead of a capture device.
inline constexpr const char* kOverlaySourceVariable = "VEXO_OVERLAY_SOURCE";
inline constexpr const char* kOverlayProduct = "FFmpeg Live Overlay";

// Registers "overlay" (RegisterVideoDevices does it too).
void RegisterOverlayDevice();

} // namespace media
