#include "UiTests.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace kelvra::test {

namespace {
std::map<std::string, TUiTestRun> &Registry() {
  static std::map<std::string, TUiTestRun> r;
  return r;
}
} // namespace

bool RegisterUiTest(const char *name, TUiTestRun run) {
  Registry()[name] = std::move(run);
  return true;
}

} // namespace kelvra::test

int main(int argc, char **argv) {
  auto &tests = kelvra::test::Registry();
  if (argc < 2 || std::strcmp(argv[1], "--list") == 0) {
    std::printf("usage: %s TestClass [Qt Test arguments]\ntest classes:\n", argv[0]);
    for (const auto &[name, run] : tests)
      std::printf("  %s\n", name.c_str());
    return argc < 2 ? 2 : 0;
  }
  const auto it = tests.find(argv[1]);
  if (it == tests.end()) {
    std::fprintf(stderr, "no test class %s (--list shows them)\n", argv[1]);
    return 2;
  }
  // Qt Test sees the program name and the arguments after the class.
  std::vector<char *> args{argv[0]};
  for (int i = 2; i < argc; ++i)
    args.push_back(argv[i]);
  args.push_back(nullptr);
  return it->second(static_cast<int>(args.size()) - 1, args.data());
}
