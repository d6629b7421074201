#include "core/songevent.h"

namespace core {

void WriteSongEvent(sys::ByteWriter& out, const SongEvent& e) {
  out.U32LE(e.tick);
  out.U32LE(e.ms);
  out.U32LE(e.duration);
  out.U32LE(e.durationMs);
  out.U8(e.kind);
  out.U8(e.imageAction);
  out.U16LE(e.length);
  out.U32LE(e.data);
}

std::optional<SongEvent> ReadSongEvent(sys::ByteReader& in) {
  if (in.Remaining() < kSongEventSize)
    return std::nullopt;
  SongEvent e;
  e.tick = *in.U32LE();
  e.ms = *in.U32LE();
  e.duration = *in.U32LE();
  e.durationMs = *in.U32LE();
  e.kind = *in.U8();
  e.imageAction = *in.U8();
  e.length = *in.U16LE();
  e.data = *in.U32LE();
  return e;
}

} // namespace core
