#pragma once
// What the trap list and the trap editor decide, apart from their windows: the groups of the
// trap list and their order, the "id: text" items of the editor's lists, the fields a changed
// trap sends, and the placeholders of the subject and message.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/model/TrapInfo.h"

namespace kelvra {

class TObjectInfo;

// --- the trap list ------------------------------------------------------------------------------
// Traps of one object by target type, target and condition (-1, 0, 1).
int CompareTraps(const TTrapInfo &a, const TTrapInfo &b);

struct TTrapGroup {
  const TObjectInfo *obj = nullptr; // the cached object, or the "GENERAL" record for obj_id 0
  std::vector<TTrapInfo *> traps;    // not owned
};
// Groups in the object list's order ("GENERAL" last), traps sorted within each; traps of
// objects that are not in the cache are left out.
std::vector<TTrapGroup> GroupTraps(const TTrapList &traps,
                                   const std::vector<const TObjectInfo *> &objects,
                                   const TObjectInfo *general);
// The row text of a trap: its target type, and ": " and the target name when there is one.
std::string TrapRowText(const TTrapInfo &ti);

// --- lists of "id: text" items ------------------------------------------------------------------
// The items of a translated list text ("1: Zone|2: Sensor"); empty items are dropped.
std::vector<std::string> SplitItems(const std::string &text);
// The number before the first ":" of an item; 0 when there is none.
int ItemId(const std::string &item);
// The first item carrying the id; -1 when none does.
int ItemIndex(const std::vector<std::string> &items, int id);

// --- changed fields -----------------------------------------------------------------------------
// The field names in the editor's order.
const std::vector<std::string> &TrapFieldKeys();
// The value a field is sent with: integers in decimal, texts as they are, flags "true"/"false",
// accept_type_id "1"/"0". Empty for an unknown key.
std::string TrapFieldValue(const TTrapInfo &ti, const std::string &key);

// --- placeholders -------------------------------------------------------------------------------
// Inserting a chooser item ("{{.object}}: Object name") between the text before and after the
// caret: the part before ":" when it starts with "{", with a space before it unless the text
// before ends with one and a space after it unless the text after starts with one. Nothing for
// an item that is not a placeholder. caret is the byte length of everything up to the insertion's
// end.
struct TInserted {
  std::string text;
  size_t caret = 0;
};
std::optional<TInserted> InsertPlaceholder(const std::string &before, const std::string &after,
                                           const std::string &item);
// The runs of a line shown highlighted: each from "{{" to the next "}}" inclusive, or to the
// end of the line; (start, length) in the line's UTF-16 units.
std::vector<std::pair<int, int>> PlaceholderRuns(std::u16string_view line);

} // namespace kelvra
