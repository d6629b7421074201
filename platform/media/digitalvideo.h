// The "digitalvideo" device of the media-command layer: AVI, FLC and MOV
// clips played by the FFmpeg player into a video window of the device's
// own, a child of the window it was opened with.
#pragma once

namespace media {

// Registers "digitalvideo" with the media-command layer (RegisterVideoDevices
// does it too).
void RegisterDigitalVideo();

} // namespace media
