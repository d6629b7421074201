// make-test-catalogue: writes a tree of generated song folders.
//   make-test-catalogue [--songs N] [--folders M] [--seed S] DIR
#include "album/testdata/catalogue_gen.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  album::testdata::CatalogueSpec spec;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    auto number = [&](int& out) {
      if (i + 1 >= argc)
        return false;
      out = std::atoi(argv[++i]);
      return out > 0;
    };
    int seed = 0;
    bool ok = true;
    if (std::strcmp(argv[i], "--songs") == 0)
      ok = number(spec.songs);
    else if (std::strcmp(argv[i], "--folders") == 0)
      ok = number(spec.folders);
    else if (std::strcmp(argv[i], "--seed") == 0)
      ok = number(seed), spec.seed = static_cast<uint32_t>(seed);
    else if (argv[i][0] != '-' && dir.empty())
      dir = argv[i];
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "usage: make-test-catalogue [--songs N] [--folders M] [--seed S] DIR\n");
      return 2;
    }
  }
  if (dir.empty()) {
    std::fprintf(stderr, "usage: make-test-catalogue [--songs N] [--folders M] [--seed S] DIR\n");
    return 2;
  }
  auto folders = album::testdata::MakeTestCatalogue(dir, spec);
  if (folders.empty()) {
    std::fprintf(stderr, "make-test-catalogue: cannot write %s\n", dir.c_str());
    return 1;
  }
  std::printf("%d songs in %zu folders under %s\n", spec.songs, folders.size(), dir.c_str());
  return 0;
}
