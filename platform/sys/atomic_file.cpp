#include "platform/sys/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {

std::string AtomicWriteTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
    return path;
  char* real = realpath(path.c_str(), nullptr);
  if (!real)
    return path;
  std::string target = real;
  std::free(real);
  return target;
}

namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

bool PwriteAll(int fd, const uint8_t* data, size_t size, off_t offset) {
  while (size > 0) {
    ssize_t n = pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (n == 0)
      return false;
    data += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

} // namespace

AtomicFile::AtomicFile(std::string target, std::string tmp, UniqueFd fd)
    : target_(std::move(target)), tmp_(std::move(tmp)), fd_(std::move(fd)) {}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : target_(std::move(other.target_)), tmp_(std::move(other.tmp_)), fd_(std::move(other.fd_)),
      size_(other.size_), failed_(other.failed_), existed_(other.existed_), mode_(other.mode_) {
  other.tmp_.clear();
}

AtomicFile::~AtomicFile() {
  if (!tmp_.empty()) {
    fd_.Reset();
    unlink(tmp_.c_str());
  }
}

std::optional<AtomicFile> AtomicFile::Create(const std::string& path) {
  std::string target = AtomicWriteTarget(path);
  std::string dir = FolderOf(target);
  size_t slash = target.rfind('/');
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty())
    return std::nullopt;

  static std::atomic<unsigned> counter{0};
  // A leftover of a writer that died may hold a name: take the next one.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string tmp = dir + "/." + base + ".tmp" + std::to_string(getpid()) + "-" +
                      std::to_string(counter.fetch_add(1));
    int f = open(tmp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (f < 0) {
      if (errno == EEXIST)
        continue;
      return std::nullopt;
    }
    AtomicFile file(target, tmp, UniqueFd(f));
    struct stat st {};
    if (stat(target.c_str(), &st) == 0) {
      file.existed_ = true;
      file.mode_ = st.st_mode & 07777;
    }
    return file;
  }
  return std::nullopt;
}

bool AtomicFile::Write(std::span<const uint8_t> bytes) {
  if (failed_ || !fd_.Valid())
    return false;
  if (!PwriteAll(fd_.Get(), bytes.data(), bytes.size(), static_cast<off_t>(size_))) {
    failed_ = true;
    return false;
  }
  size_ += bytes.size();
  return true;
}

bool AtomicFile::Write(std::string_view bytes) {
  return Write(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

bool AtomicFile::WriteAt(size_t offset, std::span<const uint8_t> bytes) {
  if (failed_ || !fd_.Valid() || offset > size_ || bytes.size() > size_ - offset)
    return false;
  if (!PwriteAll(fd_.Get(), bytes.data(), bytes.size(), static_cast<off_t>(offset))) {
    failed_ = true;
    return false;
  }
  return true;
}

bool AtomicFile::Commit() {
  if (failed_ || !fd_.Valid())
    return false;
  if (existed_)
    (void)fchmod(fd_.Get(), mode_);
  bool ok = fdatasync(fd_.Get()) == 0;
  ok = close(fd_.Release()) == 0 && ok;
  ok = ok && rename(tmp_.c_str(), target_.c_str()) == 0;
  if (!ok) {
    failed_ = true;
    return false; // the destructor removes the temporary file
  }
  tmp_.clear();
  UniqueFd dir(open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Valid())
    (void)fsync(dir.Get());
  return true;
}

bool ReplaceFileAtomically(const std::string& target, std::span<const uint8_t> bytes) {
  std::optional<AtomicFile> file = AtomicFile::Create(target);
  return file && file->Write(bytes) && file->Commit();
}

bool ReplaceFileAtomically(const std::string& target, std::string_view bytes) {
  return ReplaceFileAtomically(
      target, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

} // namespace sys
