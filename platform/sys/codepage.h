// Code pages of the stored texts (949 by default; 932, 936, 950 and 1252 where
// a song or a setting says so). Texts stay in code-page bytes inside the
// system; these convert at the edges (drawing, file names, widgets, JSON).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

constexpr int kDefaultCodePage = 949;

// True for the code pages with double-byte characters (949, 932, 936, 950).
bool IsDoubleByteCodePage(int codePage);
// True when b starts a two-byte character in codePage.
bool IsLeadByte(uint8_t b, int codePage);
// Code-page bytes to UTF-8. Bytes that do not convert become U+FFFD; an
// unknown code page is read as 1252.
std::string ToUtf8(std::string_view bytes, int codePage = kDefaultCodePage);
// UTF-8 to code-page bytes; nullopt when a character has no form there.
std::optional<std::string> FromUtf8(std::string_view utf8, int codePage = kDefaultCodePage);
// FromUtf8 with '?' for every character that has no form in codePage.
std::string FromUtf8Lossy(std::string_view utf8, int codePage = kDefaultCodePage);
// The length of the longest prefix of text of at most maxBytes bytes that
// does not end in the middle of a double-byte character. The byte after a
// lead byte always counts as its trail; a lead byte with nothing after it is
// half a character and is cut off too.
size_t CutLength(std::string_view text, size_t maxBytes, int codePage = kDefaultCodePage);
// text cut to CutLength(text, maxBytes, codePage).
std::string_view CutBytes(std::string_view text, size_t maxBytes, int codePage = kDefaultCodePage);

} // namespace sys
