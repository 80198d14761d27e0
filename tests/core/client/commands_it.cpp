// The command log, command answers and sending commands against kelvra-sim.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "SimClientFixture.h"

namespace kelvra::test {
namespace {

class CommandsIt : public TSimClientTest {};

TEST_F(CommandsIt, SendReadTheLogAndFetchTheAnswer) {
  const int obj = DemoObject([](const sim::TSimObject &o) { return !o.config.empty(); });
  ASSERT_GT(obj, 0);
  EXPECT_TRUE(fClient->SendCommand(obj, "get config"));
  EXPECT_EQ(LastRequest().body, "get config");
  fSim->Advance(sim::TSimWorld::kSendDelay + sim::TSimWorld::kAnswerDelay + 1);

  const int n = fClient->GetCommandLog(obj, 6, "get config");
  ASSERT_GT(n, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(LastRequest().query, "count=6&txt=get%20config");
  EXPECT_GT(fClient->CommandLogUpdated(), 0);
  const TCommandInfo &ci = *fClient->CommandLog().front();
  EXPECT_EQ(ci.txt, "get config");
  EXPECT_EQ(ci.obj_uid, obj);
  EXPECT_FALSE(ci.r_type.empty());
  EXPECT_GT(ci.r_size, 0);
  EXPECT_LE(ci.create_dt, ci.r_dt);

  ASSERT_TRUE(fClient->GetCommandResponse(ci.uid)) << fClient->GetErrorMessage();
  const std::string expected =
      fSim->WithWorld([&](sim::TSimWorld &w) { return w.FindCommand(ci.uid)->response; });
  const std::string file = fClient->resultFile();
  EXPECT_EQ(file,
            fClient->ResponseDir() + std::to_string(ci.uid) + "." + ContentType2Ext(ci.r_type));
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), expected);
  EXPECT_NE(fLog.find("\rKelvraClient.CommandResponse(" + file + "): "), std::string::npos);

  // The reply files go with Clear.
  fClient->Clear();
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(fClient->CommandLog().empty());
}

TEST_F(CommandsIt, AnswerNotThereYetAndFailures) {
  const int obj = DemoObject([](const sim::TSimObject &) { return true; });
  ASSERT_TRUE(fClient->SendCommand(obj, "get places"));
  ASSERT_GT(fClient->GetCommandLog(obj, 10, ""), 0);
  EXPECT_EQ(LastRequest().query, "count=10");
  const int uid = fClient->CommandLog().front()->uid;
  EXPECT_FALSE(fClient->GetCommandResponse(uid)); // 204 before the device answered
  EXPECT_FALSE(fClient->SendCommand(obj, "  "));
  EXPECT_EQ(fClient->GetCommandLog(obj, 0, ""), -1);
  // A failed read leaves no log: the one held may be another object's.
  EXPECT_TRUE(fClient->CommandLog().empty());
}

} // namespace
} // namespace kelvra::test
