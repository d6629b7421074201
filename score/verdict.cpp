#include "score/verdict.h"

#include "platform/media/waveout.h"

namespace score {

const char* VerdictSoundName(int32_t score) {
  struct Step {
    int32_t from;
    const char* name;
  };
  static const Step steps[] = {
      {95, "95.WAV"}, {90, "90.WAV"}, {80, "80.WAV"}, {70, "70.WAV"}, {60, "60.WAV"}};
  for (const Step& s : steps)
    if (score >= s.from)
      return s.name;
  return nullptr;
}

bool PlayVerdict(int32_t score, const std::string& folder) {
  const char* name = VerdictSoundName(score);
  if (!name)
    return false;
  return media::PlayWaveFile(folder + "/" + name, true);
}

} // namespace score
