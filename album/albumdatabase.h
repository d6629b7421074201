// The song catalogue: the folders of song files (sub-albums), one album file
// per folder, the master album "Song.alb" that lists them and serialises the
// song index, and the index itself with its look-ups by number, title order,
// file name and album.
//
// Folders and album paths are kept as the stored files hold them (code-page
// bytes, backslashes, drive letters) and turned into Linux paths only to
// touch the file system.
//
// Crash safety: every album file and "Song.alb" is replaced atomically; the
// master is written last and is the point at which a change takes effect. A
// full rebuild writes its albums under file names the current catalogue does
// not use and deletes the old files only once the new "Song.alb" is whole.
// Each album file carries a generation that the master records; an album
// file rewritten after the master was written is re-indexed from its records
// at load, and a damaged "Song.alb" is rebuilt from the album files.
#pragma once

#include "album/albumformats.h"
#include "album/albumtext.h"
#include "album/inetmode.h"
#include "album/myalbum.h"
#include "album/reserve.h"
#include "album/songrecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace album {

// The folder that holds "Song.alb", "config.ini" and the album files, with a
// trailing '/': $VEXO_CONFIG_DIR when set, else the folder of the album
// library itself (beside the programs).
std::string DefaultAlbumFolder();

// Status texts sent to the host while the catalogue is checked.
constexpr int kStatusCheckStart = 7101, kStatusCheckDone = 7102, kStatusAlbumStale = 7103;
constexpr int kStatusFolderMissing = 7104, kStatusFoldersAdded = 7107, kStatusFindingSongs = 7108;

// The texts that live in the resource library.
struct AlbumTexts {
  std::string removedFolder = "Removed Songs"; // sibling of the album folder
  std::string downloadFolder = "Download";     // sibling of the album folder
  std::string server = "http://localhost/vexo";
  std::string thunk = "http://localhost/vexo/iThunk.alb";
  // Title-group bounds: the first syllables of the 14 initial consonants
  // (code-page bytes) and the 26 letters.
  std::array<std::string, 14> syllables = {
      "\xB0\xA1", "\xB3\xAA", "\xB4\xD9", "\xB6\xF3", "\xB8\xB6", "\xB9\xD9", "\xBB\xE7",
      "\xBE\xC6", "\xC0\xDA", "\xC2\xF7", "\xC4\xAB", "\xC5\xB8", "\xC6\xC4", "\xC7\xCF"};
  std::array<std::string, 26> letters = {"A", "B", "C", "D", "E", "F", "G", "H", "I",
                                         "J", "K", "L", "M", "N", "O", "P", "Q", "R",
                                         "S", "T", "U", "V", "W", "X", "Y", "Z"};
  // What a rebuild shows: its start and end, and each album file it writes
  // ("%s" is the file's name).
  std::string building = "Building the song albums...";
  std::string built = "The song albums are built.";
  std::string writingAlbum = "Writing %s";
  // The my-album store's name until its file is read.
  std::string myAlbumHeader = "My Albums";
};

// What a rebuild shows while it runs (the library puts it in its progress
// dialog): two lines of text (code-page bytes) and a bar from 0 to 100.
class RebuildProgress {
public:
  virtual ~RebuildProgress() = default;
  virtual void Open(std::string_view text) = 0;
  virtual void SetText(int line, std::string_view text) = 0; // line 1 or 2
  virtual void SetBar(int percent) = 0;
  virtual void Close(std::string_view text) = 0;
};

// Title groups: 0-13 double-byte initials, 14-39 letters, 40 the rest.
constexpr int kOtherTitleGroup = 40;
int TitleGroupOf(std::string_view title, bool intl, const AlbumTexts& texts);

// One song of the index.
struct IndexedSong {
  SongIndexEntry e;
  std::multiset<IndexedSong*>::iterator byTitle; // set by the database
};

// An album file mapped for look-ups; replacing the file (a rename) leaves
// the mapping on the old file, so it is dropped whenever the album is written.
struct MappedAlbum;
// The keys the queries search, per album file (query.h).
struct AlbumMatchIndex;
struct QueryScan;
class SingerIndex;

