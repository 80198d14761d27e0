#include "core/util/LumFiles.h"
#include "core/util/AtomicWriteHook.h"
#include "core/util/TextFileWriter.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/util/LumDates.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Owns one file descriptor.
class TFd {
public:
  explicit TFd(int fd) : fFd(fd) {}
  ~TFd() {
    if (fFd >= 0) ::close(fFd);
  }
  TFd(const TFd &) = delete;
  TFd &operator=(const TFd &) = delete;
  int get() const { return fFd; }
  bool ok() const { return fFd >= 0; }
  // Closes now and reports whether the close succeeded (it can report a failed write).
  bool Close() {
    const int fd = fFd;
    fFd = -1;
    return fd < 0 || ::close(fd) == 0;
  }

private:
  int fFd;
};

// Reads up to `count` bytes at `offset`, retrying short reads; the number read, -1 on error.
int64_t PReadAll(int fd, char *buf, int64_t count, int64_t offset) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd, buf + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done > 0 ? done : -1;
    if (n == 0) break;
    done += n;
  }
  return done;
}

bool WriteAll(int fd, const char *data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool HasBom(int fd) {
  char b[3];
  return PReadAll(fd, b, 3, 0) == 3 && std::string_view(b, 3) == kBom;
}

// Drops what a read that began or stopped inside the file may have cut off: continuation
// bytes at the start, a sequence missing its last bytes at the end.
std::string_view DropCutSequences(std::string_view bytes, bool cutStart, bool cutEnd) {
  if (cutStart) {
    size_t k = 0;
    while (k < 3 && k < bytes.size() && (static_cast<unsigned char>(bytes[k]) & 0xC0) == 0x80)
      ++k;
    bytes.remove_prefix(k);
  }
  if (cutEnd && !bytes.empty()) {
    size_t lead = bytes.size();
    for (size_t k = 1; k <= 3 && k <= bytes.size(); ++k) {
      const auto c = static_cast<unsigned char>(bytes[bytes.size() - k]);
      if ((c & 0xC0) != 0x80) {
        lead = bytes.size() - k;
        break;
      }
    }
    if (lead < bytes.size()) {
      const auto c = static_cast<unsigned char>(bytes[lead]);
      const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 1;
      if (need > bytes.size() - lead) bytes = bytes.substr(0, lead);
    }
  }
  return bytes;
}

// One decision per read: UTF-8 when the mark or the caller says so, or when the bytes are
// valid UTF-8 as a whole (apart from a character cut at an edge of a partial read);
// otherwise every byte is Windows-1251.
std::string DecodeBytes(std::string_view bytes, bool utf8, bool cutStart, bool cutEnd) {
  const std::string_view inner = DropCutSequences(bytes, cutStart, cutEnd);
  if (utf8) return Utf8Valid(inner);
  if (IsValidUtf8(inner)) return std::string(inner);
  return AnsiToUtf8(bytes);
}

std::string DirOf(const std::string &fileName) {
  const size_t p = fileName.rfind('/');
  return p == std::string::npos ? std::string() : fileName.substr(0, p + 1);
}

std::string BaseName(const std::string &fileName) {
  const size_t p = fileName.rfind('/');
  return p == std::string::npos ? fileName : fileName.substr(p + 1);
}

std::string ReadConfigImpl(const std::string &fileName, bool include,
                           std::vector<std::string> &open) {
  if (!FileExists(fileName)) return "";
  char real[PATH_MAX];
  const std::string id = ::realpath(fileName.c_str(), real) ? std::string(real) : fileName;
  // A file already being read further up the chain would include itself for ever: drop it.
  if (std::find(open.begin(), open.end(), id) != open.end()) return "";
  open.push_back(id);
  const TLumStringList lines(ReadAsString(fileName));
  const std::string dir = DirOf(fileName);
  std::string result;
  for (const auto &raw : lines) {
    const std::string line = Trim(raw);
    if (line.empty()) continue;
    if (include && line.size() > 8 && StartsText("#include", line)) {
      size_t i = 8;
      while (i < line.size() && (line[i] == '\t' || line[i] == ' ' || line[i] == '='))
        ++i;
      std::string name = line.substr(i);
      if (!name.empty()) {
        const bool bare = name.find_first_of("\\/") == std::string::npos;
        std::replace(name.begin(), name.end(), '\\', '/');
        result += ReadConfigImpl(bare ? dir + name : name, include, open);
      }
      continue;
    }
    if (line[0] == '#' || line[0] == '/' || line[0] == ';') continue;
    result += line + '\r';
  }
  open.pop_back();
  return result;
}

} // namespace

