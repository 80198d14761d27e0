#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kelvra::test {

TTempDir::TTempDir(const std::string &prefix) {
  std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed for " + tmpl);
  fPath = tmpl + "/";
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(fPath, ec);
}

std::string TTempDir::Write(const std::string &relName, const std::string &bytes) const {
  const std::filesystem::path p = fPath + relName;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return p.string();
}

} // namespace kelvra::test
