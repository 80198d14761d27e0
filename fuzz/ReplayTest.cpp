// Every file of every target's corpus goes through the target's entry function: a crash found by
// the fuzzer once (its input added to the corpus) stays fixed.
#include "FuzzTargets.h"

#include "core/util/LumFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvra::fuzz {
namespace {

std::string CorpusDir(const char *aTarget) {
  return std::string(KELVRA_FUZZ_CORPUS) + "/" + aTarget;
}

class CorpusReplay : public ::testing::TestWithParam<TFuzzTarget> {};

TEST_P(CorpusReplay, EveryFileGoesThrough) {
  const std::string dir = CorpusDir(GetParam().name);
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(dir, ec))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  ASSERT_FALSE(files.empty()) << "no seed corpus in " << dir;
  std::sort(files.begin(), files.end());
  for (const std::string &file : files) {
    SCOPED_TRACE(file);
    std::string bytes;
    ASSERT_EQ(ReadFileBytes(file, bytes, 1 << 20), "");
    GetParam().run(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
  }
}

const auto kName = [](const auto &info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Util, CorpusReplay, ::testing::ValuesIn(UtilTargets()), kName);
INSTANTIATE_TEST_SUITE_P(Core, CorpusReplay, ::testing::ValuesIn(CoreTargets()), kName);

} // namespace
} // namespace kelvra::fuzz
