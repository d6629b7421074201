// Short clips made by the ffmpeg command-line tool for the video tests, in
// a folder of their own; tests skip when the tool is missing.
#pragma once

#include "platform/sys/tests/support/command_run.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace mediatest {

inline bool HaveFfmpeg() {
  static const bool have =
      systest::RunCommand("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1")
          .status == 0;
  return have;
}

// The folder the clips go in, made once per test program.
inline const std::string& ClipFolder() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/vexo-clips-XXXXXX";
    const char* made = mkdtemp(pattern);
    static std::string path = made ? made : "/tmp";
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    });
    return path;
  }();
  return dir;
}

// Makes name in the clip folder with ffmpeg arguments args (the output
// name is appended); the path, or "" when ffmpeg failed.
inline std::string MakeClip(const std::string& name, const std::string& args) {
  const std::string path = ClipFolder() + "/" + name;
  if (std::filesystem::exists(path))
    return path;
  const auto run = systest::RunCommand("ffmpeg -nostdin -v error -y " + args + " '" + path + "'",
                                       systest::Stderr::WithOutput);
  return run.status == 0 ? path : std::string();
}

// The video frames ffprobe decodes from a clip; -1 when it cannot tell.
inline int FramesOf(const std::string& path) {
  const auto run = systest::RunCommand("ffprobe -v error -count_frames -select_streams v:0 "
                                       "-show_entries stream=nb_read_frames -of csv=p=0 '" +
                                       path + "'");
  if (run.status != 0)
    return -1;
  return std::atoi(run.out.c_str());
}

// The common clips: 2 s of a moving test pattern at 25 fps.
inline std::string Mpeg1Clip() {
  return MakeClip("mpeg1.mpg", "-f lavfi -i testsrc2=size=160x120:rate=25 -t 2 -c:v mpeg1video "
                               "-q:v 4 -f mpeg");
}
inline std::string Mpeg2ProgramClip() {
  return MakeClip("mpeg2ps.mpg", "-f lavfi -i testsrc2=size=160x120:rate=25 -t 2 -c:v "
                                 "mpeg2video -q:v 4 -f vob");
}
inline std::string VcdClip() {
  return MakeClip("vcd.dat", "-f lavfi -i testsrc2=size=352x288:rate=25 -t 2 -an -target pal-vcd");
}

inline std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = ClipFolder() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace mediatest
