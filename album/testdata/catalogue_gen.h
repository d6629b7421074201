// Generated song trees for the catalogue's tools and benchmarks: small V3.50
// song files from the core's writer whose titles and singers are code-page
// 949 texts (Hangul syllables of both the KS X 1001 and the extended range,
// Latin words, and repeated titles).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace album::testdata {

struct CatalogueSpec {
  int songs = 1000;
  int folders = 10;
  uint32_t seed = 1;
  // Each song with a text of its own (words and syllables) instead of one
  // text for all.
  bool texts = false;
};

// Writes folders "f0001".. under root, the songs spread evenly over them;
// the folders made, or an empty list when a file cannot be written.
std::vector<std::string> MakeTestCatalogue(const std::string& root, const CatalogueSpec& spec);

// One generated title (code-page bytes) for a seed and an index.
std::string GeneratedTitle(uint32_t seed, int index);
// One generated song text (code-page bytes, at most 118 bytes).
std::string GeneratedText(uint32_t seed, int index);

} // namespace album::testdata
