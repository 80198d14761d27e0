#pragma once
// One in-process kelvra-sim per test, frozen in time at a fixed moment, with the demo user signed
// in.
#include <gtest/gtest.h>

#include "SimHttp.h"
#include "sim/SimServer.h"
#include "sim/SimUtil.h"

namespace kelvra::simtest {

inline int64_t FixedStart() {
  int64_t t = 0;
  sim::ParseUtc("2026-12-09T12:00:00Z", t);
  return t;
}

// A table row: a name, one text (a body, a path, a rule) and the status it must give.
struct TStatusCase {
  const char *name;
  const char *text;
  int status;
};

template <class T> std::string CaseName(const ::testing::TestParamInfo<T> &info) {
  return info.param.name;
}

class SimTest : public ::testing::Test {
protected:
  void SetUp() override {
    TSimOptions opt;
    opt.startTime = FixedStart();
    fSim = std::make_unique<SimServer>(opt);
    ASSERT_TRUE(fSim->Start()) << fSim->Error();
    fApi = std::make_unique<TApi>(fSim->BaseUrl());
    ASSERT_TRUE(fApi->Login("demo", "demo"));
  }
  TApi &Api() { return *fApi; }
  static std::string Utc(int64_t t) { return sim::FormatUtc(t); }
  std::string Period(int64_t from, int64_t to) { return "from=" + Utc(from) + "&to=" + Utc(to); }

  std::unique_ptr<SimServer> fSim;
  std::unique_ptr<TApi> fApi;
};

} // namespace kelvra::simtest
