#include "host/score_report.h"

#include <cstdio>

namespace host {

void StatusRuns::Add(int32_t status) {
  if (!runs_.empty() && runs_.back().first == status)
    ++runs_.back().second;
  else
    runs_.emplace_back(status, 1);
}

std::string StatusRuns::Text() const {
  std::string s;
  for (const auto& [status, count] : runs_)
    s += (s.empty() ? "" : " ") + std::to_string(status) + "x" + std::to_string(count);
  return s.empty() ? "none" : s;
}

void PrintScoreReport(const ScoreReport& e, const StatusRuns& runs) {
  const double r = e.voiceChecks ? double(e.voiceHits) / e.voiceChecks : 0;
  const double mean = e.errorCount ? e.errorSum / e.errorCount : 0;
  std::printf("score: %d (%.3f)\n", e.score, e.scoreFloat);
  std::printf("blocks: %d\n", e.blocks);
  std::printf("voice checks: %d, voiced %d (R %.3f)\n", e.voiceChecks, e.voiceHits, r);
  std::printf("pitch checks: %d, errors counted %d, sum %.3f (E %.3f semitones)\n", e.pitchChecks,
              e.errorCount, e.errorSum, mean);
  std::printf("between syllables: %d checks, silent %d\n", e.emptyChecks, e.emptyHits);
  std::printf("status runs: %s\n", runs.Text().c_str());
}

} // namespace host
