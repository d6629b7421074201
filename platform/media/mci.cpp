#include "platform/media/mci.h"

#include "platform/sys/ascii.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <mutex>

namespace media::mci {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = sys::AsciiLower(c);
  return out;
}

struct OpenDevice {
  std::mutex mu; // one command at a time
  std::unique_ptr<Device> device;
  DeviceId id = 0;
  std::string name;
};

struct Armed {
  uint64_t notice = 0;
  win::Hwnd window = 0;
};

struct Layer {
  std::mutex mu;
  std::map<std::string, DeviceFactory> types; // by lower-case type
  std::map<DeviceId, std::shared_ptr<OpenDevice>> devices;
  std::map<std::string, DeviceId> names; // lower-case name
  DeviceId nextId = 1;

  // The one armed notification of each device.
  std::mutex noticeMu;
  std::map<DeviceId, Armed> armed;
  uint64_t nextNotice = 1;
};

Layer& L() {
  static Layer* layer = new Layer; // outlives devices closed at exit
  return *layer;
}

void Post(win::Hwnd window, win::WParam flag, DeviceId id) {
  if (window)
    win::PostMessage(window, win::MM_MCINOTIFY, flag, static_cast<win::LParam>(id));
}

// Arms a new notification for a device before its command runs (a device
// may end it before Execute returns). The one it replaces comes back in
// *previous: superseded if the command is accepted, armed again if not.
uint64_t Arm(DeviceId id, win::Hwnd window, Armed* previous) {
  Layer& l = L();
  std::lock_guard lock(l.noticeMu);
  const uint64_t notice = l.nextNotice++;
  auto it = l.armed.find(id);
  *previous = it != l.armed.end() ? it->second : Armed{};
  l.armed[id] = Armed{notice, window};
  return notice;
}

// The command of notice was refused: it is disarmed without a word and the
// one it displaced is armed again.
void Disarm(DeviceId id, uint64_t notice, const Armed& previous) {
  Layer& l = L();
  std::lock_guard lock(l.noticeMu);
  auto it = l.armed.find(id);
  if (it == l.armed.end() || it->second.notice != notice)
    return;
  if (previous.notice)
    it->second = previous;
  else
    l.armed.erase(it);
}

void FinishAny(DeviceId id, win::WParam flag) {
  Layer& l = L();
  Armed a;
  {
    std::lock_guard lock(l.noticeMu);
    auto it = l.armed.find(id);
    if (it == l.armed.end())
      return;
    a = it->second;
    l.armed.erase(it);
  }
  Post(a.window, flag, id);
}

std::shared_ptr<OpenDevice> FindById(DeviceId id) {
  Layer& l = L();
  std::lock_guard lock(l.mu);
  auto it = l.devices.find(id);
  return it == l.devices.end() ? nullptr : it->second;
}

std::shared_ptr<OpenDevice> FindByName(std::string_view name) {
  Layer& l = L();
  std::lock_guard lock(l.mu);
  auto it = l.names.find(Lower(name));
  if (it == l.names.end())
    return nullptr;
  auto d = l.devices.find(it->second);
  return d == l.devices.end() ? nullptr : d->second;
}

void Forget(const OpenDevice& d) {
  Layer& l = L();
  std::lock_guard lock(l.mu);
  l.devices.erase(d.id);
  auto it = l.names.find(Lower(d.name));
  if (it != l.names.end() && it->second == d.id)
    l.names.erase(it);
}

void CutAnswer(const std::string& text, std::string* answer, size_t answerSize) {
  if (!answer)
    return;
  *answer = answerSize ? text.substr(0, std::min(text.size(), answerSize - 1)) : std::string();
}

// Takes "notify" and "wait" out of the words after the device name.
void TakeFlags(std::vector<std::string>& args, bool& notify, bool& wait) {
  std::erase_if(args, [&](const std::string& w) {
    if (sys::EqualIgnoringAsciiCase(w, "notify"))
      return notify = true;
    if (sys::EqualIgnoringAsciiCase(w, "wait"))
      return wait = true;
    return false;
  });
}

