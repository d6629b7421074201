#include "host/album_session.h"

#include "platform/sys/codepage.h"
#include "platform/sys/paths.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace host {

std::string AlbumFolder() {
  const char* dir = std::getenv("VEXO_CONFIG_DIR");
  std::string folder = dir && *dir ? dir : sys::ProgramFolder();
  if (folder.empty() || folder.back() != '/')
    folder += '/';
  return folder;
}

bool AlbumSession::Start() {
  if (!windows_.Ok()) {
    std::fprintf(stderr, "vexo3: the host's windows cannot be made\n");
    return false;
  }
  windows_.State().albumStatus = [](std::string_view text) {
    std::fprintf(stderr, "%s\n", sys::ToUtf8(text).c_str());
  };
  std::string error;
  client_ = AlbumClient::Start(sys::ProgramFolder(), &error);
  if (!client_) {
    std::fprintf(stderr, "vexo3: %s\n", error.c_str());
    return false;
  }
  return true;
}

} // namespace host
