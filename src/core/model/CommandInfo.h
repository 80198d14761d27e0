#pragma once
// One entry of an object's command log: a text command sent to the device and its answer.

#include <memory>
#include <string>
#include <vector>

#include "core/util/LumDates.h"

namespace kelvra {

class TCommandInfo {
public:
  int uid = 0;
  int obj_uid = 0;
  std::string txt;
  TDateTime create_dt = 0;
  TDateTime send_dt = 0;
  std::string r_type;
  int r_size = 0;
  TDateTime r_dt = 0;

  explicit TCommandInfo(int aUid = 0) : uid(aUid) {}
};

using TCommandList = std::vector<std::unique_ptr<TCommandInfo>>;

} // namespace kelvra
