#include "core/model/XlsxFile.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/util/TextFileWriter.h"

namespace kelvra {

std::string CommitWorkbook(lxw_workbook *wb, const std::string &fileName) {
  const std::string tmp = TempFileName(fileName);
  const lxw_error err = workbook_close(wb);
  if (err != LXW_NO_ERROR) {
    std::error_code ec;
    std::filesystem::remove(tmp, ec);
    return lxw_strerror(err);
  }
  if (!CommitTempFile(tmp, fileName)) return "cannot write " + fileName + ": " + std::strerror(errno);
  return {};
}

} // namespace kelvra
