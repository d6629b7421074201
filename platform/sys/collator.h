// The order in which people read a list of code-page texts: the collation of
// the code page's own language (Korean for 949, Japanese for 932, ...), with
// letter case left aside. It follows the texts, not the user's LANG, so a
// list sorts alike on every machine.
#pragma once

#include "platform/sys/codepage.h"

#include <memory>
#include <string>
#include <string_view>

namespace sys {

class Collator {
public:
  explicit Collator(int codePage = kDefaultCodePage);
  ~Collator();
  Collator(const Collator&) = delete;
  Collator& operator=(const Collator&) = delete;

  // Below 0, 0 or above 0 as a sorts before, with or after b.
  int Compare(std::string_view a, std::string_view b) const;
  // Bytes whose plain byte order is Compare's order: for sorting many texts,
  // each converted once.
  std::string SortKey(std::string_view text) const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace sys
