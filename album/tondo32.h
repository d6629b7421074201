// The song-album library Tondo32 as a host sees it: its start and end, and
// the `TONDO32_` exports over the album database. Everything runs on the
// host's calling thread; pointers handed out stay owned by the library and
// valid until the next call that rebuilds the same data.
//
// Linux gives a library no way to refuse its own load, so the host calls
// Tondo32_Attach right after loading it and unloads it again when the start
// is refused (the resource bundle rTondo32 missing, after the message box
// "rTondo32.dll is not found!").
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// 1 when the library may stay loaded, 0 when it refuses; a second call
// after a start returns 1 and does nothing.
int32_t Tondo32_Attach(void);
// Why the last start was refused (empty after a start), zero-terminated and
// cut to fit into text when given; returns its full length.
int32_t Tondo32_AttachError(char* text, int32_t size);
// Frees the album (its catalogue written when changed) and what the start
// took. Returns 1.
int32_t Tondo32_Detach(void);

// Opens the catalogue of the album folder and checks its folders; status
// texts go to statusWindow (WM_COPYDATA kind 0x10506) when it is not 0.
// 1 loaded (also for every later call), -1 nothing to load, 0 failed.
int32_t TONDO32_LoadTondo32(uint32_t statusWindow);
void TONDO32_FreeTondo32(void);
// The folder check again (also reads new [AlbManager] "Dir1".. keys).
void TONDO32_AutoAlbumUpdate(void);

// These four load the album first when it is not loaded yet.
int32_t TONDO32_GetTotalNumOfSong(void);
int32_t TONDO32_GetMaxSongNum(void);
// Song numbers of the current context into numbers (capacity in bytes): 1
// when all of them fitted, else 0.
int32_t TONDO32_GetTotalSongList(int32_t* numbers, int32_t capacity);
// The song's 541-byte record with its file's full path: 1 found, 0 not.
int32_t TONDO32_GetSongDataBySongNum(int32_t number, void* record);

int32_t TONDO32_GetNumOfSubAlb(void);
int32_t TONDO32_GetNumOfSubAlbum(void);
// The sub-album's (1-based) song folder into buffer, at most 260 bytes with
// the zero byte: 1 copied, 0 no such sub-album.
int32_t TONDO32_GetSubAlbDataPath(int32_t index, char* buffer);
const char* TONDO32_GetSubAlbumName(int32_t index);
// u32 count, then the sub-album's song numbers; null when there is none.
const void* TONDO32_GetSongListOfSubAlbum(int32_t index);
// -1 the whole album, below 0x10000 a my-album list, otherwise a 1-based
// sub-album index in the high 16 bits.
void TONDO32_SetCurrAlbumContext(int32_t context);
int32_t TONDO32_GetCurrAlbumContext(void);
uint32_t TONDO32_GetAlbumListLUT(void);
// u32 count, then the new songs' numbers; null while there are none.
const int32_t* TONDO32_GetNewSongListBlock(void);

// The my-album lists: their count, the store's name, a list's name by its
// 0-based index (null when none), and the song count of a list (context
// below 0x10000) or of the sub-album in the context's high 16 bits.
int32_t TONDO32_GetNumOfMyAlbum(void);
const char* TONDO32_GetNameOfMyAlbumHeader(void);
const char* TONDO32_GetNameOfMyAlbum(int32_t index);
int32_t TONDO32_GetNumOfSongInMyAlbum(int32_t context);

// A song picked at random among the current context's songs that the
// category filter shows, into the 541-byte record as
// TONDO32_GetSongDataBySongNum gives it: 1 picked, 0 none there.
int32_t TONDO32_GetRandomSong(void* record);

// Title (kind 0), singer (1) and text (2) queries: 1 opened, 0 no album.
// Each step gives 0 finished, 1 a match in the 541-byte record (its file
// name bare), 2 none this step. The two opens load the album first.
int32_t TONDO32_OpenQueryByTitleSinger(const char* text, int32_t kind);
int32_t TONDO32_GetQueryByTitleSinger(void* record);
void TONDO32_CloseQueryByTitleSinger(void);
// The walk over every song of the context in title order: 1 opened, 0 no
// song. Each step gives the song's type letter (number 0 for a song the
// filter hides), or 100 at the end; code may be null.
int32_t TONDO32_OpenQueryBySequentially(void);
char TONDO32_GetQueryBySequentially(int32_t* number, char** title, char** code);
void TONDO32_CloseQueryBySequentially(void);

// Singers: u32 count then 36-byte entries (u32 position, 32 bytes of
// text); with 1 the singers with a downloaded song, with 0 those with one
// not downloaded. Null for an empty album.
const void* TONDO32_GetSingerList(int32_t downloaded);
const void* TONDO32_GetSongsOfSinger(void);
// u32 count then 68-byte entries (u32 number, 16-byte code, 48-byte title)
// of the singer at the position, whose text must name it; null otherwise.
const void* TONDO32_GetSongListOfSinger(int32_t position, const char* singer, int32_t downloaded);