bool DirExists(const std::string &dir) {
  struct stat st {};
  return !dir.empty() && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string &fileName) {
  struct stat st {};
  return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string DecodeText(std::string_view bytes, bool utf8) {
  if (bytes.starts_with(kBom)) return DecodeBytes(bytes.substr(3), true, false, false);
  return DecodeBytes(bytes, utf8, false, false);
}

std::string ReadAsString(const std::string &fileName, bool forceUtf8, int64_t maxSize,
                         int64_t offset) {
  if (!FileExists(fileName)) return "";
  TFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.ok() || ::fstat(fd.get(), &st) != 0) return "";
  const bool bom = HasBom(fd.get());
  const int64_t start = bom ? 3 : 0;
  if (offset < 0) return "";
  int64_t len = st.st_size - start - offset;
  if (maxSize > 0 && maxSize < len) len = maxSize;
  // A text file read whole is never larger than any the program writes or a user edits.
  if (maxSize <= 0 && len > kMaxLocalFileSize) return "";
  if (len <= 0) return "";
  std::string buf(static_cast<size_t>(len), '\0');
  if (PReadAll(fd.get(), buf.data(), len, start + offset) != len) return "";
  return DecodeBytes(buf, bom || forceUtf8, offset > 0, start + offset + len < st.st_size);
}

std::string ReadConfig(const std::string &fileName, bool include) {
  std::vector<std::string> open;
  return ReadConfigImpl(fileName, include, open);
}

std::string ReadTailStrings(const std::string &fileName, int32_t lines) {
  if (lines <= 0) lines = 99999;
  if (!FileExists(fileName)) return "";
  TFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.ok() || ::fstat(fd.get(), &st) != 0) return "";
  const bool bom = HasBom(fd.get());
  const int64_t start = bom ? 3 : 0;
  // Blocks of 4000 bytes from the end until more line breaks than lines are in hand (the extra
  // break ends the line before the first one wanted).
  std::string tail;
  int64_t pos = st.st_size;
  int64_t breaks = 0;
  while (pos > start && breaks <= lines) {
    const int64_t from = std::max(start, pos - 4000);
    std::string block(static_cast<size_t>(pos - from), '\0');
    if (PReadAll(fd.get(), block.data(), pos - from, from) != pos - from) break;
    for (size_t i = 0; i < block.size(); ++i) {
      const char next = i + 1 < block.size() ? block[i + 1] : (tail.empty() ? 0 : tail.front());
      if (block[i] == '\n' || (block[i] == '\r' && next != '\n')) ++breaks;
    }
    tail.insert(0, block);
    pos = from;
  }
  const bool whole = pos <= start;
  const TLumStringList list(DecodeBytes(tail, bom, !whole, false));
  const bool endsWithBreak = !tail.empty() && (tail.back() == '\r' || tail.back() == '\n');
  int32_t first = whole ? 0 : 1; // a block start falls inside a line: that line is partial
  first = std::max(first, list.Count() - lines);
  std::string r = list.Join("\r", first, list.Count() - 1);
  if (endsWithBreak && first < list.Count()) r += '\r';
  size_t skip = 0;
  while (skip < r.size() && static_cast<unsigned char>(r[skip]) < 32)
    ++skip;
  return r.substr(skip);
}

