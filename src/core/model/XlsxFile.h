#pragma once
// Spreadsheets are written beside their name (TempFileName, core/util/TextFileWriter) and put in place
// once complete, so that a failed export never leaves half a workbook under the chosen name.

#include <string>

struct lxw_workbook;

namespace kelvra {

// Closes (writes) the workbook made under TempFileName(fileName) and puts it in place of fileName
// (CommitTempFile); the workbook is gone either way. Empty on success, else the reason (and no
// file).
std::string CommitWorkbook(lxw_workbook *wb, const std::string &fileName);

} // namespace kelvra
