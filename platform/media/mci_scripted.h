// A device for tests of the media-command layer's users: it answers each
// command from a table and keeps the transcript of what it was sent. One
// script may stand behind several device types ("overlay", "mpegvideo").
#pragma once

#include "platform/media/mci.h"

#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace media::mci {

class Script {
public:
  struct Answer {
    uint32_t result = kOk;
    std::string text;
    // The command goes on: its notification waits for FinishPending.
    bool pending = false;
  };

  // The answer to a command string as sent (opens included). A key ending
  // in '*' answers every command that starts with the rest. A command with
  // no answer fails (kErrUnrecognizedCommand).
  void Set(const std::string& command, Answer answer);
  void Allow(std::initializer_list<std::string_view> commands);
  void Remove(const std::string& command);

  // The command strings received, in order; close included.
  std::vector<std::string> Sent() const;
  void ClearSent();
  // The words of the last command received (after the device name).
  std::vector<std::string> LastArgs() const;
  // Ends the notification of the last pending command; false when none.
  bool FinishPending(win::WParam flag);

private:
  friend class ScriptedDevice;
  friend DeviceFactory ScriptedFactory(std::shared_ptr<Script> script);
  Answer Respond(const std::string& text, const std::vector<std::string>& args);

  mutable std::mutex mu_;
  std::map<std::string, Answer> answers_;
  std::vector<std::string> sent_;
  std::vector<std::string> lastArgs_;
  DeviceId pendingId_ = 0;
  uint64_t pendingNotice_ = 0;
};

// A factory of devices that answer from script.
DeviceFactory ScriptedFactory(std::shared_ptr<Script> script);

// Puts a script behind device types for a scope; at its end every open
// device of the process is closed, so that the next test starts afresh.
class ScopedScriptedDevices {
public:
  ScopedScriptedDevices(std::shared_ptr<Script> script, std::initializer_list<const char*> types);
  ~ScopedScriptedDevices();

private:
  std::shared_ptr<Script> script_;
  std::vector<std::unique_ptr<ScopedDeviceType>> types_;
};

} // namespace media::mci