// One sub-album: its album file and song folder (stored forms), the header
// of its album file and the flags the rebuild uses.
class AlbumFile {
public:
  uint16_t number = 0;
  std::string path;               // album file, stored form
  std::string folder;             // song folder, stored form, no trailing backslash
  LocalAlbum header;              // records left empty
  uint16_t indexedGeneration = 0; // what the master recorded
  bool visited = false;
  bool headerDirty = false;
  // A roll of an internet mode: folder is the roll's URL, path its roll
  // album, and baseLocation the text its songs' names are relative to.
  bool internet = false;
  std::string baseLocation;

  struct OldSong {
    uint32_t number = 0;
    bool found = false;
    std::string fileName;
  };
  std::vector<OldSong> oldSongs; // only while the album is rewritten

  mutable std::shared_ptr<MappedAlbum> mapped; // made by the first look-up
  mutable std::shared_ptr<AlbumMatchIndex> matches; // made by the first query
  // Drops the mapping and the match index: the file is being rewritten.
  void DropCaches() const;
};

class AlbumDatabase {
public:
  struct Options {
    AlbumTexts texts;
    VolumeLookup volumes;
    // Receives the status text ids (7101-7108) when set.
    std::function<void(int)> status;
    // Shows the rebuilds when set; it outlives the database.
    RebuildProgress* progress = nullptr;
    // The internet modes' dialogs. download fetches url into file (title
    // shown when not empty) and is true only for a whole file there (the
    // download dialog ended with OK); without it nothing is fetched.
    std::function<bool(const std::string& url, const std::string& file, const std::string& title)>
        download;
    // The server dialog: the text the user confirmed, nullopt when cancelled.
    std::function<std::optional<std::string>(const std::string& current)> serverDialog;
    // Asked before another index file replaces the mode's catalogue: true
    // for yes. Without it the answer is no.
    std::function<bool()> confirmThunkChange;
    // Seconds since 1970 for the mode album's time of writing (the system
    // clock when not set).
    std::function<uint32_t()> clock;
  };

  AlbumDatabase();
  explicit AlbumDatabase(Options options);
  ~AlbumDatabase();
  AlbumDatabase(const AlbumDatabase&) = delete;
  AlbumDatabase& operator=(const AlbumDatabase&) = delete;

  // moduleFolder is a Linux folder. 1 opened, 0 no "Song.alb", -1 failed.
  int Open(const std::string& moduleFolder);
  // Writes "Song.alb" when dirty, then reads it again. 1 loaded, 0 none.
  int Reload();
  // Writes "Song.alb" when the catalogue changed since it was read.
  bool Flush();

  // 1 when the folder (stored form) was added to the folder list; unless
  // keepWhole, the text is first cut at its last backslash. 0 for an empty
  // text or one past 259 bytes.
  int AddSubAlbumFolder(std::string_view folder, bool keepWhole);
  size_t SubAlbumListSize() const { return subAlbumList_.size(); }
  void SetAddedFolders(bool added) { addedFolders_ = added; }

  // Scans the folder list (mode 0 incremental, 1 full) and writes
  // "Song.alb". 1 done, 0 failed or refused (a full rebuild of an empty list
  // would only delete).
  int Rebuild(int mode);
  // The load-time check: stale albums rewritten, albums of vanished folders
  // on fixed volumes dropped, [AlbManager] "Dir1".. read and rebuilt.
  int CheckAlbumFolders();

  // -1 folder missing, 0 up to date, 1 stale.
  int IsAlbumStale(const AlbumFile& album) const;
  // Write an album from its folder, with fresh numbers / keeping numbers.
  int WriteLocalAlbum(AlbumFile& album);
  int RewriteLocalAlbum(AlbumFile& album);
  // Numbers a record of the album at the given position and indexes it.
  uint32_t AssignSongNumber(AlbumFile& album, SongRecord& record, uint32_t position);

