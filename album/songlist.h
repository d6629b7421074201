// The whole catalogue as a text file: a fixed-column list for printing or a
// tab-separated list for other programs, in the catalogue's code page with
// CR LF line ends, sorted by title as people read titles, written into the
// folder "Song" beside the album folder and then opened in a text editor.
//
// Fixed columns: the number at 0 (at least four digits), the title at 6
// (cut at 36 bytes), the singer at 44 (20 bytes), the text excerpt at 66 (24
// bytes); a cut text ends in '~' and never in half a character. A number of
// more than five digits moves the later columns of every line by the same
// amount. Tab-separated: number, title, singer, lyricist, composer, excerpt
// (cut) and the song file's path. CR, LF and TAB inside a text become blanks.
#pragma once

#include "album/albumdatabase.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace album {

// The texts that live in the resource library.
struct SongListTexts {
  std::string numberHeading = "No."; // its first four bytes are used
  std::string titleHeading = "Title";
  std::string singerHeading = "Singer";
  std::string excerptHeading = "Lyrics";
  std::string noTitle = "(No title)";              // for an empty title
  std::string sorting = "Making the song list..."; // the dialog's two lines
  std::string sortingDetail = "Sorting the songs by title";
  std::string writing = "Writing the song list...";
};

enum class SongListForm { kColumns, kTabs };

// "Song.txt", "iSong.txt", "jSong.txt", "pSong.txt" by album mode 0 to 3.
std::string SongListFileName(int mode);
// The list's Linux path: the folder "Song" beside albumFolder (a Linux
// folder, with or without its '/').
std::string SongListPath(const std::string& albumFolder, int mode);

// text cut to width bytes as the columns cut it: a text of width bytes or
// more keeps width - 1 bytes and '~', or width - 2 and '~' when the byte at
// width - 1 is the trail byte of a double-byte character.
std::string CutListText(std::string_view text, size_t width);
// The fixed-column heading and rule lines, and a song's line, each with its
// CR LF; shift is how far the number's width moved the later columns.
std::string ColumnHeading(const SongListTexts& texts, size_t shift);
std::string ColumnRule(size_t shift);
std::string ColumnLine(const SongRecord& record, const SongListTexts& texts, size_t shift);
// A song's tab-separated line with its CR LF; path is the song file's path.
std::string TabLine(const SongRecord& record, std::string_view path, const SongListTexts& texts);

struct SongListOptions {
  SongListForm form = SongListForm::kColumns;
  int mode = 0;
  SongListTexts texts;
  RebuildProgress* progress = nullptr; // shows the export when set
};

// Writes the list of every song of the catalogue to SongListPath. The file is
// replaced whole: when anything fails the old list stays as it was. Each
// album file is read once. true when written; *path (when given) is the
// list's path either way.
bool WriteSongList(const AlbumDatabase& db, const SongListOptions& options,
                   std::string* path = nullptr);

// The editor's argument list for the list file: [AlbManager] "WordEditor" of
// configIni and the path; a value that is empty, begins with '0' or is
// "Notepad.exe" means the desktop's default opener (xdg-open).
std::vector<std::string> EditorCommand(const std::string& configIni, const std::string& listPath);
using Spawner = std::function<bool(const std::vector<std::string>& argv)>;
// Starts the editor on the list through spawn; its result is the spawner's.
bool OpenSongListInEditor(const std::string& configIni, const std::string& listPath,
                          const Spawner& spawn);

} // namespace album
