#include "host/album_client.h"

#include "host/library_client.h"

#include <array>
#include <vector>

namespace host {
namespace {

std::vector<Binding> Bindings(Tondo32Exports& t) {
  return {
      {"Tondo32_Attach", Slot(t.Attach)},
      {"Tondo32_AttachError", Slot(t.AttachError)},
      {"Tondo32_Detach", Slot(t.Detach)},
      {"TONDO32_LoadTondo32", Slot(t.LoadTondo32)},
      {"TONDO32_FreeTondo32", Slot(t.FreeTondo32)},
      {"TONDO32_AutoAlbumUpdate", Slot(t.AutoAlbumUpdate)},
      {"TONDO32_GetTotalNumOfSong", Slot(t.GetTotalNumOfSong)},
      {"TONDO32_GetMaxSongNum", Slot(t.GetMaxSongNum)},
      {"TONDO32_GetTotalSongList", Slot(t.GetTotalSongList)},
      {"TONDO32_GetSongDataBySongNum", Slot(t.GetSongDataBySongNum)},
      {"TONDO32_GetNumOfSubAlb", Slot(t.GetNumOfSubAlb)},
      {"TONDO32_GetNumOfSubAlbum", Slot(t.GetNumOfSubAlbum)},
      {"TONDO32_GetSubAlbDataPath", Slot(t.GetSubAlbDataPath)},
      {"TONDO32_GetSubAlbumName", Slot(t.GetSubAlbumName)},
      {"TONDO32_GetSongListOfSubAlbum", Slot(t.GetSongListOfSubAlbum)},
      {"TONDO32_SetCurrAlbumContext", Slot(t.SetCurrAlbumContext)},
      {"TONDO32_GetCurrAlbumContext", Slot(t.GetCurrAlbumContext)},
      {"TONDO32_GetAlbumListLUT", Slot(t.GetAlbumListLUT)},
      {"TONDO32_GetNewSongListBlock", Slot(t.GetNewSongListBlock)},
      {"TONDO32_GetNumOfMyAlbum", Slot(t.GetNumOfMyAlbum)},
      {"TONDO32_GetNameOfMyAlbumHeader", Slot(t.GetNameOfMyAlbumHeader)},
      {"TONDO32_GetNameOfMyAlbum", Slot(t.GetNameOfMyAlbum)},
      {"TONDO32_GetNumOfSongInMyAlbum", Slot(t.GetNumOfSongInMyAlbum)},
      {"TONDO32_Tondo32Manager", Slot(t.Tondo32Manager)},
      {"TONDO32_GetRandomSong", Slot(t.GetRandomSong)},
      {"TONDO32_OpenQueryByTitleSinger", Slot(t.OpenQueryByTitleSinger)},
      {"TONDO32_GetQueryByTitleSinger", Slot(t.GetQueryByTitleSinger)},
      {"TONDO32_CloseQueryByTitleSinger", Slot(t.CloseQueryByTitleSinger)},
      {"TONDO32_OpenQueryBySequentially", Slot(t.OpenQueryBySequentially)},
      {"TONDO32_GetQueryBySequentially", Slot(t.GetQueryBySequentially)},
      {"TONDO32_CloseQueryBySequentially", Slot(t.CloseQueryBySequentially)},
      {"TONDO32_GetSingerList", Slot(t.GetSingerList)},
      {"TONDO32_GetSongsOfSinger", Slot(t.GetSongsOfSinger)},
      {"TONDO32_GetSongListOfSinger", Slot(t.GetSongListOfSinger)},
      {"TONDO32_SetCategoryFilter", Slot(t.SetCategoryFilter)},
      {"TONDO32_GetCategoryFilter", Slot(t.GetCategoryFilter)},
      {"TONDO32_GetReservedSong", Slot(t.GetReservedSong)},
      {"TONDO32_GetReservedSongBlock", Slot(t.GetReservedSongBlock)},
      {"TONDO32_FreeReservedSongBlock", Slot(t.FreeReservedSongBlock)},
      {"TONDO32_AddSongReserve", Slot(t.AddSongReserve)},
      {"TONDO32_AddSongReserve1", Slot(t.AddSongReserve1)},
      {"TONDO32_GetNumOfReservedSong", Slot(t.GetNumOfReservedSong)},
      {"TONDO32_RemoveReservedSong", Slot(t.RemoveReservedSong)},
      {"TONDO32_RemoveReservedSong0", Slot(t.RemoveReservedSong0)},
      {"TONDO32_ClearReservedSong", Slot(t.ClearReservedSong)},
      {"Tondo32_SetReserveNotice", Slot(t.SetReserveNotice)},
      {"TONDO32_MakeSongList", Slot(t.MakeSongList)},
      {"TONDO32_MakeSongListEx", Slot(t.MakeSongListEx)},
      {"Tondo32_WriteSongList", Slot(t.WriteSongList)},
      {"TONDO32_SetAlbumModeTo", Slot(t.SetAlbumModeTo)},
      {"TONDO32_GetAlbumMode", Slot(t.GetAlbumMode)},
      {"TONDO32_IsAlbumModeINet", Slot(t.IsAlbumModeINet)},
      {"TONDO32_INetServerSettingDlg", Slot(t.INetServerSettingDlg)},
      {"TONDO32_SetINetServerUrl", Slot(t.SetINetServerUrl)},
      {"TONDO32_INetDownLoadiThunk", Slot(t.INetDownLoadiThunk)},
      {"Tondo32_INetUpdate", Slot(t.INetUpdate)},
      {"TONDO32_DownLoadFile", Slot(t.DownLoadFile)},
      {"TONDO32_MakeUpdatedSubAlbumList", Slot(t.MakeUpdatedSubAlbumList)},
      {"TONDO32_UpdateMasterAlbum", Slot(t.UpdateMasterAlbum)},
      {"TONDO32_DownLoadSongBySongNum", Slot(t.DownLoadSongBySongNum)},
      {"TONDO32_RemoveDownloadedSongBySongNum", Slot(t.RemoveDownloadedSongBySongNum)},
  };
}

} // namespace

std::unique_ptr<AlbumClient> AlbumClient::Start(const std::string& folder, std::string* error) {
  std::string why;
  auto library = sys::Library::Load(folder, "Tondo32", &why);
  if (!library) {
    *error = "the song album cannot be loaded: " + why;
    return nullptr;
  }
  std::unique_ptr<AlbumClient> client(new AlbumClient(std::move(*library)));
  if (!BindAndAttach(client->library_, Bindings(client->exports_), client->exports_, "song album",
                     error))
    return nullptr;
  client->attached_ = true;
  return client;
}

AlbumClient::~AlbumClient() {
  if (attached_)
    exports_.Detach();
  // Kept loaded until the process ends: the window classes and widgets the
  // library's dialogs made stay reachable.
  library_.Release();
}

} // namespace host