uint32_t CloseDevice(const std::shared_ptr<OpenDevice>& d, Request& request) {
  {
    std::lock_guard lock(d->mu);
    if (!d->device)
      return kErrInvalidDeviceName; // closed meanwhile
    try {
      d->device->Close(request);
    } catch (...) {
    }
    d->device.reset();
  }
  Forget(*d);
  FinishAny(d->id, kNotifyAborted);
  if (request.notify)
    Post(request.notifyWindow, kNotifySuccessful, d->id);
  return kOk;
}

uint32_t Run(const std::shared_ptr<OpenDevice>& d, Request& request, std::string* answer,
             size_t answerSize) {
  request.id = d->id;
  request.name = d->name;
  if (request.verb == "close")
    return CloseDevice(d, request);
  Reply reply;
  uint32_t result = kOk;
  Armed previous;
  {
    std::lock_guard lock(d->mu);
    if (!d->device)
      return kErrInvalidDeviceName;
    if (request.notify)
      request.notice = Arm(d->id, request.notifyWindow, &previous);
    try {
      result = d->device->Execute(request, reply);
    } catch (...) {
      result = kErrInternal;
    }
  }
  if (request.notice) {
    if (result != kOk) {
      Disarm(d->id, request.notice, previous);
    } else {
      if (previous.notice)
        Post(previous.window, kNotifySuperseded, d->id);
      if (!reply.pending)
        Finish(d->id, request.notice, kNotifySuccessful);
    }
  }
  CutAnswer(result == kOk ? reply.text : std::string(), answer, answerSize);
  return result;
}

uint32_t OpenWith(OpenRequest request, DeviceId* idOut, const std::string& alias) {
  Layer& l = L();
  if (request.type.empty()) {
    auto type = TypeForElement(request.element);
    if (!type)
      return request.element.find('.') == std::string::npos ? kErrDeviceNotInstalled
                                                            : kErrExtensionNotFound;
    request.type = *type;
  }
  request.type = Lower(request.type);
  if (request.name.empty())
    request.name = !alias.empty()             ? alias
                   : !request.element.empty() ? request.element
                                              : request.type;
  DeviceFactory factory;
  auto entry = std::make_shared<OpenDevice>();
  // The entry is listed (and locked) before the device is made, so that the
  // name is taken and commands sent meanwhile wait for the open.
  std::unique_lock entryLock(entry->mu);
  {
    std::lock_guard lock(l.mu);
    auto t = l.types.find(request.type);
    if (t == l.types.end())
      return kErrDeviceNotInstalled;
    factory = t->second;
    if (l.names.count(Lower(request.name)))
      return alias.empty() ? kErrDeviceOpen : kErrDuplicateAlias;
    entry->id = l.nextId++;
    if (l.nextId == 0)
      l.nextId = 1;
    entry->name = request.name;
    l.devices[entry->id] = entry;
    l.names[Lower(request.name)] = entry->id;
  }
  request.id = entry->id;
  uint32_t error = kErrHardware;
  try {
    entry->device = factory(request, &error);
  } catch (...) {
    entry->device.reset();
    error = kErrInternal;
  }
  if (!entry->device) {
    entryLock.unlock();
    Forget(*entry);
    return error == kOk ? kErrHardware : error;
  }
  entryLock.unlock();
  if (idOut)
    *idOut = entry->id;
  if (request.notify)
    Post(request.notifyWindow, kNotifySuccessful, entry->id);
  return kOk;
}

