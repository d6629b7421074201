#include "platform/media/mci_scripted.h"

namespace media::mci {

class ScriptedDevice final : public Device {
public:
  explicit ScriptedDevice(std::shared_ptr<Script> script) : script_(std::move(script)) {}

  uint32_t Execute(const Request& request, Reply& reply) override {
    const Script::Answer a = script_->Respond(request.text, request.args);
    reply.text = a.text;
    reply.pending = a.pending && request.notice;
    if (reply.pending && a.result == kOk) {
      std::lock_guard lock(script_->mu_);
      script_->pendingId_ = request.id;
      script_->pendingNotice_ = request.notice;
    }
    return a.result;
  }
  void Close(const Request& request) override { script_->Respond(request.text, request.args); }

private:
  std::shared_ptr<Script> script_;
};

void Script::Set(const std::string& command, Answer answer) {
  std::lock_guard lock(mu_);
  answers_[command] = std::move(answer);
}

void Script::Allow(std::initializer_list<std::string_view> commands) {
  std::lock_guard lock(mu_);
  for (std::string_view c : commands)
    answers_[std::string(c)] = Answer{};
}

void Script::Remove(const std::string& command) {
  std::lock_guard lock(mu_);
  answers_.erase(command);
}

std::vector<std::string> Script::Sent() const {
  std::lock_guard lock(mu_);
  return sent_;
}

void Script::ClearSent() {
  std::lock_guard lock(mu_);
  sent_.clear();
}

std::vector<std::string> Script::LastArgs() const {
  std::lock_guard lock(mu_);
  return lastArgs_;
}

bool Script::FinishPending(win::WParam flag) {
  DeviceId id = 0;
  uint64_t notice = 0;
  {
    std::lock_guard lock(mu_);
    std::swap(id, pendingId_);
    std::swap(notice, pendingNotice_);
  }
  return notice && Finish(id, notice, flag);
}

Script::Answer Script::Respond(const std::string& text, const std::vector<std::string>& args) {
  std::lock_guard lock(mu_);
  sent_.push_back(text);
  lastArgs_ = args;
  auto it = answers_.find(text);
  if (it == answers_.end())
    for (it = answers_.begin(); it != answers_.end(); ++it)
      if (it->first.ends_with('*') &&
          std::string_view(text).starts_with(
              std::string_view(it->first).substr(0, it->first.size() - 1)))
        break;
  if (it == answers_.end())
    return Answer{kErrUnrecognizedCommand, {}, false};
  return it->second;
}

DeviceFactory ScriptedFactory(std::shared_ptr<Script> script) {
  return [script](const OpenRequest& request, uint32_t* error) -> std::unique_ptr<Device> {
    const Script::Answer a = script->Respond(request.text, request.args);
    if (a.result != kOk) {
      *error = a.result;
      return nullptr;
    }
    return std::make_unique<ScriptedDevice>(script);
  };
}

ScopedScriptedDevices::ScopedScriptedDevices(std::shared_ptr<Script> script,
                                             std::initializer_list<const char*> types)
    : script_(std::move(script)) {
  for (const char* type : types)
    types_.push_back(std::make_unique<ScopedDeviceType>(type, ScriptedFactory(script_)));
}

ScopedScriptedDevices::~ScopedScriptedDevices() {
  CloseAll();
  types_.clear();
}

} // namespace media::mci
