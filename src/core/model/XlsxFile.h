#pragma once
// Spreadsheets are written beside their name and renamed over it once complete, so that a
// failed export never leaves half a workbook under the chosen name.

#include <string>

struct lxw_workbook;

namespace kelvra {

// The temporary name a workbook for fileName is made under.
std::string WorkbookTempName(const std::string &fileName);
// Closes (writes) the workbook made under WorkbookTempName(fileName) and renames it over
// fileName; the workbook is gone either way. Empty on success, else the reason (and no file).
std::string CommitWorkbook(lxw_workbook *wb, const std::string &fileName);

} // namespace kelvra
