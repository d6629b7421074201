// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace displaytest {

class TempFolder {
public:
  TempFolder() {
    char pattern[] = "/tmp/vexo-display-XXXXXX";
    if (char* dir = mkdtemp(pattern))
      path_ = dir;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty())
      std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Writes bytes to a file of the folder and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string p = *this / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace displaytest
