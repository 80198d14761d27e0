#pragma once
// Regular expressions on PCRE2 (UTF-8, JIT when available). A pattern is compiled once:
// re() keeps every pattern it has seen; TLumRe holds one compiled pattern.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra {

class TLumRe {
public:
  explicit TLumRe(const std::string &pattern, bool caseless = false);
  ~TLumRe();
  TLumRe(const TLumRe &) = delete;
  TLumRe &operator=(const TLumRe &) = delete;

  bool IsValid() const;
  const std::string &Pattern() const { return fPattern; }
  // Searches for the first match. On success `groups` (when given) receives group 0 (the whole
  // match) and every capture group; a group that took no part is "".
  bool Match(std::string_view text, std::vector<std::string> *groups = nullptr) const;

private:
  struct TImpl;
  std::string fPattern;
  std::unique_ptr<TImpl> fImpl;
};

// The compiled pattern, made once per pattern text and kept for the process (thread-safe).
const TLumRe &CachedRe(const std::string &pattern);

// First match of the pattern: true and the text of groups 1 and 2 (3 and 4); false leaves the
// outputs untouched.
bool re(const std::string &pattern, const std::string &text, std::string &g1, std::string &g2);
bool re(const std::string &pattern, const std::string &text, std::string &g1, std::string &g2,
        std::string &g3, std::string &g4);

} // namespace kelvra