  // The record with its file name replaced by the full stored path.
  int GetSongDataBySongNum(uint32_t number, SongRecord& out) const;
  // The record as its album file holds it (file name alone) and the song's
  // folder (stored form). 1 found, 0 not.
  int GetSongRecordAndFolder(uint32_t number, SongRecord& record, std::string& folder) const;
  uint32_t FindSongByPath(std::string_view storedPath) const;
  // The index entry of a number (nullptr when none) and its song's full
  // stored path, both from memory alone.
  const SongIndexEntry* EntryByNumber(uint32_t number) const;
  std::optional<std::string> SongPath(uint32_t number) const;
  // A song of the album of folder numbered above newerThan with this title
  // and code, and not among taken: the song of a file renamed in its folder.
  // 0 when none.
  uint32_t FindRenamedSong(std::string_view folder, std::string_view title,
                           const std::array<uint8_t, 16>& songCode, uint32_t newerThan,
                           const std::vector<uint32_t>& taken) const;

  // The album context: -1 the whole catalogue, 0 to 0xFFFF a my-album list,
  // otherwise a 1-based sub-album index in the high 16 bits.
  static constexpr int32_t kWholeAlbum = -1;
  void SetCurrAlbumContext(int32_t context) { context_ = context; }
  int32_t GetCurrAlbumContext() const { return context_; }

  // Songs of the current context.
  uint32_t GetTotalNumOfSong() const;
  // The highest number: of the songs the category filter shows while it
  // is set.
  uint32_t GetMaxSongNum() const;
  // The highest number of the whole catalogue, whatever the filter.
  uint32_t HighestSongNumber() const { return highest_; }
  // The song numbers of the current context (title order, or the album's
  // order); 0 when they do not all fit capacityBytes, and then nothing is
  // written.
  int GetTotalSongList(int32_t* out, size_t capacityBytes) const;
  int GetNumOfSubAlb() const { return static_cast<int>(albums_.size()); }
  const AlbumFile* GetAlbumByIndex(int oneBased) const;
  const AlbumFile* GetAlbumByNumber(uint16_t number) const;
  // Copies the sub-album's song folder (stored form) with its zero byte,
  // cut to size bytes in all. 1 copied, 0 no such sub-album.
  int GetSubAlbDataPath(int oneBased, char* buffer, size_t size = kSubAlbDataPathSize) const;
  static constexpr size_t kSubAlbDataPathSize = 260;
  // The album name of the sub-album's header; nullptr when there is none.
  const char* GetSubAlbumName(int oneBased) const;
  // The first album named oldName is renamed (cut to 47 bytes, whole
  // characters); its header is written when the catalogue is freed.
  // 1 renamed, 0 no such album.
  int RenameSubAlbum(std::string_view oldName, std::string_view newName);
  // A u32 count then that many song numbers (title order); owned by the
  // database until the next call. nullptr when there is no such album.
  const uint32_t* GetSongListOfSubAlbum(int oneBased) const;
  // Moves the songs' files into the removed-songs folder (under a free name:
  // a file already there is kept) and drops them from the catalogue; each
  // slot removed is set to 0. 0 when a file could not be moved (the songs
  // before it stay removed).
  int RemoveSongs(int32_t* numbers, int count);
  const std::vector<uint32_t>* GetTitleGroupList(int group) const;
  // The time of writing of the mode album; 0 for the local album.
  uint32_t GetAlbumListLUT() const { return albumListLut_; }
  // A u32 count then the numbers of the new-song list; nullptr while the
  // list is empty (the local album has none).
  const uint32_t* GetNewSongListBlock() const;
  // Sends status text id through the status sink.
  void SendStatusText(int id) const { Status(id); }

  // Songs the last rebuild left out: a full path past the record's
  // 255 bytes, or a name without a code-page form.
  uint32_t SkippedSongs() const { return skipped_; }
  // True when "Song.alb" was damaged at the last load and rebuilt from the
  // album files; the count of albums re-indexed from their records.
  bool RecoveredMaster() const { return recoveredMaster_; }
  int ReindexedAlbums() const { return reindexed_; }

