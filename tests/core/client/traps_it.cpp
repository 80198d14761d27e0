// Traps against kelvra-sim: list, fetch, create, change (record and field
// table), delete.
#include <algorithm>
#include <string>

#include "SimClientFixture.h"

namespace kelvra::test {
namespace {

class TrapsIt : public TSimClientTest {
protected:
  void SetUp() override {
    TSimClientTest::SetUp();
    ASSERT_GT(fClient->GetObjects(), 0) << fClient->GetErrorMessage();
    ASSERT_GT(fClient->GetZones(), 0);
  }
  int DemoTrapCount() {
    return fSim->WithWorld([&](sim::TSimWorld &w) {
      return static_cast<int>(std::count_if(w.fTraps.begin(), w.fTraps.end(),
                                            [&](auto &t) { return t->user_id == fDemoUid; }));
    });
  }
  // A zone trap on the first object and the first zone of the caches.
  TTrapInfo ZoneTrap() {
    TTrapInfo ti(5, fClient->ObjList().front()->uid);
    ti.target_type_id = 1;
    ti.target_id = fClient->ZoneList().front()->uid;
    ti.condition_id = 2;
    ti.val = "1";
    ti.is_alarm = true;
    ti.msg = "{{.object}} left {{.target}}";
    ti.subj = "Zone";
    ti.email = true;
    return ti;
  }
};

TEST_F(TrapsIt, ListResolvesObjectsAndZones) {
  const int n = fClient->GetTraps();
  EXPECT_EQ(n, DemoTrapCount());
  ASSERT_GT(n, 0);
  EXPECT_NE(fLog.find(" [" + std::to_string(n) + "]"), std::string::npos);
  for (const auto &ti : fClient->TrapList()) {
    EXPECT_EQ(ti->ZoneList(), &fClient->ZoneList());
    if (ti->obj_id == 0) { // a general trap watches every object and has none of its own
      EXPECT_FALSE(ti->ObjInfo()) << ti->uid;
      continue;
    }
    ASSERT_TRUE(ti->ObjInfo()) << ti->uid;
    EXPECT_EQ(ti->ObjInfo()->uid, ti->obj_id);
    if (ti->target_type_id == 1) EXPECT_FALSE(ti->TargetName().empty()) << ti->uid;
  }
  // A failed reload keeps the traps the program had.
  const size_t traps = fClient->TrapList().size();
  fSim->AddFault(TFaultRule{"/api/v1/user/traps", "", 0, 503});
  EXPECT_EQ(fClient->GetTraps(), -1);
  EXPECT_EQ(fClient->TrapList().size(), traps);
}

TEST_F(TrapsIt, CreateFetchUpdateDelete) {
  fClient->GetTraps();
  const size_t before = fClient->TrapList().size();
  TTrapInfo ti = ZoneTrap();
  const int uid = fClient->CreateTrap(ti);
  ASSERT_GT(uid, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(ti.uid,
            0); // the record sent stays new; the cache holds the created trap
  EXPECT_EQ(LastRequest().body.rfind("obj_id=", 0), 0u) << LastRequest().body;
  ASSERT_EQ(fClient->TrapList().size(), before + 1);
  TTrapInfo *cached = fClient->FindTrap(uid);
  ASSERT_TRUE(cached);
  EXPECT_EQ(cached->msg, "{{.object}} left {{.target}}");
  EXPECT_TRUE(cached->email);
  EXPECT_EQ(cached->Condition(), "[\u2192");

  // Change by record, then by field table; the cached trap follows the
  // service's reply.
  TTrapInfo changed = *cached;
  changed.subj = "Alarm: zone";
  EXPECT_TRUE(fClient->UpdateTrap(changed)) << fClient->GetErrorMessage();
  EXPECT_EQ(fClient->FindTrap(uid)->subj, "Alarm: zone");
  TLumHash fields;
  fields.SetVal("is_alarm", "false");
  fields.SetVal("msg", "left");
  EXPECT_TRUE(fClient->UpdateTrap(uid, fields));
  EXPECT_FALSE(fClient->FindTrap(uid)->is_alarm);
  EXPECT_EQ(fClient->FindTrap(uid)->msg, "left");
  EXPECT_EQ(fClient->TrapList().size(), before + 1);

  // Fetching one trap replaces the cached copy.
  fSim->WithWorld([&](sim::TSimWorld &w) { w.FindTrap(uid)->val = "7"; });
  EXPECT_TRUE(fClient->GetTrap(uid));
  EXPECT_EQ(fClient->FindTrap(uid)->val, "7");

  // A refused change reports the service's text and leaves the cache alone.
  fields.Clear();
  fields.SetVal("target_type_id", "9");
  EXPECT_FALSE(fClient->UpdateTrap(uid, fields));
  EXPECT_EQ(fClient->GetErrorMessage(), "target_type_id must be 1 to 5 [400]");
  EXPECT_EQ(fClient->FindTrap(uid)->target_type_id, 1);

  EXPECT_TRUE(fClient->DeleteTrap(uid));
  EXPECT_FALSE(fClient->FindTrap(uid));
  EXPECT_EQ(fClient->TrapList().size(), before);
  EXPECT_FALSE(fClient->DeleteTrap(uid));
  EXPECT_NE(fLog.find("\r  X: trap not found"), std::string::npos);
}

TEST_F(TrapsIt, UpdatesOfUncachedTrapsAddNothing) {
  TTrapInfo ti = ZoneTrap();
  const int uid = fClient->CreateTrap(ti);
  ASSERT_GT(uid, 0);
  fClient->TrapList().clear();
  TTrapInfo other = ZoneTrap();
  other.uid = uid;
  EXPECT_TRUE(fClient->UpdateTrap(other));
  EXPECT_TRUE(fClient->TrapList().empty());
  EXPECT_TRUE(fClient->DeleteTrap(uid));
  EXPECT_TRUE(fClient->TrapList().empty());
}

TEST_F(TrapsIt, NothingToSendSendsNothing) {
  const size_t requests = RequestCount();
  TTrapInfo ti = ZoneTrap();
  ti.uid = 0;
  EXPECT_FALSE(fClient->UpdateTrap(ti));
  EXPECT_NE(fLog.find("\rKelvraClient.UpdateTrap: uid is not specified"), std::string::npos);
  EXPECT_FALSE(fClient->UpdateTrap(12, TLumHash()));
  EXPECT_NE(fLog.find("\rKelvraClient.UpdateTrap: no data for update"), std::string::npos);
  EXPECT_EQ(RequestCount(), requests);
}

} // namespace
} // namespace kelvra::test
