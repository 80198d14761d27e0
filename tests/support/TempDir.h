#pragma once
// A temporary folder for one test, removed with everything in it when the object goes.

#include <string>

namespace kelvra::test {

class TTempDir {
public:
  explicit TTempDir(const std::string &prefix = "kelvra-test");
  ~TTempDir();
  TTempDir(const TTempDir &) = delete;
  TTempDir &operator=(const TTempDir &) = delete;

  // The folder, with a trailing "/".
  const std::string &Path() const { return fPath; }
  // Writes bytes to a file below the folder (folders on the way are made); returns its path.
  std::string Write(const std::string &relName, const std::string &bytes) const;

private:
  std::string fPath;
};

} // namespace kelvra::test
