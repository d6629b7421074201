// A fresh folder for one test, removed afterwards, into which the tests lay
// copies of the link libraries beside other engines.
#pragma once

#include <filesystem>
#include <string>

namespace linktest {

class Scratch {
public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::string& Path() const { return path_; }
  // Copies a file under another name into the folder: a library loaded from
  // there has the folder as its own.
  bool Copy(const std::string& from, const std::string& name) const;
  bool Link(const std::string& to, const std::string& name) const;

private:
  std::string path_;
};

} // namespace linktest
