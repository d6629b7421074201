#include "platform/ui/modal/modal_hook.h"

#include "platform/sys/log.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

namespace ui {
namespace {

struct Running {
  int id;
  win::Hwnd owner;
  std::function<void()> cancel;
};

struct ThreadModals {
  std::vector<std::pair<int, ModalHook>> hooks;
  std::vector<Running> running;
  int nextId = 1;
};

thread_local ThreadModals tModals;

// Hooks run on copies, so that one may add or remove hooks.
void RunHooks(bool entering) {
  auto hooks = tModals.hooks;
  if (!entering)
    std::reverse(hooks.begin(), hooks.end());
  for (auto& [id, hook] : hooks) {
    try {
      hook(entering);
    } catch (const std::exception& e) {
      sys::Warn("ui", "a modal hook threw: %s", e.what());
    } catch (...) {
      sys::Warn("ui", "a modal hook threw");
    }
  }
}

} // namespace

int AddModalHook(ModalHook hook) {
  const int id = tModals.nextId++;
  tModals.hooks.emplace_back(id, std::move(hook));
  return id;
}

bool RemoveModalHook(int id) {
  return std::erase_if(tModals.hooks, [id](const auto& h) { return h.first == id; }) > 0;
}

ModalScope::ModalScope(win::Hwnd owner, std::function<void()> cancel) : id_(tModals.nextId++) {
  RunHooks(true);
  tModals.running.push_back({id_, owner, std::move(cancel)});
}

ModalScope::~ModalScope() {
  std::erase_if(tModals.running, [this](const Running& r) { return r.id == id_; });
  RunHooks(false);
}

OwnerWatch::OwnerWatch(win::Hwnd owner, std::function<void()> cancel) : id_(tModals.nextId++) {
  tModals.running.push_back({id_, owner, std::move(cancel)});
}

OwnerWatch::~OwnerWatch() {
  std::erase_if(tModals.running, [this](const Running& r) { return r.id == id_; });
}

void CancelModalsOwnedBy(win::Hwnd owner) {
  if (!owner)
    return;
  std::vector<std::function<void()>> cancels;
  for (Running& r : tModals.running)
    if (r.owner == owner && r.cancel) {
      cancels.push_back(std::move(r.cancel));
      r.cancel = nullptr;
    }
  for (auto& cancel : cancels)
    cancel();
}

} // namespace ui
