// The still-image engine's workers as steps of the test: each work an
// engine starts waits in one queue until the test runs it; a join runs what
// still waits, as a real join waits for it to end.
#pragma once

#include "display/imageworkers.h"

#include <deque>
#include <functional>
#include <memory>

namespace displaytest {

class SteppedWorkers {
public:
  SteppedWorkers() {
    display::SetImageWorkersFactory([queue = queue_] { return std::make_unique<Workers>(queue); });
  }
  ~SteppedWorkers() { display::SetImageWorkersFactory(nullptr); }
  SteppedWorkers(const SteppedWorkers&) = delete;
  SteppedWorkers& operator=(const SteppedWorkers&) = delete;

  size_t Pending() const { return queue_->size(); }
  // Runs the work that waits longest; false when none waits.
  bool RunOne() { return RunFront(*queue_); }

private:
  using Queue = std::deque<std::function<void()>>;
  static bool RunFront(Queue& queue) {
    if (queue.empty())
      return false;
    std::function<void()> work = std::move(queue.front());
    queue.pop_front();
    work();
    return true;
  }
  class Workers : public display::ImageWorkers {
  public:
    explicit Workers(std::shared_ptr<Queue> queue) : queue_(std::move(queue)) {}
    void Start(std::function<void()> work) override { queue_->push_back(std::move(work)); }
    void Join() override {
      while (RunFront(*queue_)) {
      }
    }

  private:
    std::shared_ptr<Queue> queue_;
  };

  std::shared_ptr<Queue> queue_ = std::make_shared<Queue>();
};

} // namespace displaytest
