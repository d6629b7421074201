#include "platform/sys/collator.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <vector>

namespace sys {
namespace {

const char* LanguageOf(int codePage) {
  switch (codePage) {
  case 949:
    return "ko";
  case 932:
    return "ja";
  case 936:
    return "zh_Hans";
  case 950:
    return "zh_Hant";
  default:
    return "en";
  }
}

} // namespace

struct Collator::Impl {
  int codePage = kDefaultCodePage;
  UCollator* collator = nullptr;

  ~Impl() {
    if (collator)
      ucol_close(collator);
  }

  std::vector<UChar> Utf16(std::string_view text) const {
    std::string utf8 = ToUtf8(text, codePage);
    std::vector<UChar> out(utf8.size() + 1);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8Lenient(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(),
                         static_cast<int32_t>(utf8.size()), &status);
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
    return out;
  }
};

Collator::Collator(int codePage) : impl_(std::make_unique<Impl>()) {
  impl_->codePage = codePage;
  UErrorCode status = U_ZERO_ERROR;
  impl_->collator = ucol_open(LanguageOf(codePage), &status);
  if (U_FAILURE(status)) {
    impl_->collator = nullptr;
    return;
  }
  // Secondary strength: accents count, letter case does not.
  ucol_setStrength(impl_->collator, UCOL_SECONDARY);
}

Collator::~Collator() = default;

int Collator::Compare(std::string_view a, std::string_view b) const {
  if (!impl_->collator)
    return a.compare(b);
  std::vector<UChar> ua = impl_->Utf16(a), ub = impl_->Utf16(b);
  return ucol_strcoll(impl_->collator, ua.data(), static_cast<int32_t>(ua.size()), ub.data(),
                      static_cast<int32_t>(ub.size()));
}

std::string Collator::SortKey(std::string_view text) const {
  if (!impl_->collator)
    return std::string(text);
  std::vector<UChar> u = impl_->Utf16(text);
  std::string key(u.size() * 4 + 16, '\0');
  for (;;) {
    int32_t need =
        ucol_getSortKey(impl_->collator, u.data(), static_cast<int32_t>(u.size()),
                        reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (need <= 0)
      return {};
    if (static_cast<size_t>(need) <= key.size()) {
      key.resize(static_cast<size_t>(need) - 1); // without the closing zero
      return key;
    }
    key.assign(static_cast<size_t>(need), '\0');
  }
}

} // namespace sys
