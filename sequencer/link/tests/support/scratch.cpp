#include "scratch.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace linktest {

Scratch::Scratch() {
  std::string pattern = testing::TempDir() + "vexo-link-XXXXXX";
  if (mkdtemp(pattern.data()))
    path_ = pattern;
}

Scratch::~Scratch() {
  std::error_code ec;
  if (!path_.empty())
    std::filesystem::remove_all(path_, ec);
}

bool Scratch::Copy(const std::string& from, const std::string& name) const {
  std::error_code ec;
  return std::filesystem::copy_file(from, path_ + "/" + name, ec);
}

bool Scratch::Link(const std::string& to, const std::string& name) const {
  std::error_code ec;
  std::filesystem::create_symlink(to, path_ + "/" + name, ec);
  return !ec;
}

} // namespace linktest
