#define PCRE2_CODE_UNIT_WIDTH 8
#include "core/util/LumRe.h"

#include <map>
#include <mutex>
#include <pcre2.h>

namespace kelvra {

struct TLumRe::TImpl {
  pcre2_code *code = nullptr;
  ~TImpl() {
    if (code) pcre2_code_free(code);
  }
};

TLumRe::TLumRe(const std::string &pattern, bool caseless)
    : fPattern(pattern), fImpl(std::make_unique<TImpl>()) {
  int err = 0;
  PCRE2_SIZE errOffset = 0;
  // Invalid UTF-8 in a subject must not stop matching: legacy texts can carry such bytes.
  uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
  if (caseless) options |= PCRE2_CASELESS;
  fImpl->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options,
                              &err, &errOffset, nullptr);
  if (fImpl->code) pcre2_jit_compile(fImpl->code, PCRE2_JIT_COMPLETE); // falls back quietly
}

TLumRe::~TLumRe() = default;

bool TLumRe::IsValid() const { return fImpl->code != nullptr; }

bool TLumRe::Match(std::string_view text, std::vector<std::string> *groups) const {
  if (!fImpl->code) return false;
  pcre2_match_data *md = pcre2_match_data_create_from_pattern(fImpl->code, nullptr);
  if (!md) return false;
  const int rc = pcre2_match(fImpl->code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                             0, md, nullptr);
  if (rc >= 0 && groups) {
    uint32_t count = 0;
    pcre2_pattern_info(fImpl->code, PCRE2_INFO_CAPTURECOUNT, &count);
    const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(md);
    groups->assign(count + 1, std::string());
    for (uint32_t g = 0; g <= count && static_cast<int>(g) < (rc == 0 ? 0 : rc); ++g) {
      if (ov[2 * g] != PCRE2_UNSET)
        (*groups)[g].assign(text.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]));
    }
  }
  pcre2_match_data_free(md);
  return rc >= 0;
}

const TLumRe &CachedRe(const std::string &pattern) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<TLumRe>> cache;
  std::lock_guard lock(mutex);
  auto &slot = cache[pattern];
  if (!slot) slot = std::make_unique<TLumRe>(pattern);
  return *slot;
}

bool re(const std::string &pattern, const std::string &text, std::string &g1, std::string &g2) {
  std::vector<std::string> g;
  if (!CachedRe(pattern).Match(text, &g)) return false;
  g.resize(3);
  g1 = g[1];
  g2 = g[2];
  return true;
}

bool re(const std::string &pattern, const std::string &text, std::string &g1, std::string &g2,
        std::string &g3, std::string &g4) {
  std::vector<std::string> g;
  if (!CachedRe(pattern).Match(text, &g)) return false;
  g.resize(5);
  g1 = g[1];
  g2 = g[2];
  g3 = g[3];
  g4 = g[4];
  return true;
}

} // namespace kelvra