  const std::string& AlbumFolder() const { return albumFolder_; } // Linux, '/'
  std::string MasterPath() const { return albumFolder_ + "Song.alb"; }
  std::string ConfigPath() const { return albumFolder_ + "config.ini"; }
  const std::string& RemovedFolder() const { return removedFolder_; }
  const std::string& ServerUrl() const { return server_; }
  const std::string& ThunkFolder() const { return thunkFolder_; }
  bool Intl() const { return intl_; }
  // The my-album store, made and loaded by Open; nullptr before.
  MyAlbumStore* MyAlbums() { return store_.get(); }
  const MyAlbumStore* MyAlbums() const { return store_.get(); }
  // The song count of a my-album list (context below 0x10000) or of the
  // sub-album in the high 16 bits.
  uint32_t GetNumOfSongInMyAlbum(int32_t context) const;

  // Album modes: 0 the local album, 1-3 the catalogues of a server
  // (inetmode.h), whose mode album then takes the master album's place in
  // every look-up, total, query, walk, pick and singer list. While a mode
  // 1-3 is on, the local catalogue is not changed (rebuilds, checks,
  // removals and renames give 0).
  int GetAlbumMode() const { return albumMode_; }
  // Leaves the current mode (a changed mode-2 album written first) and
  // loads the new mode's album, built from the index and roll files on disk
  // when it is missing. 1 switched (or already there without force), 0 a
  // mode outside 0-3 (nothing changed).
  int SetAlbumModeTo(int mode, bool force);
  // The server URL in memory, without one trailing '/'.
  void SetINetServerUrl(std::string_view url);
  // The server dialog; its normalised URL is kept and written to
  // [OnLine] "Server" when the dialog ends with OK. 1 stored, 0 not.
  int INetServerSettingDlg();
  // Fetches the mode's index file and, once whole, processes it and runs
  // the fetch chain. 1 when the index was fetched.
  int INetDownLoadiThunk();
  // The same, telling how far it came.
  static constexpr int kIndexNotFetched = 0, kCatalogueUpdated = 1, kCatalogueNotUpdated = 2;
  int INetUpdate();
  // Reads the mode's index file. 1 read, 0 missing, damaged, naming a roll
  // outside the album folder, or another index the user did not accept.
  int ProcessThunk();
  // Joins the index's rolls to the mode album and (unless the catalogue is
  // being built from files on disk) fetches the new and changed rolls, then
  // updates the mode album. 1 done, 0 a roll not fetched (the mode album,
  // its rolls and songs as they were) or the update failed.
  int MergeRollFiles();
  void UnpackRollFiles();
  // The mode album made again from the roll albums and loaded; the
  // reservation queue is emptied once it is replaced. 1, 0 not written.
  int UpdateMasterAlbum();
  // Mode 3: u32 count, then the numbers of the rolls the given index file
  // adds or changes; owned here until the next call. nullptr in other modes
  // or for an index that cannot be read.
  const uint32_t* MakeUpdatedSubAlbumList(const std::string& thunkPath);
  int ReadModeAlbum();
  int WriteModeAlbum();
  // Mode 2: fetches a song into the download folder (1 a whole song is
  // there), or deletes a downloaded one (the deletion's result).
  int DownLoadSongBySongNum(uint32_t number);
  int RemoveDownloadedSongBySongNum(uint32_t number);
  // The index file name the next processing reads (a plain name in the
  // album folder); each switch sets the mode's own.
  const std::string& ThunkFileName() const { return thunkName_; }
  bool SetThunkFileName(std::string_view name);
  const std::string& ThunkLocation() const { return thunk_; }
  const std::string& DownloadFolder() const { return downloadFolder_; }
  // The mode's catalogue (nullptr in mode 0).
  const ModeCatalogue* Mode() const { return mode_.get(); }
  bool ModeDirty() const { return mode_ && mode_->dirty; }
  bool ThunkMissing() const { return thunkMissing_; }

  // Every index entry in title order (for tests and listings).
  std::vector<const SongIndexEntry*> Entries() const;

