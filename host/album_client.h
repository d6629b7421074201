// The song album as a host sees it: the library Tondo32 loaded by name from
// a folder, its start, and the exports this host calls, bound by name.
#pragma once

#include "platform/sys/library.h"

#include <cstdint>
#include <memory>
#include <string>

namespace host {

struct Tondo32Exports {
  int32_t (*Attach)() = nullptr;
  int32_t (*AttachError)(char* text, int32_t size) = nullptr;
  int32_t (*Detach)() = nullptr;
  int32_t (*LoadTondo32)(uint32_t statusWindow) = nullptr;
  void (*FreeTondo32)() = nullptr;
  void (*AutoAlbumUpdate)() = nullptr;
  int32_t (*GetTotalNumOfSong)() = nullptr;
  int32_t (*GetMaxSongNum)() = nullptr;
  int32_t (*GetTotalSongList)(int32_t* numbers, int32_t capacity) = nullptr;
  int32_t (*GetSongDataBySongNum)(int32_t number, void* record) = nullptr;
  int32_t (*GetNumOfSubAlb)() = nullptr;
  int32_t (*GetNumOfSubAlbum)() = nullptr;
  int32_t (*GetSubAlbDataPath)(int32_t index, char* buffer) = nullptr;
  const char* (*GetSubAlbumName)(int32_t index) = nullptr;
  const void* (*GetSongListOfSubAlbum)(int32_t index) = nullptr;
  void (*SetCurrAlbumContext)(int32_t context) = nullptr;
  int32_t (*GetCurrAlbumContext)() = nullptr;
  uint32_t (*GetAlbumListLUT)() = nullptr;
  const int32_t* (*GetNewSongListBlock)() = nullptr;
  int32_t (*GetNumOfMyAlbum)() = nullptr;
  const char* (*GetNameOfMyAlbumHeader)() = nullptr;
  const char* (*GetNameOfMyAlbum)(int32_t index) = nullptr;
  int32_t (*GetNumOfSongInMyAlbum)(int32_t context) = nullptr;
  uint32_t (*Tondo32Manager)(uint32_t hostWindow, int16_t viewType) = nullptr;
  int32_t (*GetRandomSong)(void* record) = nullptr;
  int32_t (*OpenQueryByTitleSinger)(const char* text, int32_t kind) = nullptr;
  int32_t (*GetQueryByTitleSinger)(void* record) = nullptr;
  void (*CloseQueryByTitleSinger)() = nullptr;
  int32_t (*OpenQueryBySequentially)() = nullptr;
  char (*GetQueryBySequentially)(int32_t* number, char** title, char** code) = nullptr;
  void (*CloseQueryBySequentially)() = nullptr;
  const void* (*GetSingerList)(int32_t downloaded) = nullptr;
  const void* (*GetSongsOfSinger)() = nullptr;
  const void* (*GetSongListOfSinger)(int32_t position, const char* singer,
                                     int32_t downloaded) = nullptr;
  int32_t (*SetCategoryFilter)(uint8_t category) = nullptr;
  uint8_t (*GetCategoryFilter)() = nullptr;
  const void* (*GetReservedSong)(int32_t position) = nullptr;
  const void* (*GetReservedSongBlock)() = nullptr;
  void (*FreeReservedSongBlock)() = nullptr;
  void (*AddSongReserve)(int32_t number, const char* title, const char* path) = nullptr;
  void (*AddSongReserve1)(int32_t number) = nullptr;
  int32_t (*GetNumOfReservedSong)() = nullptr;
  int32_t (*RemoveReservedSong)(int32_t number) = nullptr;
  int32_t (*RemoveReservedSong0)() = nullptr;
  void (*ClearReservedSong)() = nullptr;
  void (*SetReserveNotice)(void (*notice)(int32_t kind, int32_t number, int32_t position,
                                          void* user),
                           void* user) = nullptr;
  void (*MakeSongList)() = nullptr;
  void (*MakeSongListEx)() = nullptr;
  int32_t (*WriteSongList)(int32_t tabs, int32_t openEditor, char* path, int32_t size) = nullptr;
  // The album modes and the song server.
  void (*SetAlbumModeTo)(int32_t mode) = nullptr;
  int32_t (*GetAlbumMode)() = nullptr;
  int32_t (*IsAlbumModeINet)() = nullptr;
  void (*INetServerSettingDlg)() = nullptr;
  void (*SetINetServerUrl)(const char* url) = nullptr;
  void (*INetDownLoadiThunk)() = nullptr;
  int32_t (*INetUpdate)() = nullptr;
  int32_t (*DownLoadFile)(const char* url, const char* file, uint32_t owner,
                          int32_t option) = nullptr;
  const int32_t* (*MakeUpdatedSubAlbumList)(const char* thunk) = nullptr;
  int32_t (*UpdateMasterAlbum)() = nullptr;
  int32_t (*DownLoadSongBySongNum)(int32_t number) = nullptr;
  int32_t (*RemoveDownloadedSongBySongNum)(int32_t number) = nullptr;
};

// The buffer GetSubAlbDataPath fills.
constexpr size_t kSubAlbDataPathSize = 260;

class AlbumClient {
public:
  // Loads Tondo32 from folder, binds its exports and starts it; nullptr, with
  // the reason in *error, when any of it fails.
  static std::unique_ptr<AlbumClient> Start(const std::string& folder, std::string* error);
  // Frees the album (written when changed) and ends the library.
  ~AlbumClient();
  AlbumClient(const AlbumClient&) = delete;
  AlbumClient& operator=(const AlbumClient&) = delete;

  const Tondo32Exports& Exports() const { return exports_; }

private:
  explicit AlbumClient(sys::Library library) : library_(std::move(library)) {}

  sys::Library library_;
  Tondo32Exports exports_;
  bool attached_ = false;
};

} // namespace host
