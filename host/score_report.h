// What `vexo3 score` and `vexo3 play --score` print of a scoring: the score,
// the counters and the runs of equal singing status, block by block.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace host {

// Runs of equal status, as "3x12 58x4 2x1".
class StatusRuns {
public:
  void Add(int32_t status);
  std::string Text() const;

private:
  std::vector<std::pair<int32_t, int>> runs_;
};

struct ScoreReport {
  int32_t score = 0;
  float scoreFloat = 0;
  int blocks = 0;
  int32_t voiceChecks = 0, voiceHits = 0;
  int32_t pitchChecks = 0, errorCount = 0;
  float errorSum = 0;
  int32_t emptyChecks = 0, emptyHits = 0;
};

void PrintScoreReport(const ScoreReport& r, const StatusRuns& runs);

} // namespace host