  // The reservation queue; emptied (and told so) by every reload.
  ReservationQueue& Reservations() { return reservations_; }
  const ReservationQueue& Reservations() const { return reservations_; }
  // The one builder of a song file's full stored path: its album's song
  // folder (stored form), a backslash and the file name.
  static std::string SongFilePath(std::string_view folder, std::string_view fileName);
  // A stored path as the Linux path it names (empty when it names none).
  std::string LinuxPath(std::string_view stored) const { return Linux(stored); }

  // Title, singer and text queries (query.h's kinds and results): the
  // album files' records, album by album, record by record, one match per
  // step, the record as stored (the bare file name). 1 opened, 0 no album.
  int OpenQueryByTitleSinger(std::string_view text, int32_t kind);
  int GetQueryByTitleSinger(SongRecord& out);
  void CloseQueryByTitleSinger();
  // The walk over the index in title order: number, title and code of the
  // next song of the context (number 0 for one the filter hides); the
  // result is its type letter, or 100 at the end. 1 opened, 0 empty index.
  int OpenQueryBySequentially();
  int GetQueryBySequentially(int32_t* number, const char** title,
                             const std::array<uint8_t, 16>** code);
  void CloseQueryBySequentially();
  // A song of the context that the filter shows, each with the same chance,
  // into out as GetSongDataBySongNum gives it. 1 picked, 0 none there.
  int GetRandomSong(SongRecord& out);
  // The random picks' generator from this seed on (it starts from the clock).
  void SeedRandom(uint64_t seed);

  // The singer index (singers.cpp): built from the index in title order on
  // first use, again after any change of the index. 1, 0 empty index.
  int PrepareSingerIndex();
  // u32 count, then 36-byte entries (u32 position in the index, 32 bytes of
  // singer text) of the singers with a song of the filter's category; with
  // downloaded 1 those with a downloaded song, with 0 those with a song not
  // downloaded. Owned here until the next call; nullptr for an empty index.
  const uint8_t* GetSingerList(int downloaded);
  // u32 count, then 68-byte entries (u32 number, 16-byte code, 48-byte
  // title); nullptr when the position is off or names another singer.
  const uint8_t* GetSongListOfSinger(int position, std::string_view singer, int downloaded);
  // u32 count, then the singer's song numbers; nullptr past the end.
  const uint32_t* GetSingerSongNumbers(int position);

  // The category filter (0 none): totals, lists, look-ups, queries, walks,
  // picks and singer lists show only songs of that category. Returns 1.
  int SetCategoryFilter(uint8_t category);
  uint8_t GetCategoryFilter() const { return filter_; }

private:
  struct ListEntry {
    int number;
    std::string folder; // stored
    std::string path;   // stored album path
  };

  void Clear();
  // Ends an open query and walk: they point into albums and entries.
  void CloseQueries();
  // The filtered count and highest number, made again after index changes.
  void UpdateFiltered() const;
  bool Shows(const SongIndexEntry& e) const { return filter_ == 0 || e.songCode[6] == filter_; }
  // The song numbers of the current context that the filter shows.
  std::vector<int32_t> ContextNumbers() const;
  // The numbers a random pick chooses among.
  const std::vector<uint32_t>& RandomCandidates();
  int ReadMaster();
  bool RecoverFromAlbumFiles();
  bool WriteMaster();
  void DeleteUnreferencedAlbumFiles();
  void BuildLists() const;
  void RewriteDirtyHeaders();
  IndexedSong* AddEntry(SongIndexEntry e, bool atEnd);
  void Unlink(IndexedSong* song);
  void RemoveAlbumSongs(uint16_t number);
  void ReindexAlbum(AlbumFile& album, const LocalAlbum& full);
  int WriteAlbum(AlbumFile& album, bool keepNumbers);
  bool FullRebuild();
  bool IncrementalRebuild();
  bool MayDropAlbum(const AlbumFile& album) const;
  std::string StoredAlbumPath(int fileNumber) const;
  std::string Linux(std::string_view stored) const;
  uint16_t HighestAlbumNumber() const;
  void Status(int id) const;
  void ShowText(int line, std::string_view text) const;
  void ShowBar(int percent) const;
  uint32_t Now() const;
  // A looked-up song's full path: its album's folder and name, a mode-1 or
  // mode-3 location, or mode 2's downloaded file.
  std::string FullSongPath(const AlbumFile& album, const SongIndexEntry& e,
                           std::string_view recordName) const;
  // The index of the current mode loaded again (the local master album or
  // the mode album) and the category filter applied to it.
  int LoadCurrentIndex();
  void LoadModeIndex();
  // An index entry's type letter set (the download state of mode 2).
  void SetEntryType(uint32_t number, char type);
  bool LocalOnly() const { return albumMode_ == 0; }