std::optional<uint32_t> ParseStyle(std::string_view word) {
  if (sys::EqualIgnoringAsciiCase(word, "overlapped"))
    return 0u;
  if (sys::EqualIgnoringAsciiCase(word, "child"))
    return win::WS_CHILD;
  if (sys::EqualIgnoringAsciiCase(word, "popup"))
    return win::WS_POPUP;
  if (word.empty() || word.size() > 10 ||
      !std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const uint64_t v = std::stoull(std::string(word));
  if (v > UINT32_MAX)
    return std::nullopt;
  return static_cast<uint32_t>(v);
}

std::optional<uint32_t> ParseNumber(std::string_view word) {
  auto v = ParseStyle(word); // plain decimal
  if (!v || word.empty() || word[0] < '0' || word[0] > '9')
    return std::nullopt;
  return v;
}

uint32_t OpenFromString(const std::string& text, std::vector<std::string> words, bool notify,
                        win::Hwnd window) {
  OpenRequest request;
  request.text = text;
  request.notify = notify;
  request.notifyWindow = window;
  const std::string first = words[1];
  std::string alias;
  std::string type;
  for (size_t i = 2; i < words.size(); ++i) {
    const std::string& w = words[i];
    const bool last = i + 1 >= words.size();
    if (sys::EqualIgnoringAsciiCase(w, "type") || sys::EqualIgnoringAsciiCase(w, "alias") ||
        sys::EqualIgnoringAsciiCase(w, "style") || sys::EqualIgnoringAsciiCase(w, "parent")) {
      if (last)
        return kErrMissingParameter;
      const std::string& value = words[++i];
      if (sys::EqualIgnoringAsciiCase(w, "type")) {
        type = value;
      } else if (sys::EqualIgnoringAsciiCase(w, "alias")) {
        alias = value;
      } else if (sys::EqualIgnoringAsciiCase(w, "style")) {
        auto style = ParseStyle(value);
        if (!style)
          return kErrBadInteger;
        request.style = *style;
        request.hasStyle = true;
      } else {
        auto parent = ParseNumber(value);
        if (!parent)
          return kErrBadInteger;
        request.parent = *parent;
      }
    } else if (!sys::EqualIgnoringAsciiCase(w, "shareable")) {
      request.args.push_back(w);
    }
  }
  if (!type.empty()) {
    request.type = type;
    // "open mpegvideo type mpegvideo" names the device, not a file.
    if (!sys::EqualIgnoringAsciiCase(first, type))
      request.element = first;
    else
      request.name = first;
  } else if (IsDeviceTypeRegistered(first)) {
    request.type = first;
    request.name = first;
  } else {
    request.element = first;
  }
  if (!alias.empty())
    request.name = alias;
  return OpenWith(std::move(request), nullptr, alias);
}

} // namespace

std::string ErrorText(uint32_t error) {
  static const char* const texts[] = {
      "Invalid device ID. Use the ID given to the device when it was opened.",
      "The driver cannot recognize the specified command parameter.",
      "The driver cannot recognize the specified command.",
      "There is a problem with the media device. Make sure it is working correctly.",
      "The specified device is not open or is not recognized.",
      "The specified device type is not installed.",
      "There is not enough memory available for this task.",
      "The device name is already being used by this application. Use a unique name.",
      "No command was specified.",
      "The specified command requires a parameter. Please supply one.",
      "The specified command requires a device name.",
      "The specified integer is invalid for this command.",
      "The device does not support this function.",
      "Cannot find the specified file. Make sure the path and filename are correct.",
      "The specified file cannot be played on the specified device. The file may be corrupt, "
      "or not in the correct format.",
      "The device is not ready.",
      "The specified parameter is out of range for the specified command.",
      "Cannot determine the device type from the given filename extension.",
      "A closing quotation mark is missing.",
      "The specified alias is already being used in this application. Use a unique alias.",
      "The specified time format is invalid.",
      "A file name is not allowed for this device.",
      "The specified command requires a file name.",
      "An internal error occurred in the media device.",
      "The file was not saved. Make sure the folder can be written and the disk has room.",
  };
  static_assert(std::size(texts) == kErrLast - kErrInvalidDeviceId);
  if (error == kOk)
    return {};
  if (error >= kErrInvalidDeviceId && error < kErrLast)
    return texts[error - kErrInvalidDeviceId];
  return "Unknown media device error " + std::to_string(error) + ".";
}

bool Request::Is(size_t i, std::string_view word) const {
  return i < args.size() && sys::EqualIgnoringAsciiCase(args[i], word);
}

