#include "host/commands.h"
#include "host/album_command.h"
#include "host/display_command.h"
#include "host/interchange_command.h"
#include "host/lyrics_command.h"

#include "core/songconvert.h"
#include "core/songinfo.h"
#include "host/play.h"
#include "host/score_command.h"
#include "host/waves_command.h"
#include "host/bank_command.h"
#include "host/edit_command.h"
#include "host/logo_command.h"
#include "host/record_command.h"
#include "host/party_command.h"

#include <cstdio>
#include <string>

namespace host {
namespace {

int Help(std::span<char*>);

const Command kCommands[] = {
    {"help", "help", "lists the commands", Help},
    {"demo", "demo [--wav OUT.wav]", "plays the bundled demo song (into a WAV file without sound)",
     DemoCommand},
    {"play", "play FILE [--device N] [--wav OUT.wav] [--tempo +-P] [--key +-K] [--no-display] [--logo]",
     "plays a song file to its end with the lyric display (after the start-up logo), or renders it into a WAV file",
     PlayCommand},
    {"devices", "devices", "lists the MIDI output devices", DevicesCommand},
    {"info", "info [--codepage N] FILE", "prints a song file's timing, title and lyrics as JSON",
     core::InfoCommand},
    {"convert", "convert IN OUT --kind K", "saves a song file in another format (save kind K)",
     core::ConvertCommand},
    {"lyrics", "lyrics IN TEXT OUT [--melody N] [--split] [--codepage N] [--marks]",
     "puts a lyric text on a song's melody and saves it as a karaoke song", LyricsCommand},
    {"interchange", "interchange export SONG OUT.txt",
     "writes a song's information and lyric timing as a text to edit", InterchangeCommand},
    {"interchange", "interchange import SONG IN.txt [--track N] [--codepage N] -o OUT",
     "reads such a text back into the song's lyric track (or track N) and saves it",
     InterchangeCommand},
    {"display",
     "display [--image NAME] [--mode still|overlay|mpeg|video] [--reserve N[:TITLE]...] [--next N TITLE] "
     "[--media-folder images|videos|mpeg DIR] "
     "[--codepage N] [--page FILE.htm] [--score N] [--controller]",
     "starts the lyric display when it is not running; shows the picture NAME; asks for a "
     "background mode; sends up to five reservations and the next song; lists a folder of "
     "background pictures or videos; shows an HTML page or the score page; opens the "
     "controller bar",
     DisplayCommand},
    {"album", "album probe|dump FILE...",
     "prints song files as album records, or an album file, as JSON", AlbumCommand},
    {"album", "album build DIR... [--add]",
     "builds the song catalogue from song folders (check, albums, list, show to read it)",
     AlbumCommand},
    {"album", "album import SRC DEST",
     "converts every .kar and .mid below SRC into song files in DEST (its sub-folders kept) and "
     "adds DEST's folders to the catalogue",
     AlbumCommand},
    {"album", "album find TEXT [--singer|--text] [--album N|--favourites N] [--category C]",
     "finds songs by the start of their title or singer, or by their text (also random, "
     "singers [POS], walk)",
     AlbumCommand},
    {"album", "album shell",
     "one album session: reserves, takes and lists songs and writes the song list, commands "
     "read from standard input",
     AlbumCommand},
    {"album", "album export [--tsv] [--no-editor] [--utf8]",
     "writes the whole catalogue as a song list text and opens it in the text editor",
     AlbumCommand},
    {"album", "album manager [--view N]",
     "opens the album manager window (view 0 albums, 1 song kinds, 2 folders) until it is "
     "closed, printing its notices",
     AlbumCommand},
    {"score", "score VOICE.wav [SONG] [--rate R] [--offset MS] [--params F] [--trace]",
     "scores a recorded voice against a song's melody", ScoreCommand},
    {"bank", "bank SONG [--load SLOT FILE.sf2 [--embed]] [--remove SLOT] [--extract SLOT OUT.sf2] [--base N] [-o OUT]",
     "lists and fills a song's own sound banks, saves as a 3.50 song; --default FILE.sf2 sets the card's user bank",
     BankCommand},
    {"waves", "waves SONG [--load SLOT FILE.wav] [--name SLOT TEXT] [--delete SLOT] [--event SLOT TICK] [--play SLOT] [-o OUT]",
     "lists, fills and plays a song's embedded waves, adds wave events, saves as a 3.50 song",
     WavesCommand},
    {"edit", "edit [FILE] [--device N] [--display]",
     "opens the song editor on a song file (or on no song) until its window is closed",
     EditCommand},
    {"record", "record OUT.wav [--seconds S] [--rate R] [--bits B] [--channels C] [--play]",
     "records from the microphone into a WAV file, and plays it back", RecordCommand},
    {"record", "record --open FILE.wav", "plays a WAV file through the wave recorder",
     RecordCommand},
    {"logo", "logo [--about]", "shows the start-up logo until it closes, or the about box",
     LogoCommand},
    {"party", "party [NUMBER...] [--no-display] [--device N]",
     "the karaoke session: plays the reserved songs one after the other with the lyric display; "
     "numbers typed while a song plays reserve more (/TEXT finds, x N unreserves, s skips, q "
     "quits)",
     PartyCommand},
};

int Help(std::span<char*>) {
  std::printf("usage: vexo3 COMMAND [ARGS]\n\ncommands:\n");
  for (const auto& c : kCommands)
    std::printf("  %-28s %s\n", std::string(c.usage).c_str(), std::string(c.summary).c_str());
  return 0;
}

} // namespace

std::span<const Command> Commands() {
  return kCommands;
}

int RunCommandLine(int argc, char** argv) {
  if (argc < 2)
    return Help({});
  std::string_view name = argv[1];
  for (const auto& c : kCommands) {
    if (c.name == name)
      return c.run(std::span<char*>(argv + 2, argc - 2));
  }
  std::fprintf(stderr, "vexo3: unknown command '%s' (try 'vexo3 help')\n", argv[1]);
  return 2;
}

} // namespace host