  Options options_;
  std::unique_ptr<MyAlbumStore> store_;
  std::string albumFolder_; // Linux, with '/'
  std::string removedFolder_, downloadFolder_;
  std::string server_, thunk_, thunkFolder_;
  bool intl_ = true;

  std::vector<ListEntry> subAlbumList_;
  int listCounter_ = 0;
  bool addedFolders_ = false;

  std::vector<std::unique_ptr<AlbumFile>> albums_;
  struct TitleLess {
    bool operator()(const IndexedSong* a, const IndexedSong* b) const;
  };
  std::multiset<IndexedSong*, TitleLess> byTitle_;
  std::unordered_map<uint32_t, IndexedSong*> byNumber_;
  std::unordered_multimap<std::string, IndexedSong*> byName_; // folded file name
  std::unordered_map<uint16_t, std::vector<IndexedSong*>> byAlbum_;
  // Title-group lists (0 double-byte, 1 letters, 2 other) and the song
  // numbers of each album in title order, built together on demand.
  mutable std::array<std::vector<uint32_t>, 3> groupLists_;
  mutable std::unordered_map<uint16_t, std::vector<uint32_t>> albumLists_;
  mutable bool groupsBuilt_ = false;
  mutable std::vector<uint32_t> block_; // the last sub-album list handed out
  std::vector<uint32_t> newSongBlock_;  // count, then the new songs
  uint32_t albumListLut_ = 0;
  int32_t context_ = kWholeAlbum;
  mutable std::unordered_map<uint16_t, AlbumFile*> albumByNumber_;
  mutable bool albumMapBuilt_ = false;
  uint32_t highest_ = 0;
  uint32_t lastHanded_ = 0;
  bool dirty_ = false;
  ReservationQueue reservations_;
  bool recoveredMaster_ = false;
  int reindexed_ = 0;
  uint32_t skipped_ = 0;

  // Bumped by every change of the index: what is made from it is made again.
  uint64_t indexGeneration_ = 1;
  std::unique_ptr<QueryScan> query_;
  IndexedSong* walk_ = nullptr; // the walk's next entry
  bool walkOpen_ = false;
  std::unique_ptr<std::unordered_set<uint32_t>> walkList_; // a my-album context's songs
  uint8_t filter_ = 0;
  mutable uint64_t filteredGeneration_ = 0;
  mutable uint32_t filteredCount_ = 0, filteredMax_ = 0;
  std::unique_ptr<std::mt19937_64> random_;
  struct Candidates {
    uint64_t generation = 0;
    int32_t context = 0;
    uint8_t filter = 0;
    std::vector<uint32_t> numbers;
  } candidates_;
  std::unique_ptr<SingerIndex> singers_;
  std::vector<uint8_t> singerBlock_, songsBlock_;

  // The internet modes.
  int albumMode_ = 0;
  std::unique_ptr<ModeCatalogue> mode_;
  std::string thunkName_;     // the index file the next processing reads
  std::string lastThunkName_; // the one the last processing accepted
  std::vector<ModeCatalogue::ThunkRoll> thunkRolls_;
  std::vector<uint32_t> thunkNewSongs_;
  bool noFetch_ = false;
  bool thunkMissing_ = false;
  bool replaceAll_ = false; // another index accepted: every roll fetched again
  std::string replacedThunk_;
  mutable uint32_t filteredDownloaded_ = 0;
  std::vector<uint32_t> updatedBlock_;
};

} // namespace album
