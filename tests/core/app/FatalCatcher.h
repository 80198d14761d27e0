#pragma once
// Turns FatalError into an exception for the length of a test, so a test can see the text the
// program would have ended with.

#include <stdexcept>
#include <string>

#include "core/app/Common.h"

namespace kelvra::test {

struct EFatal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class TFatalCatcher {
public:
  TFatalCatcher() {
    SetFatalErrorHandler([](const std::string &text) { throw EFatal(text); });
  }
  ~TFatalCatcher() { SetFatalErrorHandler(nullptr); }
};

} // namespace kelvra::test