bool Request::Are(size_t i, std::string_view phrase) const {
  size_t at = i;
  size_t pos = 0;
  while (pos < phrase.size()) {
    const size_t end = std::min(phrase.find(' ', pos), phrase.size());
    if (!Is(at++, phrase.substr(pos, end - pos)))
      return false;
    pos = end + 1;
  }
  return at == args.size();
}

Words SplitWords(std::string_view command) {
  Words out;
  size_t i = 0;
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (i < command.size()) {
    while (i < command.size() && blank(command[i]))
      ++i;
    if (i >= command.size())
      break;
    std::string word;
    if (command[i] == '"') {
      ++i;
      bool closed = false;
      while (i < command.size()) {
        if (command[i] == '"') {
          if (i + 1 < command.size() && command[i + 1] == '"') {
            word += '"';
            i += 2;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        word += command[i++];
      }
      if (!closed) {
        out.error = kErrNoClosingQuote;
        out.words.clear();
        return out;
      }
    } else {
      while (i < command.size() && !blank(command[i]))
        word += command[i++];
    }
    out.words.push_back(std::move(word));
  }
  return out;
}

std::string QuoteWord(std::string_view word, bool always) {
  const bool plain =
      !always && !word.empty() && word.find_first_of(" \t\r\n\"") == std::string_view::npos;
  if (plain)
    return std::string(word);
  std::string out = "\"";
  for (char c : word) {
    if (c == '"')
      out += '"';
    out += c;
  }
  return out + "\"";
}

uint32_t SendString(std::string_view command, std::string* answer, size_t answerSize,
                    win::Hwnd notify) {
  CutAnswer({}, answer, answerSize);
  Words split = SplitWords(command);
  if (split.error != kOk)
    return split.error;
  std::vector<std::string>& words = split.words;
  if (words.empty())
    return kErrMissingCommandString;
  if (words.size() < 2)
    return kErrMissingDeviceName;
  Request request;
  request.text = std::string(command);
  request.verb = Lower(words[0]);
  request.notifyWindow = notify;
  request.args.assign(words.begin() + 2, words.end());
  TakeFlags(request.args, request.notify, request.wait);
  if (request.verb == "open") {
    std::vector<std::string> openWords{words[0], words[1]};
    openWords.insert(openWords.end(), request.args.begin(), request.args.end());
    return OpenFromString(request.text, std::move(openWords), request.notify, notify);
  }
  if (request.verb == "close" && sys::EqualIgnoringAsciiCase(words[1], "all")) {
    CloseAll();
    if (request.notify)
      Post(notify, kNotifySuccessful, 0);
    return kOk;
  }
  auto d = FindByName(words[1]);
  if (!d)
    return kErrInvalidDeviceName;
  return Run(d, request, answer, answerSize);
}

uint32_t Open(const OpenParams& params, DeviceId* id, win::Hwnd notify) {
  if (id)
    *id = 0;
  OpenRequest request;
  request.type = params.type;
  request.element = params.element;
  request.parent = params.parent;
  request.style = params.style;
  request.hasStyle = params.hasStyle;
  request.notify = notify != 0;
  request.notifyWindow = notify;
  request.text = "open " + QuoteWord(params.element.empty() ? params.type : params.element);
  if (!params.type.empty() && !params.element.empty())
    request.text += " type " + QuoteWord(params.type);
  if (!params.alias.empty())
    request.text += " alias " + QuoteWord(params.alias);
  if (params.hasStyle)
    request.text += " style " + std::to_string(params.style);
  if (params.parent)
    request.text += " parent " + std::to_string(params.parent);
  if (params.type.empty() && params.element.empty())
    return kErrMissingDeviceName;
  return OpenWith(std::move(request), id, params.alias);
}

uint32_t SendCommand(DeviceId id, std::string_view command, std::string* answer, size_t answerSize,
                     win::Hwnd notify) {
  CutAnswer({}, answer, answerSize);
  Words split = SplitWords(command);
  if (split.error != kOk)
    return split.error;
  if (split.words.empty())
    return kErrMissingCommandString;
  auto d = FindById(id);
  if (!d)
    return kErrInvalidDeviceId;
  Request request;
  request.verb = Lower(split.words[0]);
  request.notifyWindow = notify;
  request.args.assign(split.words.begin() + 1, split.words.end());
  request.text = split.words[0] + " " + QuoteWord(d->name);
  for (const std::string& w : request.args)
    request.text += " " + QuoteWord(w);
  TakeFlags(request.args, request.notify, request.wait);
  return Run(d, request, answer, answerSize);
}

DeviceId GetDeviceId(std::string_view name) {
  auto d = FindByName(name);
  return d ? d->id : 0;
}

void CloseAll() {
  std::vector<std::shared_ptr<OpenDevice>> all;
  {
    Layer& l = L();
    std::lock_guard lock(l.mu);
    for (auto& [id, d] : l.devices)
      all.push_back(d);
  }
  for (auto& d : all) {
    Request request;
    request.verb = "close";
    request.id = d->id;
    request.name = d->name;
    request.text = "close " + QuoteWord(d->name);
    CloseDevice(d, request);
  }
}

DeviceFactory RegisterDeviceType(std::string_view type, DeviceFactory factory) {
  Layer& l = L();
  std::lock_guard lock(l.mu);
  const std::string key = Lower(type);
  DeviceFactory previous;
  auto it = l.types.find(key);
  if (it != l.types.end()) {
    previous = std::move(it->second);
    l.types.erase(it);
  }
  if (factory)
    l.types[key] = std::move(factory);
  return previous;
}

bool IsDeviceTypeRegistered(std::string_view type) {
  Layer& l = L();
  std::lock_guard lock(l.mu);
  return l.types.count(Lower(type)) != 0;
}

std::optional<std::string> TypeForElement(std::string_view element) {
  const size_t dot = element.rfind('.');
  const size_t slash = element.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot))
    return std::nullopt;
  const std::string ext = Lower(element.substr(dot + 1));
  static const std::pair<const char*, const char*> kinds[] = {
      {"avi", "digitalvideo"}, {"flc", "digitalvideo"}, {"fli", "digitalvideo"},
      {"mov", "digitalvideo"}, {"mpg", "mpegvideo"},    {"dat", "mpegvideo"},
      {"wav", "waveaudio"},
  };
  for (const auto& [e, type] : kinds)
    if (ext == e)
      return type;
  return std::nullopt;
}

