#include "command_run.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace systest {

namespace {

// A fresh empty file for the command's standard error, removed when done.
class ErrFile {
public:
  ErrFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexo-stderr-XXXXXX";
    const int fd = mkstemp(tmpl.data());
    if (fd >= 0) {
      close(fd);
      path_ = tmpl;
    }
  }
  ~ErrFile() {
    if (!path_.empty())
      unlink(path_.c_str());
  }
  ErrFile(const ErrFile&) = delete;
  ErrFile& operator=(const ErrFile&) = delete;

  const std::string& Path() const { return path_; }
  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

private:
  std::string path_;
};

} // namespace

CommandRun RunCommand(const std::string& command, Stderr err) {
  CommandRun r;
  std::optional<ErrFile> errFile;
  std::string line = command;
  if (err == Stderr::WithOutput)
    line += " 2>&1";
  else if (err == Stderr::Apart) {
    if (errFile.emplace().Path().empty())
      return r;
    line += " 2>'" + errFile->Path() + "'";
  }
  FILE* p = popen(line.c_str(), "r");
  if (!p)
    return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0)
    r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  if (errFile)
    r.err = errFile->Read();
  return r;
}

} // namespace systest
