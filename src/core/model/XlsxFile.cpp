#include "core/model/XlsxFile.h"

#include <xlsxwriter.h>

#include <filesystem>
#include <system_error>

namespace kelvra {

std::string WorkbookTempName(const std::string &fileName) { return fileName + ".tmp"; }

std::string CommitWorkbook(lxw_workbook *wb, const std::string &fileName) {
  const std::string tmp = WorkbookTempName(fileName);
  const lxw_error err = workbook_close(wb);
  std::error_code ec;
  if (err != LXW_NO_ERROR) {
    std::filesystem::remove(tmp, ec);
    return lxw_strerror(err);
  }
  std::filesystem::rename(tmp, fileName, ec);
  if (ec) {
    std::filesystem::remove(tmp, ec);
    return "cannot write " + fileName;
  }
  return {};
}

} // namespace kelvra
