#include "display/imageworkers.h"

#include <mutex>
#include <thread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace display {
namespace {

class ThreadWorkers : public ImageWorkers {
public:
  ~ThreadWorkers() override { Join(); }
  void Start(std::function<void()> work) override {
    Join();
    thread_ = std::thread([work = std::move(work)] {
      // The loader gives way to the colour wipe and the painting.
      setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
      work();
    });
  }
  void Join() override {
    if (thread_.joinable())
      thread_.join();
  }

private:
  std::thread thread_;
};

std::mutex factoryMutex;
ImageWorkersFactory factory;

} // namespace

std::unique_ptr<ImageWorkers> MakeThreadWorkers() {
  return std::make_unique<ThreadWorkers>();
}

void SetImageWorkersFactory(ImageWorkersFactory f) {
  std::lock_guard lock(factoryMutex);
  factory = std::move(f);
}

std::unique_ptr<ImageWorkers> MakeImageWorkers() {
  std::lock_guard lock(factoryMutex);
  return factory ? factory() : MakeThreadWorkers();
}

} // namespace display
