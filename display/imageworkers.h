// Where the still-image engine's loader and recompose work runs: on threads
// of the lowest priority in the program; in tests, as steps the test runs.
#pragma once

#include <functional>
#include <memory>

namespace display {

class ImageWorkers {
public:
  virtual ~ImageWorkers() = default;
  // Runs work away from the user-interface thread. The engine starts one at
  // a time and joins it before it starts the next.
  virtual void Start(std::function<void()> work) = 0;
  // Waits until the work started last has ended.
  virtual void Join() = 0;
};

// Each work on a thread of its own at the lowest priority.
std::unique_ptr<ImageWorkers> MakeThreadWorkers();

// What the engines made from now on run their work on (nullptr: threads).
using ImageWorkersFactory = std::function<std::unique_ptr<ImageWorkers>()>;
void SetImageWorkersFactory(ImageWorkersFactory factory);
std::unique_ptr<ImageWorkers> MakeImageWorkers();

} // namespace display
