#include "platform/net/fetch.h"

#include "platform/sys/ascii.h"
#include "platform/sys/atomic_file.h"

#include <curl/curl.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

namespace net {

namespace {

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsHttpUrl(const std::string& url) {
  const std::string_view u(url);
  return sys::EqualIgnoringAsciiCase(u.substr(0, 7), "http://") ||
         sys::EqualIgnoringAsciiCase(u.substr(0, 8), "https://");
}

struct Transfer {
  CURL* easy = nullptr;
  sys::AtomicFile* out = nullptr;
  const FetchProgress* progress = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  uint64_t maxBytes = 0;
  uint64_t bytes = 0;
  bool notOk = false;    // a status other than 200 began to send its body
  bool tooLarge = false;
  bool writeFailed = false;
  bool cancelled = false;
};

bool Cancelled(const Transfer& t) {
  return t.cancel && t.cancel->load(std::memory_order_relaxed);
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  Transfer& t = *static_cast<Transfer*>(user);
  size_t n = size * count;
  long status = 0;
  curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
  if (status != 200) {
    t.notOk = true;
    return 0;
  }
  if (Cancelled(t)) {
    t.cancelled = true;
    return 0;
  }
  if (t.bytes + n > t.maxBytes) {
    t.tooLarge = true;
    return 0;
  }
  if (!t.out->Write(std::string_view(data, n))) {
    t.writeFailed = true;
    return 0;
  }
  t.bytes += n;
  if (t.progress && *t.progress) {
    curl_off_t total = -1;
    curl_easy_getinfo(t.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
    (*t.progress)(t.bytes, total > 0 ? static_cast<uint64_t>(total) : 0);
  }
  return n;
}

int OnTick(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  Transfer& t = *static_cast<Transfer*>(user);
  if (Cancelled(t)) {
    t.cancelled = true;
    return 1;
  }
  return 0;
}

struct EasyDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MultiDeleter {
  void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

} // namespace

const char* FetchResultText(FetchResult result) {
  switch (result) {
  case FetchResult::kOk: return "complete";
  case FetchResult::kBadUrl: return "not an http or https address";
  case FetchResult::kHttpError: return "the server refused the file";
  case FetchResult::kTooLarge: return "the file is too large";
  case FetchResult::kShort: return "the file arrived incomplete";
  case FetchResult::kTransferError: return "the transfer failed";
  case FetchResult::kFileError: return "the file could not be written";
  case FetchResult::kCancelled: return "cancelled";
  }
  return "";
}

FetchStatus Fetch(const std::string& url, const std::string& file, const FetchProgress& progress,
                  const std::atomic<bool>* cancel, const FetchLimits& limits) {
  FetchStatus status;
  if (!IsHttpUrl(url) || url.find('\0') != std::string::npos) {
    status.result = FetchResult::kBadUrl;
    return status;
  }
  GlobalInit();
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!easy || !multi)
    return status;

  Transfer t;
  t.easy = easy.get();
  std::optional<sys::AtomicFile> out = sys::AtomicFile::Create(file);
  if (!out) {
    status.result = FetchResult::kFileError;
    return status;
  }
  t.out = &*out;
  t.progress = &progress;
  t.cancel = cancel;
  t.maxBytes = limits.maxBytes;

  char error[CURL_ERROR_SIZE] = {};
  CURL* c = easy.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, limits.maxRedirects);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnTick);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);

  curl_multi_add_handle(multi.get(), c);
  CURLcode code = CURLE_OK;
  bool done = false;
  while (!done) {
    int running = 0;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      code = CURLE_FAILED_INIT;
      break;
    }
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
      if (msg->msg == CURLMSG_DONE) {
        code = msg->data.result;
        done = true;
      }
    }
    if (done)
      break;
    if (Cancelled(t)) {
      t.cancelled = true;
      break;
    }
    curl_multi_poll(multi.get(), nullptr, 0, 50, nullptr);
  }
  curl_multi_remove_handle(multi.get(), c);

  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status.httpStatus);
  status.bytes = t.bytes;
  status.message = error;
  curl_off_t length = -1;
  curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);

  if (t.cancelled)
    status.result = FetchResult::kCancelled;
  else if (t.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
    status.result = FetchResult::kTooLarge;
  else if (t.writeFailed)
    status.result = FetchResult::kFileError;
  else if (t.notOk || (done && code == CURLE_OK && status.httpStatus != 200))
    status.result = FetchResult::kHttpError;
  else if (code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_TOO_MANY_REDIRECTS)
    status.result = FetchResult::kBadUrl;
  else if (code == CURLE_PARTIAL_FILE || (code == CURLE_OK && length >= 0 &&
                                          static_cast<uint64_t>(length) != t.bytes))
    status.result = FetchResult::kShort;
  else if (!done || code != CURLE_OK)
    status.result = FetchResult::kTransferError;
  else if (!t.out->Commit())
    status.result = FetchResult::kFileError;
  else
    status.result = FetchResult::kOk;
  return status;
}

} // namespace net
