#pragma once
// Texts the tests share: the UTF-8 byte order mark and the output of a shell command.
#include <cstdio>
#include <string>

namespace kelvra::test {

inline const std::string kBom = "\xEF\xBB\xBF";

// What the command printed on its standard output (empty when it could not run).
inline std::string Shell(const std::string &cmd) {
  std::string out;
  if (FILE *f = popen(cmd.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    pclose(f);
  }
  return out;
}

} // namespace kelvra::test