int64_t WriteBuffer(const std::string &fileName, const void *bytes, int64_t count, int64_t offset) {
  if (fileName.empty() || count < 0 || (count > 0 && !bytes)) return -1;
  TFd fd(::open(fileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!fd.ok()) return -1;
  if (::lseek(fd.get(), offset, offset < 0 ? SEEK_END : SEEK_SET) < 0) return -1;
  if (!WriteAll(fd.get(), static_cast<const char *>(bytes), static_cast<size_t>(count))) return -1;
  return fd.Close() ? count : -1;
}

int64_t ReadBuffer(const std::string &fileName, void *buffer, int64_t count, int64_t offset) {
  if (count <= 0 || !buffer) return 0;
  TFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.ok() || ::fstat(fd.get(), &st) != 0) return 0;
  const int64_t at = offset < 0 ? st.st_size + offset : offset;
  if (at < 0) return 0;
  const int64_t n = PReadAll(fd.get(), static_cast<char *>(buffer), count, at);
  return n < 0 ? 0 : n;
}

int64_t WriteString(const std::string &fileName, const std::string &text, bool rewrite, bool utf8,
                    unsigned mode) {
  if (fileName.empty()) return -1;
  TFd fd(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (rewrite ? O_TRUNC : O_APPEND),
                static_cast<mode_t>(mode & 0777)));
  if (!fd.ok()) return -2;
  if (::lseek(fd.get(), 0, SEEK_END) < 0) return -3;
  std::string bytes = utf8 && rewrite ? std::string(kBom) + text : StringToAnsiString(text);
  if (!WriteAll(fd.get(), bytes.data(), bytes.size())) return -4;
  if (!fd.Close()) return -4;
  return static_cast<int64_t>(bytes.size());
}

std::string WriteLog(const std::string &fileName, const std::string &text, const std::string &tag) {
  std::string prefix = FormatDateTime("yyyymmdd hhnnss ", NowLocal());
  if (!tag.empty()) prefix += "[" + tag + "] ";
  std::string s;
  s.reserve(text.size() + 64);
  for (char c : text) {
    if (c == '\n') continue;
    if (c == '\r')
      s += "\r\n" + prefix;
    else
      s += c;
  }
  WriteString(fileName, s, false, false, 0600);
  return s;
}

bool LogRotate(const std::string &fileName, int64_t maxSize) {
  const int64_t size = FileSize(fileName);
  if (size < 0 || size - maxSize < 10240) return false;
  std::string data(static_cast<size_t>(size), '\0');
  if (ReadBuffer(fileName, data.data(), size, 0) != size) return false;
  // Keep from the first line that ends past the surplus, so about maxSize bytes remain. The
  // count is in bytes, the unit of the sizes it is compared with.
  const int64_t surplus = size - maxSize;
  size_t cut = 0;
  while (cut < data.size()) {
    size_t end = data.find_first_of("\r\n", cut);
    if (end == std::string::npos) {
      end = data.size();
    } else {
      end += (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n') ? 2 : 1;
    }
    if (static_cast<int64_t>(end) > surplus) break;
    cut = end;
  }
  std::string kept = data.substr(cut);
  if (cut > 0 && std::string_view(data).starts_with(kBom)) kept.insert(0, kBom);
  return WriteFileAtomic(fileName, kept);
}

int64_t FileSize(const std::string &fileName) {
  struct stat st {};
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return st.st_size;
}

std::string PlainFileName(const std::string &name) {
  std::string out = name;
  bool leading = true;
  for (char &c : out) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32 || c == 127 ||
        (leading && c == '.'))
      c = '_';
    leading = leading && c == '_';
  }
  return out;
}

std::string NormalizeDirName(const std::string &dir, const std::string &baseDir) {
  std::string s = Trim(dir);
  if (Utf8Length(s) < 2) return "";
  std::replace(s.begin(), s.end(), '\\', '/');
  const bool network = s.starts_with("//");
  std::string r;
  for (char c : s)
    if (!(c == '/' && !r.empty() && r.back() == '/')) r += c;
  if (network) r.insert(0, "/");
  if (r.back() != '/') r += '/';
  if (r.starts_with("./") && !baseDir.empty()) r = baseDir + r.substr(2);
  return r;
}