// The category filter byte (0 none): returns 1.
int32_t TONDO32_SetCategoryFilter(uint8_t category);
uint8_t TONDO32_GetCategoryFilter(void);
// The reservation queue. A name that the album API gives to two forms keeps
// it for the form with more arguments; the other form's export adds the
// number of its arguments to the name: TONDO32_AddSongReserve1 (the number
// alone), TONDO32_RemoveReservedSong0 (the last one), TONDO32_Tondo32Manager1
// (the host window alone).
//
// The 312-byte record at the 1-based position, taken out of the queue (the
// one at position 1 becomes the current song); null when out of range.
const void* TONDO32_GetReservedSong(int32_t position);
// u32 count, then per reservation i32 number, title in 48 bytes, u32 length L
// and L bytes of path text; a zero byte at the end. Null for an empty queue.
const void* TONDO32_GetReservedSongBlock(void);
void TONDO32_FreeReservedSongBlock(void);
// Appends a reservation (number below 1: a song file outside the album).
void TONDO32_AddSongReserve(int32_t number, const char* title, const char* path);
// Appends the catalogue's song with its title and full path; nothing when
// there is no such song.
void TONDO32_AddSongReserve1(int32_t number);
int32_t TONDO32_GetNumOfReservedSong(void);
// The first reservation of the number: 1 removed, 0 none.
int32_t TONDO32_RemoveReservedSong(int32_t number);
// The last reservation: 1 removed, 0 the queue is empty.
int32_t TONDO32_RemoveReservedSong0(void);
void TONDO32_ClearReservedSong(void);

// What changed in the queue: kind 0 taken, 1 removed by number, 2 the last
// removed, 3 emptied, 4 added; the song number and the 1-based position.
typedef void (*Tondo32ReserveNotice)(int32_t kind, int32_t number, int32_t position, void* user);
// The host's notice (null: none); the album manager is told as well.
void Tondo32_SetReserveNotice(Tondo32ReserveNotice notice, void* user);

// The whole catalogue as a song list ("Song" beside the album folder), in
// fixed columns / tab-separated, then opened in the configured text editor.
void TONDO32_MakeSongList(void);
void TONDO32_MakeSongListEx(void);
// The same step by step for a host that reports it: writes the list (tabs
// 0 or 1) and, when openEditor and it was written, starts the editor. 1
// written, 0 not (the old list is then unchanged), -1 no album loaded. The
// list's Linux path goes into path (cut to size with its zero byte).
int32_t Tondo32_WriteSongList(int32_t tabs, int32_t openEditor, char* path, int32_t size);

// Album modes: 0 the local album, 1 "i", 2 "j", 3 "p" (the song server's
// catalogues). A switch to another mode empties the reservation queue (with
// its notice) and loads that mode's album; a mode outside 0-3 does nothing.
void TONDO32_SetAlbumModeTo(int32_t mode);
int32_t TONDO32_GetAlbumMode(void);
// 1 in mode 1, else 0.
int32_t TONDO32_IsAlbumModeINet(void);
// The server dialog; a URL confirmed with OK is written to [OnLine] "Server".
void TONDO32_INetServerSettingDlg(void);
// The server URL for this run (one trailing '/' dropped).
void TONDO32_SetINetServerUrl(const char* url);
// Fetches the current mode's index and the rolls it changes, then the mode
// album is built again.
void TONDO32_INetDownLoadiThunk(void);
// The same for a host that reports it: 1 the index fetched and the mode
// album made again from it, 0 the index not fetched, 2 fetched but the
// catalogue not updated (a roll not fetched, the index refused).
int32_t Tondo32_INetUpdate(void);
// The download dialog fetching url into file (a Linux or stored path),
// owned by owner; option set shows the title line. 1 when it ended with OK
// (the whole file there), 0 otherwise or for a null url or file.
int32_t TONDO32_DownLoadFile(const char* url, const char* file, uint32_t owner, int32_t option);
// Mode 3: u32 count, then the numbers of the rolls the index file adds or
// changes; null in other modes.
const int32_t* TONDO32_MakeUpdatedSubAlbumList(const char* thunk);
// Mode 3: the mode album built again from its rolls (1); 0 otherwise.
int32_t TONDO32_UpdateMasterAlbum(void);
// Mode 2: the song fetched into the download folder (1 a whole song), or a
// downloaded song's file deleted (the deletion's result); 0 otherwise.
int32_t TONDO32_DownLoadSongBySongNum(int32_t number);
int32_t TONDO32_RemoveDownloadedSongBySongNum(int32_t number);

#ifdef __cplusplus
} // extern "C"
#endif