std::optional<int64_t> ParseInteger(std::string_view word) {
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
  if (word.empty() || ec != std::errc() || end != word.data() + word.size())
    return std::nullopt;
  return v;
}

uint32_t ParsePlacement(const std::vector<std::string>& words, size_t first, Placement& out) {
  int32_t v[4];
  for (size_t i = 0; i < 4; ++i) {
    auto n = first + i < words.size() ? ParseInteger(words[first + i]) : std::nullopt;
    if (!n || *n < -32767 || *n > 32767)
      return kErrBadInteger;
    v[i] = static_cast<int32_t>(*n);
  }
  if (v[2] <= 0 || v[3] <= 0)
    return kErrOutOfRange;
  out = {v[0], v[1], v[2], v[3]};
  return kOk;
}

bool Finish(DeviceId id, uint64_t notice, win::WParam flag) {
  Layer& l = L();
  Armed a;
  {
    std::lock_guard lock(l.noticeMu);
    auto it = l.armed.find(id);
    if (!notice || it == l.armed.end() || it->second.notice != notice)
      return false;
    a = it->second;
    l.armed.erase(it);
  }
  Post(a.window, flag, id);
  return true;
}

ScopedDeviceType::ScopedDeviceType(std::string type, DeviceFactory factory)
    : type_(std::move(type)), previous_(RegisterDeviceType(type_, std::move(factory))) {}

ScopedDeviceType::~ScopedDeviceType() {
  RegisterDeviceType(type_, std::move(previous_));
}

} // namespace media::mci
