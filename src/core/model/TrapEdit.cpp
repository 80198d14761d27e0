#include "core/model/TrapEdit.h"

#include <algorithm>
#include <map>

#include "core/app/MonitorLogic.h"
#include "core/model/ObjectInfo.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

int Cmp(int a, int b) { return a < b ? -1 : a > b ? 1 : 0; }

} // namespace

int CompareTraps(const TTrapInfo &a, const TTrapInfo &b) {
  if (int c = Cmp(a.target_type_id, b.target_type_id)) return c;
  if (int c = Cmp(a.target_id, b.target_id)) return c;
  return Cmp(a.condition_id, b.condition_id);
}

std::vector<TTrapGroup> GroupTraps(const TTrapList &traps,
                                   const std::vector<const TObjectInfo *> &objects,
                                   const TObjectInfo *general) {
  std::map<int, const TObjectInfo *> byUid;
  for (const TObjectInfo *oi : objects)
    if (oi) byUid.emplace(oi->uid, oi);
  std::vector<TTrapGroup> groups;
  std::map<int, size_t> index;
  for (const auto &ti : traps) {
    if (!ti) continue;
    const TObjectInfo *oi = ti->obj_id == 0 ? general : nullptr;
    if (ti->obj_id != 0)
      if (auto it = byUid.find(ti->obj_id); it != byUid.end()) oi = it->second;
    if (!oi) continue;
    auto [it, added] = index.emplace(ti->obj_id, groups.size());
    if (added) groups.push_back({oi, {}});
    groups[it->second].traps.push_back(ti.get());
  }
  std::stable_sort(groups.begin(), groups.end(), [](const TTrapGroup &a, const TTrapGroup &b) {
    return CompareObjectInfo(a.obj, b.obj) < 0;
  });
  for (TTrapGroup &g : groups)
    std::stable_sort(g.traps.begin(), g.traps.end(),
                     [](const TTrapInfo *a, const TTrapInfo *b) { return CompareTraps(*a, *b) < 0; });
  return groups;
}

std::string TrapRowText(const TTrapInfo &ti) {
  const std::string name = ti.TargetName();
  return name.empty() ? ti.TargetType() : ti.TargetType() + ": " + name;
}

std::vector<std::string> SplitItems(const std::string &text) {
  std::vector<std::string> items;
  size_t from = 0;
  while (from <= text.size()) {
    size_t to = text.find('|', from);
    if (to == std::string::npos) to = text.size();
    std::string item = Trim(std::string_view(text).substr(from, to - from));
    if (!item.empty()) items.push_back(std::move(item));
    from = to + 1;
  }
  return items;
}

int ItemId(const std::string &item) {
  return int(s2i(Trim(FirstWord(item, ":")), 0));
}

int ItemIndex(const std::vector<std::string> &items, int id) {
  for (size_t i = 0; i < items.size(); ++i)
    if (ItemId(items[i]) == id) return int(i);
  return -1;
}

const std::vector<std::string> &TrapFieldKeys() {
  static const std::vector<std::string> keys = {
      "obj_id", "target_type_id", "target_id", "condition_id", "val",     "is_alarm",
      "accept_type_id", "subj", "msg", "email", "telegram"};
  return keys;
}

std::string TrapFieldValue(const TTrapInfo &ti, const std::string &key) {
  const auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
  if (key == "obj_id") return std::to_string(ti.obj_id);
  if (key == "target_type_id") return std::to_string(ti.target_type_id);
  if (key == "target_id") return std::to_string(ti.target_id);
  if (key == "condition_id") return std::to_string(ti.condition_id);
  if (key == "val") return ti.val;
  if (key == "subj") return ti.subj;
  if (key == "msg") return ti.msg;
  if (key == "is_alarm") return flag(ti.is_alarm);
  if (key == "email") return flag(ti.email);
  if (key == "telegram") return flag(ti.telegram);
  if (key == "accept_type_id") return ti.accept_type_id == 1 ? "1" : "0";
  return {};
}

std::optional<TInserted> InsertPlaceholder(const std::string &before, const std::string &after,
                                           const std::string &item) {
  const std::string field = Trim(FirstWord(item, ":").empty() ? item : FirstWord(item, ":"));
  if (field.empty() || field[0] != '{') return std::nullopt;
  std::string ins = field;
  if (!before.empty() && before.back() != ' ') ins = " " + ins;
  std::string text = before + ins;
  const size_t caret = text.size();
  if (!after.empty() && after.front() != ' ') text += " ";
  return TInserted{text + after, caret};
}

std::vector<std::pair<int, int>> PlaceholderRuns(std::u16string_view line) {
  std::vector<std::pair<int, int>> runs;
  size_t from = 0;
  while ((from = line.find(u"{{", from)) != std::u16string_view::npos) {
    const size_t close = line.find(u"}}", from + 2);
    const size_t end = close == std::u16string_view::npos ? line.size() : close + 2;
    runs.emplace_back(int(from), int(end - from));
    from = end;
  }
  return runs;
}

} // namespace kelvra
