// Replacing a file as a whole: the new bytes go to a temporary file beside
// the target, are flushed to the disk, and the temporary file is renamed over
// the target, then the folder is flushed too. A reader sees the old file or
// the new one, never a mix; a writer that fails or dies half way leaves the
// old file whole. A symbolic link stays a link and its target is replaced.
#pragma once

#include "platform/sys/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sys {

// The file a replacement of path writes: path itself, or the file a
// symbolic link at path leads to.
std::string AtomicWriteTarget(const std::string& path);

// A file being written in place of another. Bytes are streamed in with
// Write (and header fields patched with WriteAt); nothing reaches the target
// until Commit. Dropped without Commit, the temporary file is removed.
class AtomicFile {
public:
  // nullopt when no temporary file can be made beside target.
  static std::optional<AtomicFile> Create(const std::string& target);

  AtomicFile(AtomicFile&& other) noexcept;
  AtomicFile& operator=(AtomicFile&&) = delete;
  AtomicFile(const AtomicFile&) = delete;
  ~AtomicFile();

  // Appends; false (and every later call false) on a write error.
  bool Write(std::span<const uint8_t> bytes);
  bool Write(std::string_view bytes);
  // Overwrites bytes already written, at offset from the start.
  bool WriteAt(size_t offset, std::span<const uint8_t> bytes);
  size_t Size() const { return size_; }

  // Flushes, renames over the target and flushes the folder; false when any
  // step fails (the target is then untouched).
  bool Commit();

private:
  AtomicFile(std::string target, std::string tmp, UniqueFd fd);

  std::string target_;
  std::string tmp_;
  UniqueFd fd_;
  size_t size_ = 0;
  bool failed_ = false;
  bool existed_ = false;
  unsigned mode_ = 0;
};

// The whole file at once.
bool ReplaceFileAtomically(const std::string& target, std::span<const uint8_t> bytes);
bool ReplaceFileAtomically(const std::string& target, std::string_view bytes);

} // namespace sys
