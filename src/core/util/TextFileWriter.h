#pragma once
// Large text files (track exports of millions of points) written as they are made: the text goes
// out in blocks of a megabyte from one buffer that stays in the CPU's caches, under a temporary
// name beside the target that is synced once and renamed over it when complete, so that a failed
// export never leaves half a file under the chosen name. Numbers and dates are formatted straight
// into the buffer, without a string per value.
#include "core/util/LumDates.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra {

// Appends aValue with aDecimals decimals as f2s writes it ("NaN" for NaN; 2 decimals for 0 or
// fewer).
void AppendFixed(std::string &aOut, double aValue, int aDecimals);
// Appends a whole number.
void AppendInt(std::string &aOut, int64_t aValue);
// Appends aDt as "yyyy-mm-ddThh:nn:ssZ", as dt2webutc(aDt, 0) writes it.
void AppendWebUtc(std::string &aOut, TDateTime aDt);

// A file a library writes whole by its own means (a workbook, a PDF) is made under this name
// (fileName + ".tmp") and then put in place with CommitTempFile.
std::string TempFileName(const std::string &fileName);
// Puts a finished temporary file in place of fileName as TTextFileWriter::Commit does: flushed
// to disk, renamed over the name in one step (no moment without a file under it), the folder's
// entry made durable. On failure the temporary file is removed and errno tells why.
bool CommitTempFile(const std::string &temp, const std::string &fileName);

class TTextFileWriter {
public:
  static constexpr std::size_t kBlock = std::size_t(1) << 20;

  // Starts the file (its temporary twin); aMode as WriteFileAtomic's. Check Ok().
  explicit TTextFileWriter(const std::string &aFileName, int aMode = -1);
  // Without Commit the temporary file is removed and the target stays as it was.
  ~TTextFileWriter();
  TTextFileWriter(const TTextFileWriter &) = delete;
  TTextFileWriter &operator=(const TTextFileWriter &) = delete;

  // False once anything has failed.
  bool Ok() const { return fFd >= 0; }
  // The text not yet written: append to it, then call Wrote.
  std::string &Out() { return fBuffer; }
  // Writes the buffered text once it has reached a block.
  void Wrote() {
    if (fBuffer.size() >= kBlock) Flush();
  }
  void Append(std::string_view aText);
  // Bytes given so far (written or buffered).
  int64_t Size() const { return fWritten + int64_t(fBuffer.size()); }
  // Writes the rest, syncs the file once and renames it over the target; false (and no file
  // left) on failure.
  bool Commit();

private:
  void Flush();
  void Abandon();

  std::string fFileName;
  std::string fTemp;
  int fFd = -1;
  std::string fBuffer;
  int64_t fWritten = 0;
};

} // namespace kelvra
