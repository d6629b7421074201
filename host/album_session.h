// One session of the song album for a host command: the host's windows,
// whose status texts from the library show on standard error, and the
// library Tondo32 started from the programs' folder.
#pragma once

#include "host/album_client.h"
#include "host/remote_window.h"

#include <memory>
#include <string>

namespace host {

// Where the library keeps the catalogue: $VEXO_CONFIG_DIR, else beside the
// programs; ends in '/'.
std::string AlbumFolder();

class AlbumSession {
public:
  // false, with a line on standard error, when the windows or the library
  // cannot be had.
  bool Start();
  // LoadTondo32's result.
  int Load() { return T().LoadTondo32(windows_.Remote()); }
  const Tondo32Exports& T() const { return client_->Exports(); }
  RemoteWindows& Windows() { return windows_; }

private:
  RemoteWindows windows_;
  std::unique_ptr<AlbumClient> client_;
};

} // namespace host