std::string FindFiles(const std::string &dir, const std::string &mask, bool withPath) {
  const std::string d = NormalizeDirName(dir);
  if (d.empty()) return "";
  DIR *h = ::opendir(d.c_str());
  if (!h) return "";
  const bool all = mask == "*" || mask == "*.*";
  std::string r;
  while (const dirent *e = ::readdir(h)) {
    const char *name = e->d_name;
    if (!all && ::fnmatch(mask.c_str(), name, FNM_CASEFOLD) != 0) continue;
    if (!r.empty()) r += "\r\n";
    if (withPath) r += d;
    r += name;
  }
  ::closedir(h);
  return r;
}

void (*AtomicWriteHook)(TAtomicWriteStage stage) = nullptr;

TTextFileWriter::TTextFileWriter(const std::string &aFileName, int aMode) : fFileName(aFileName) {
  if (aFileName.empty() || aFileName.back() == '/') return;
  // The temporary file is created by open() with the final permissions, so a new file follows
  // the umask the way any other program's files do (mkstemp would always give 0600).
  struct stat st {};
  const bool existed = ::stat(aFileName.c_str(), &st) == 0;
  const mode_t createMode = aMode >= 0 ? static_cast<mode_t>(aMode & 07777) : 0666;
  int rawFd = -1;
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u ^
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(this));
  for (int attempt = 0; attempt < 100 && rawFd < 0; ++attempt) {
    fTemp = aFileName + kAtomicTempInfix;
    // Integer to unsigned wraps (defined); a double beyond the range would not.
    seed = seed * 1103515245u + 12345u +
           static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    unsigned v = seed;
    for (int i = 0; i < 6; ++i, v /= 36)
      fTemp += digits[v % 36];
    rawFd = ::open(fTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    if (rawFd < 0 && errno != EEXIST) return;
  }
  if (rawFd < 0) return;
  fFd = rawFd;
  // An explicit mode holds whatever the umask says; otherwise the old file's mode is kept.
  bool ok = true;
  if (aMode >= 0)
    ok = ::fchmod(fFd, createMode) == 0;
  else if (existed)
    ok = ::fchmod(fFd, st.st_mode & 07777) == 0;
  if (!ok) Abandon();
}

TTextFileWriter::~TTextFileWriter() { Abandon(); }

void TTextFileWriter::Abandon() {
  if (fFd < 0) return;
  ::close(fFd);
  fFd = -1;
  ::unlink(fTemp.c_str());
}

void TTextFileWriter::Flush() {
  if (fFd >= 0 && !WriteAll(fFd, fBuffer.data(), fBuffer.size())) Abandon();
  fWritten += int64_t(fBuffer.size());
  fBuffer.clear();
}

void TTextFileWriter::Append(std::string_view aText) {
  if (aText.size() < kBlock) {
    fBuffer.append(aText);
    Wrote();
    return;
  }
  // A large piece goes out as it is, after what was buffered before it.
  Flush();
  if (fFd >= 0 && !WriteAll(fFd, aText.data(), aText.size())) Abandon();
  fWritten += int64_t(aText.size());
}

namespace {
// The rename of a complete, synced temporary file over its name and the folder's fsync; the
// temporary file goes on failure.
bool RenameOver(const std::string &temp, const std::string &fileName) {
  if (::rename(temp.c_str(), fileName.c_str()) != 0) {
    const int why = errno; // for the caller's message, whatever unlink does to it
    ::unlink(temp.c_str());
    errno = why;
    return false;
  }
  // Make the rename itself durable.
  std::string dir = DirOf(fileName);
  TFd dfd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dfd.ok()) ::fsync(dfd.get());
  return true;
}
} // namespace

std::string TempFileName(const std::string &fileName) { return fileName + ".tmp"; }

