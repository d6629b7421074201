// The media-command layer: devices (video players, the overlay card, wave
// recorders, MIDI-file players) driven by command strings such as
// "play mpegvideo repeat notify", or by the same commands addressed to a
// device id. Device types register a factory; each open makes a device under
// a name (its alias, its element or its type), which later commands use.
//
// Any thread may send. Commands to one device run one at a time; different
// devices run side by side. A command with "notify" posts exactly one
// MM_MCINOTIFY (wParam a kNotify* flag, lParam the device id) to its window
// once it is accepted: SUCCESSFUL when it completes, SUPERSEDED when a later
// notify command to the device replaces it, ABORTED when the device stops
// it (stop, seek, close), FAILURE when the device cannot finish it. A
// refused command posts nothing; its result says why.
#pragma once

#include "platform/win/messages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace media::mci {

using DeviceId = uint32_t;

// Results: 0 is success.
enum Error : uint32_t {
  kOk = 0,
  kErrInvalidDeviceId = 256,
  kErrUnrecognizedKeyword,
  kErrUnrecognizedCommand,
  kErrHardware,
  kErrInvalidDeviceName,  // no device of that name is open
  kErrDeviceNotInstalled, // no device type of that name
  kErrOutOfMemory,
  kErrDeviceOpen, // a device of that name is open already
  kErrMissingCommandString,
  kErrMissingParameter,
  kErrMissingDeviceName,
  kErrBadInteger,
  kErrUnsupportedFunction,
  kErrFileNotFound,
  kErrInvalidFile, // the file is not one the device can play
  kErrDeviceNotReady,
  kErrOutOfRange,
  kErrExtensionNotFound, // an element without a type, of no known kind
  kErrNoClosingQuote,
  kErrDuplicateAlias,
  kErrBadTimeFormat,
  kErrNoElementAllowed,
  kErrElementRequired,
  kErrInternal,
  kErrFileNotSaved,
  kErrLast
};

// What a notification reports (MM_MCINOTIFY's wParam).
inline constexpr win::WParam kNotifySuccessful = 0x0001;
inline constexpr win::WParam kNotifySuperseded = 0x0002;
inline constexpr win::WParam kNotifyAborted = 0x0004;
inline constexpr win::WParam kNotifyFailure = 0x0008;

// The text of a result ("" for kOk); an unknown number has a text too.
std::string ErrorText(uint32_t error);

// Runs a command string. The device's answer, when answer is given, is cut
// to answerSize - 1 bytes, as into the caller's buffer of that size (0: no
// answer at all). notify receives the MM_MCINOTIFY of a "notify" command.
uint32_t SendString(std::string_view command, std::string* answer = nullptr,
                    size_t answerSize = 128, win::Hwnd notify = 0);

// The command-message form of open: a device of type (or, without a type,
// of the kind the element's extension names) for element, under alias.
struct OpenParams {
  std::string type;
  std::string element;
  std::string alias;
  win::Hwnd parent = 0;  // the window a device's own video window goes in
  uint32_t style = 0;    // that window's style (win::WS_CHILD, WS_POPUP, 0)
  bool hasStyle = false; // style given
};
uint32_t Open(const OpenParams& params, DeviceId* id, win::Hwnd notify = 0);
// A command to an open device by id: command is the command string without
// the device name ("where source", "play notify"). "close" closes it.
uint32_t SendCommand(DeviceId id, std::string_view command, std::string* answer = nullptr,
                     size_t answerSize = 128, win::Hwnd notify = 0);
// The id of an open device by name (case does not matter), 0 when none.
DeviceId GetDeviceId(std::string_view name);
// Closes every open device (the end of a process or of a test).
void CloseAll();

// ---- for devices ----

// One command as a device receives it.
struct Request {
  DeviceId id = 0;
  std::string text; // the command string as sent, or as rebuilt from a message
  std::string verb; // lower case
  std::string name; // the device's name
  // The words after the device name, quotes removed, "notify" and "wait"
  // taken out; keywords as written (compare them with Is).
  std::vector<std::string> args;
  bool notify = false;
  bool wait = false;
  win::Hwnd notifyWindow = 0;
  // The notification of this command; a device that finishes the command
  // later (pending) ends it with Finish.
  uint64_t notice = 0;

  // True when args[i] exists and equals word, ignoring ASCII case.
  bool Is(size_t i, std::string_view word) const;
  // True when args from i on are exactly the words of phrase ("time format ms").
  bool Are(size_t i, std::string_view phrase) const;
};

struct Reply {
  std::string text;
  // The command goes on after Execute returns (a play): its notification
  // is the device's to post through Finish.
  bool pending = false;
};

class Device {
public:
  virtual ~Device() = default;
  // Every command but open and close.
  virtual uint32_t Execute(const Request& request, Reply& reply) = 0;
  // The device goes: stop all work. Pending notifications still armed
  // afterwards are posted as ABORTED by the layer.
  virtual void Close(const Request& request) { (void)request; }
};

// What a factory is asked to open.
struct OpenRequest {
  DeviceId id = 0;
  std::string text;
  std::string type;    // lower case
  std::string element; // "" for a device opened by type alone
  std::string name;    // the name it will have
  win::Hwnd parent = 0;
  uint32_t style = 0;
  bool hasStyle = false;
  std::vector<std::string> args; // open's words the layer did not take
  bool notify = false;
  win::Hwnd notifyWindow = 0;
};

// Makes a device, or gives an error through *error.
using DeviceFactory =
    std::function<std::unique_ptr<Device>(const OpenRequest& request, uint32_t* error)>;

// Registers a device type (name compared without case); returns the factory
// it replaces, if any. A null factory removes the type. Open devices keep
// running.
DeviceFactory RegisterDeviceType(std::string_view type, DeviceFactory factory);
bool IsDeviceTypeRegistered(std::string_view type);
// The type an element opened without one gets from its extension.
std::optional<std::string> TypeForElement(std::string_view element);

// A word of a command as a whole decimal integer ("-12", "300"); nullopt
// for anything else (blanks, other characters, out of range).
std::optional<int64_t> ParseInteger(std::string_view word);

// A placement "X Y WIDTH HEIGHT" as a command gives it.
struct Placement {
  int32_t x = 0, y = 0, width = 0, height = 0;
};
// Reads the four words from first on: each a whole integer within ±32767
// (else kErrBadInteger), the size above zero (else kErrOutOfRange); kOk
// with the placement in out.
uint32_t ParsePlacement(const std::vector<std::string>& words, size_t first, Placement& out);

// Ends the notification of a pending command with flag, if it is still
// armed (any thread). False when it was ended already.
bool Finish(DeviceId id, uint64_t notice, win::WParam flag);

// Registers a type for a scope and puts the previous factory back after.
class ScopedDeviceType {
public:
  ScopedDeviceType(std::string type, DeviceFactory factory);
  ~ScopedDeviceType();
  ScopedDeviceType(const ScopedDeviceType&) = delete;
  ScopedDeviceType& operator=(const ScopedDeviceType&) = delete;

private:
  std::string type_;
  DeviceFactory previous_;
};

// ---- the parser, for tests and fuzzing ----

// A command string cut into words: double quotes group blanks into one word
// (a doubled quote inside stands for one quote); an unclosed quote is an
// error.
struct Words {
  uint32_t error = kOk;
  std::vector<std::string> words;
};
Words SplitWords(std::string_view command);
// Writes a word as a command string takes it back: quoted when it holds a
// blank or a quote, or is empty, or always when asked.
std::string QuoteWord(std::string_view word, bool always = false);

} // namespace media::mci
