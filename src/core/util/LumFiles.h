#pragma once
// Text, configuration and log files. Reading decides once per file: a UTF-8 byte order mark, or
// bytes that are valid UTF-8 as a whole, mean UTF-8; otherwise the whole file is Windows-1251.
// Writing "ANSI" writes UTF-8 without the mark. Texts returned use CR as the line separator. Paths
// use "/".
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelvra {

bool DirExists(const std::string &dir);
bool FileExists(const std::string &fileName);

// The file's text from `offset` (counted after the mark), at most maxSize bytes (0 = all);
// "" when missing or not read whole.
std::string ReadAsString(const std::string &fileName, bool forceUtf8 = false, int64_t maxSize = 0,
                         int64_t offset = 0);
// Configuration text: trimmed non-comment lines, each followed by CR; "#include name" lines
// replaced by the named file when `include` is set (a file never includes itself again).
std::string ReadConfig(const std::string &fileName, bool include = true);
// The last `lines` lines (0 = 99999), joined by CR, read from the end without reading it all.
std::string ReadTailStrings(const std::string &fileName, int32_t lines = 0);

// Raw blocks; a negative offset counts back from the end of the file.
int64_t WriteBuffer(const std::string &fileName, const void *bytes, int64_t count,
                    int64_t offset = 0);
int64_t ReadBuffer(const std::string &fileName, void *buffer, int64_t count, int64_t offset = 0);

// Appends (or rewrites) text; bytes written, or -1 no name, -2 cannot open, -3 cannot seek,
// -4 write failed. UTF-8 on a rewrite starts with the byte order mark.
// A new file is created with `mode` less the umask.
int64_t WriteString(const std::string &fileName, const std::string &text, bool rewrite = false,
                    bool utf8 = false, unsigned mode = 0666);
// Appends the text with every CR turned into CR LF + "yyyymmdd hhnnss [tag] "; returns it.
// A new log file is readable by the user only: logs show what the user did and asked for.
std::string WriteLog(const std::string &fileName, const std::string &text,
                     const std::string &tag = "");
// Drops the oldest lines once the file is 10 KiB past maxSize; true when it trimmed.
bool LogRotate(const std::string &fileName, int64_t maxSize);
int64_t FileSize(const std::string &fileName);
// "\" -> "/", doubled separators folded (a leading "//" kept), ends with "/"; a leading "./"
// becomes baseDir. "" for a name shorter than two characters.
std::string NormalizeDirName(const std::string &dir, const std::string &baseDir = "");
// A name from outside the program (an object's name in a track's sign) as the name of one file
// inside the folder it is offered in: folder separators and control characters become "_", and
// leading dots too, so that it is neither a path elsewhere nor a hidden file.
std::string PlainFileName(const std::string &name);
// Entries of one directory matching the mask ("*.*" and "*" match everything), CR LF joined.
std::string FindFiles(const std::string &dir, const std::string &mask, bool withPath = false);

// Replaces the file as a whole: writes a temporary file in the same folder, flushes it to disk
// and renames it over the name, so a crash leaves either the old or the new content. The file
// gets `mode` exactly when it is given (0600 for files holding secrets); otherwise it keeps the
// mode of the file it replaces, and a new file follows the umask (0666 less the umask).
// On failure errno tells why. The temporary file is named fileName + kAtomicTempInfix + six
// characters of [0-9a-z].
constexpr int kKeepFileMode = -1;
bool WriteFileAtomic(const std::string &fileName, std::string_view bytes,
                     int mode = kKeepFileMode);
inline constexpr const char *kAtomicTempInfix = ".tmp-";
// True when `candidate` (a name or a path) is named as a temporary file of fileName.
bool IsAtomicTempOf(const std::string &fileName, const std::string &candidate);
// Deletes the temporary files of fileName's atomic saves (of the user's own) last changed at
// least maxAgeSeconds before `now` (seconds since 1970): a save killed midway leaves its
// temporary file behind. Returns how many went.
int RemoveStaleTempFiles(const std::string &fileName, int64_t maxAgeSeconds, int64_t now);

// Local files read whole into memory (photos, uploads, imports, tiles) are refused beyond this.
constexpr int64_t kMaxLocalFileSize = 256ll * 1024 * 1024;
// Reads a whole file of at most maxSize bytes into `bytes`; "" on success, else the reason
// ("cannot open", "file too large (N bytes, at most M)", "read failed", "cancelled"). With
// progress, the file is read in pieces and progress(bytes read, file size) is told after each;
// once it returns false the read stops and nothing is kept.
std::string ReadFileBytes(const std::string &fileName, std::string &bytes,
                          int64_t maxSize = kMaxLocalFileSize,
                          const std::function<bool(size_t done, size_t total)> &progress = {});
// Creates the folder and its parents; folders created here are private to the user (0700), and
// the folder itself, when it is the user's and open to others, is made private.
bool CreatePrivateDir(const std::string &dir);

// Decoding shared by the readers: drops a leading byte order mark; UTF-8 with the mark, when
// `utf8` is set or when the bytes are valid UTF-8 as a whole (a byte outside a valid sequence
// then becomes U+FFFD), otherwise Windows-1251 throughout.
std::string DecodeText(std::string_view bytes, bool utf8 = false);

} // namespace kelvra
