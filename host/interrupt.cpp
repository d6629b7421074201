#include "host/interrupt.h"

namespace host {

std::atomic<bool> interrupted{false};

namespace {

extern "C" void OnInterrupt(int) {
  interrupted.store(true);
}

} // namespace

InterruptGuard::InterruptGuard() {
  interrupted.store(false);
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &oldInt_);
  sigaction(SIGTERM, &action, &oldTerm_);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &oldInt_, nullptr);
  sigaction(SIGTERM, &oldTerm_, nullptr);
}

} // namespace host