bool CommitTempFile(const std::string &temp, const std::string &fileName) {
  TFd fd(::open(temp.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.ok() || ::fsync(fd.get()) != 0) {
    const int why = errno;
    ::unlink(temp.c_str());
    errno = why;
    return false;
  }
  return RenameOver(temp, fileName);
}

bool TTextFileWriter::Commit() {
  Flush();
  if (fFd < 0) return false;
  if (AtomicWriteHook) AtomicWriteHook(TAtomicWriteStage::Written);
  const bool synced = ::fsync(fFd) == 0;
  const int fd = fFd;
  fFd = -1;
  bool ok = ::close(fd) == 0 && synced; // a close can report a failed write
  if (ok && AtomicWriteHook) AtomicWriteHook(TAtomicWriteStage::Synced);
  if (!ok) {
    const int why = errno;
    ::unlink(fTemp.c_str());
    errno = why;
    return false;
  }
  if (!RenameOver(fTemp, fFileName)) return false;
  if (AtomicWriteHook) AtomicWriteHook(TAtomicWriteStage::Renamed);
  return true;
}

bool IsAtomicTempOf(const std::string &fileName, const std::string &candidate) {
  const std::string prefix = BaseName(fileName) + kAtomicTempInfix;
  const std::string name = BaseName(candidate);
  if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

int RemoveStaleTempFiles(const std::string &fileName, int64_t maxAgeSeconds, int64_t now) {
  const std::string dir = DirOf(fileName);
  DIR *h = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!h) return 0;
  int removed = 0;
  while (const dirent *e = ::readdir(h)) {
    if (!IsAtomicTempOf(fileName, e->d_name)) continue;
    const std::string path = dir + e->d_name;
    struct stat st {};
    // A younger one may be a save in progress, of this program or of another copy of it.
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        now - static_cast<int64_t>(st.st_mtime) < maxAgeSeconds)
      continue;
    if (::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(h);
  return removed;
}

bool WriteFileAtomic(const std::string &fileName, std::string_view bytes, int mode) {
  TTextFileWriter writer(fileName, mode);
  if (!writer.Ok()) return false;
  writer.Append(bytes);
  return writer.Commit();
}

std::string ReadFileBytes(const std::string &fileName, std::string &bytes, int64_t maxSize,
                          const std::function<bool(size_t done, size_t total)> &progress) {
  bytes.clear();
  TFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.ok() || ::fstat(fd.get(), &st) != 0) return "cannot open";
  if (!S_ISREG(st.st_mode)) return "not a file";
  if (st.st_size > maxSize)
    return "file too large (" + std::to_string(static_cast<int64_t>(st.st_size)) +
           " bytes, at most " + std::to_string(maxSize) + ")";
  bytes.resize(static_cast<size_t>(st.st_size));
  // Pieces small enough for the progress to move and a cancel to be heard at once.
  const int64_t piece = progress ? int64_t(4) << 20 : std::max<int64_t>(st.st_size, 1);
  for (int64_t done = 0, count = 0; done < st.st_size; done += count) {
    if (progress && !progress(static_cast<size_t>(done), static_cast<size_t>(st.st_size))) {
      bytes.clear();
      return "cancelled";
    }
    count = std::min(piece, st.st_size - done);
    if (PReadAll(fd.get(), bytes.data() + done, count, done) != count) {
      bytes.clear();
      return "read failed";
    }
  }
  if (progress && !progress(bytes.size(), bytes.size())) {
    bytes.clear();
    return "cancelled";
  }
  return "";
}

namespace {
bool MakeDirs(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeDirs(path.substr(0, slash));
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}
} // namespace

bool CreatePrivateDir(const std::string &dir) {
  if (dir.empty()) return false;
  std::string path = dir;
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  if (!MakeDirs(path)) return false;
  // A folder of ours that an older version made open to others is closed now.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
      (st.st_mode & 077) != 0)
    ::chmod(path.c_str(), st.st_mode & 0700);
  return true;
}

} // namespace kelvra
