// Fetching one URL into a local file: plain GETs over http and https only
// (redirects followed, at most 5, to http or https only), with a connect
// time-out, an abort when the body stalls, and a size limit checked against
// Content-Length before anything is written and against the bytes as they
// come. The body goes to a temporary file beside the target, which replaces
// the target only when the server answered 200 and sent the whole body; on
// any failure the target and its folder are as they were.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace net {

enum class FetchResult {
  kOk,
  kBadUrl,        // not http or https, or a redirect elsewhere
  kHttpError,     // a final status other than 200
  kTooLarge,      // past the size limit
  kShort,         // the body ended before its length
  kTransferError, // connection, time-out or stall
  kFileError,     // the local file could not be written
  kCancelled,
};

struct FetchLimits {
  uint64_t maxBytes = 256ull << 20;
  long connectTimeoutSeconds = 15;
  // Aborted below 1 byte a second for this long.
  long stallSeconds = 30;
  long maxRedirects = 5;
};

struct FetchStatus {
  FetchResult result = FetchResult::kTransferError;
  long httpStatus = 0;
  uint64_t bytes = 0; // body bytes received
  std::string message;
  bool ok() const { return result == FetchResult::kOk; }
};

// Bytes received so far and the expected total (0 while unknown); called
// on the fetching thread.
using FetchProgress = std::function<void(uint64_t done, uint64_t total)>;

// Blocks until the transfer ends. cancel (when given) is looked at at least
// every 50 ms; once true the transfer stops with kCancelled.
FetchStatus Fetch(const std::string& url, const std::string& file,
                  const FetchProgress& progress = {},
                  const std::atomic<bool>* cancel = nullptr, const FetchLimits& limits = {});

// A short English text of a result, for logs and the terminal.
const char* FetchResultText(FetchResult result);

} // namespace net
