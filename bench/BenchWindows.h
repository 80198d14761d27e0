#pragma once
// The main of a benchmark program that paints or uses the windows' models: an offscreen
// application around the figures, and what the benchmarks kept released before it goes.

#include <QApplication>
#include <functional>
#include <vector>

#include "BenchFigures.h"

namespace kelvra::bench {

inline int RunWindowFigures(int aArgc, char **aArgv, const std::vector<TFigure> &aFigures,
                            const std::function<void()> &aRelease) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1; // the arguments are the benchmark library's
  QApplication app(qtArgc, aArgv);
  const int status = RunFigures(aArgc, aArgv, aFigures);
  if (aRelease) aRelease();
  return status;
}

} // namespace kelvra::bench
