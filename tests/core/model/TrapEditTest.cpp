// The trap list's groups and order, the editor's item lists, changed fields and placeholders.
#include "core/model/ObjectInfo.h"
#include "core/model/TrapEdit.h"

#include <gtest/gtest.h>

using namespace kelvra;

namespace {

std::unique_ptr<TTrapInfo> Trap(int uid, int obj, int type, int target, int cond) {
  auto t = std::make_unique<TTrapInfo>(uid, obj);
  t->target_type_id = type;
  t->target_id = target;
  t->condition_id = cond;
  return t;
}

} // namespace

TEST(TrapEditTest, GroupsFollowTheObjectOrderWithGeneralLastAndSkipUnknownObjects) {
  TObjectInfo a, b, general;
  a.uid = 1;
  a.name = "bus";
  b.uid = 2;
  b.name = "Car";
  general.uid = 0;
  general.name = "GENERAL";
  TTrapList traps;
  traps.push_back(Trap(10, 0, 4, 0, 2));
  traps.push_back(Trap(11, 1, 2, 5, 1));
  traps.push_back(Trap(12, 1, 1, 7, 2));
  traps.push_back(Trap(13, 1, 1, 7, 1));
  traps.push_back(Trap(14, 99, 1, 7, 1)); // object not in the cache
  traps.push_back(Trap(15, 2, 3, 0, 1));
  const auto groups = GroupTraps(traps, {&a, &b}, &general);
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0].obj, &b); // "Car" before "bus": upper case first
  EXPECT_EQ(groups[1].obj, &a);
  EXPECT_EQ(groups[2].obj, &general);
  ASSERT_EQ(groups[1].traps.size(), 3u);
  EXPECT_EQ(groups[1].traps[0]->uid, 13);
  EXPECT_EQ(groups[1].traps[1]->uid, 12);
  EXPECT_EQ(groups[1].traps[2]->uid, 11);
}

TEST(TrapEditTest, ItemListsReadTheirIds) {
  const auto items = SplitItems("1: Zone|2: Sensor||12: Speed|");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(ItemId(items[2]), 12);
  EXPECT_EQ(ItemId("no number"), 0);
  EXPECT_EQ(ItemIndex(items, 2), 1);
  EXPECT_EQ(ItemIndex(items, 3), -1);
}

TEST(TrapEditTest, FieldValues) {
  TTrapInfo t(5, 3);
  t.target_type_id = 2;
  t.accept_type_id = 1;
  t.email = true;
  t.subj = "Hi {{.object}}";
  EXPECT_EQ(TrapFieldValue(t, "obj_id"), "3");
  EXPECT_EQ(TrapFieldValue(t, "target_type_id"), "2");
  EXPECT_EQ(TrapFieldValue(t, "accept_type_id"), "1");
  EXPECT_EQ(TrapFieldValue(t, "email"), "true");
  EXPECT_EQ(TrapFieldValue(t, "telegram"), "false");
  EXPECT_EQ(TrapFieldValue(t, "subj"), "Hi {{.object}}");
  EXPECT_EQ(TrapFieldKeys().size(), 11u);
}

TEST(TrapEditTest, PlaceholderInsertion) {
  struct TCase {
    const char *before, *after, *item, *text;
    size_t caret;
  } cases[] = {
      {"at", "", "{{.lat}},{{.lon}}: Coordinates", "at {{.lat}},{{.lon}}", 20},
      {"at ", "x", "{{.time}}: Time", "at {{.time}} x", 12},
      {"", " end", "{{.object}}: Object name", "{{.object}} end", 11},
  };
  for (const TCase &c : cases) {
    const auto r = InsertPlaceholder(c.before, c.after, c.item);
    ASSERT_TRUE(r) << c.item;
    EXPECT_EQ(r->text, c.text);
    EXPECT_EQ(r->caret, c.caret);
  }
  EXPECT_FALSE(InsertPlaceholder("a", "b", "Object name"));
}

TEST(TrapEditTest, PlaceholderRuns) {
  using R = std::vector<std::pair<int, int>>;
  EXPECT_EQ(PlaceholderRuns(u"at {{.lat}},{{.lon}}"), (R{{3, 8}, {12, 8}}));
  EXPECT_EQ(PlaceholderRuns(u"x {{.time"), (R{{2, 7}})); // open to the end of the line
  EXPECT_EQ(PlaceholderRuns(u"plain }} text"), R{});
}
