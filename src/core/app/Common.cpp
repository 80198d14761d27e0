#include "core/app/Common.h"
#include "core/util/DisplayUnits.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/util/LumFiles.h"
#include "core/util/LumStrings.h"

namespace kelvra {

namespace fs = std::filesystem;

std::string ExeName;
std::string HomeDir;
std::string PhotoDir;
std::string IniFileName;
std::unique_ptr<TLumIniFile> IniFile;
std::string CfgFileName;
std::unique_ptr<TLumHash> Config;
double SystemTimeZone = 0;
std::string SystemLanguage;
int UserLevel = 0;
std::string TranslateDir;
std::unique_ptr<TLumHintHash> Translates;
std::unique_ptr<TTranslation> Translation;
std::string Language;
std::unique_ptr<TAddressCache> AddressCache;
std::vector<std::string> StartupWarnings;

namespace {

// KELVRA_PASSWORD as Init found it; taken out of the environment so that programs started from
// here (the desktop's viewer of a command's answer) do not inherit it.
std::string &EnvPassword() {
  static std::string password;
  return password;
}

TFatalErrorHandler &FatalHandler() {
  static TFatalErrorHandler handler;
  return handler;
}

std::vector<std::string> &CommandLine() {
  static std::vector<std::string> args;
  return args;
}

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string RunningProgram() {
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

// The program's folder when it can be written to; otherwise the per-user data folder, so that
// an installed program still has somewhere to keep its settings and caches.
std::string ChooseHomeDir(const std::string &exeDir) {
  if (::access(exeDir.c_str(), W_OK) == 0) return exeDir;
  std::string base;
  if (const char *x = std::getenv("XDG_DATA_HOME"); x && *x)
    base = x;
  else if (const char *h = std::getenv("HOME"); h && *h)
    base = std::string(h) + "/.local/share";
  else
    return exeDir;
  std::string dir = WithSlash(base) + "KelvraMonitor/";
  CreatePrivateDir(dir);
  return dir;
}

// Translations beside the program first, then the installed data folder.
std::string ChooseTranslateDir(const std::string &exeDir) {
  const std::string candidates[] = {exeDir + "Translations/", HomeDir + "Translations/",
                                    exeDir + "../share/KelvraMonitor/Translations/"};
  for (const auto &dir : candidates)
    if (DirExists(dir)) return dir;
  return candidates[0];
}

} // namespace

void SetFatalErrorHandler(TFatalErrorHandler handler) { FatalHandler() = std::move(handler); }

void FatalError(const std::string &Msg, const std::string &Detail) {
  const std::string text = Trim(Msg + "\r" + Detail);
  std::string shown = text;
  for (char &c : shown)
    if (c == '\r') c = '\n';
  std::fprintf(stderr, "Fatal error: %s\n", shown.c_str());
  std::fflush(stderr);
  if (FatalHandler()) FatalHandler()(text);
  std::exit(kFatalExitCode);
}

int UserLevelOf(const std::string &value) {
  if (value.empty()) return 0;
  switch (value[0]) {
  case 'a':
  case 'A':
    return 5;
  case 'e':
  case 'E':
    return 9;
  default:
    return 0;
  }
}

std::string LocaleName() {
  const char *vars[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::string name;
  for (const char *v : vars) {
    const char *s = std::getenv(v);
    if (s && *s) {
      name = s;
      break;
    }
  }
  name = name.substr(0, name.find_first_of(".@"));
  if (name == "C" || name == "POSIX") return {};
  return name.substr(0, 63);
}

double StandardTimeZone() {
  // The offset of a moment that is not in daylight saving time: now, or else 1 January or
  // 1 July of this year (one of them is standard time on either hemisphere).
  time_t now = std::time(nullptr);
  struct tm t {};
  localtime_r(&now, &t);
  if (t.tm_isdst <= 0) return double(t.tm_gmtoff) / 86400.0;
  for (int month : {0, 6}) {
    struct tm probe {};
    probe.tm_year = t.tm_year;
    probe.tm_mon = month;
    probe.tm_mday = 1;
    probe.tm_hour = 12;
    probe.tm_isdst = -1;
    time_t at = std::mktime(&probe);
    struct tm lt {};
    localtime_r(&at, &lt);
    if (lt.tm_isdst <= 0) return double(lt.tm_gmtoff) / 86400.0;
  }
  return double(t.tm_gmtoff) / 86400.0;
}

std::vector<std::string> LanguageCandidates(const std::string &wanted) {
  std::vector<std::string> names;
  auto add = [&](const std::string &n) {
    if (!n.empty() && std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
  };
  add(wanted);
  add(wanted.substr(0, wanted.find_first_of("_-")));
  add("en");
  return names;
}

void ListTranslations(const std::string &dir, TLumHintHash &list, std::vector<std::string> *refused) {
  list.Clear();
  if (refused) refused->clear();
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".txt") files.push_back(it->path());
  std::sort(files.begin(), files.end()); // the same order on every run
  for (const auto &path : files) {
    const std::string base = path.stem().string();
    if (base == "defaults") continue; // the fallback file is never a language of its own
    // Only the head of the file is read: "Info" must lie within its first 100 bytes.
    const std::string head = ReadAsString(path.string(), true, 100, 0);
    const std::string info = GetIniSection(head, "Info", nullptr);
    const std::string lang = info.empty() ? std::string() : GetIniItem(info, "lang", "", "= \t");
    if (lang.empty()) {
      if (refused) refused->push_back(path.filename().string());
      continue;
    }
    list.SetVal(base, lang);
    list.SetHint(base, path.string());
  }
}

void ApplyDisplayUnits() {
  TDisplayUnits u = TDisplayUnits::FromSettings(Config ? Config->GetVal("units") : "",
                                                Config ? Config->GetVal("coord_format") : "");
  if (Translation) {
    TUnitSymbols &s = u.symbols;
    for (auto [key, field] : {std::pair{"unit_m", &s.m}, {"unit_km", &s.km}, {"unit_ft", &s.ft},
                              {"unit_mi", &s.mi}, {"unit_nmi", &s.nmi}, {"unit_kmh", &s.kmh},
                              {"unit_mph", &s.mph}, {"unit_kn", &s.kn}, {"unit_north", &s.north},
                              {"unit_south", &s.south}, {"unit_east", &s.east}, {"unit_west", &s.west},
                              {"unit_m2", &s.m2}, {"unit_km2", &s.km2}, {"unit_ft2", &s.ft2},
                              {"unit_mi2", &s.mi2}, {"unit_nmi2", &s.nmi2}})
      *field = Translation->GetString("Units", key, *field);
  }
  SetDisplayUnits(u);
}

void ReloadConfig() {
  Config->Load(CfgFileName, true, "=\t ");
  for (const std::string &key : IniFile->ReadSection("Config")) {
    std::string value = IniFile->ReadString("Config", key, "");
    if (!value.empty()) Config->SetVal(key, value);
  }
  // One argument at a time: joined into one text, an argument opening a bracket or naming a
  // section would swallow the arguments after it.
  for (const std::string &arg : CommandLine())
    Config->Assign(arg, true, "\r", "=\t ");
  ApplyDisplayUnits();
  if (!Config->GetVal("pass").empty()) return;
  const std::string passFile = Config->GetVal("pass_file");
  if (!passFile.empty()) {
    std::string error;
    const std::string password = ReadPasswordFile(passFile, error);
    if (!error.empty()) {
      const std::string text = "pass_file=" + passFile + " not used: " + error;
      if (std::find(StartupWarnings.begin(), StartupWarnings.end(), text) == StartupWarnings.end()) {
        StartupWarnings.push_back(text);
        std::fprintf(stderr, "%s\n", text.c_str());
      }
    }
    if (!password.empty()) {
      Config->SetVal("pass", password);
      return;
    }
  }
  if (!EnvPassword().empty()) Config->SetVal("pass", EnvPassword());
}

std::vector<std::string> TakeSecretArgs(int argc, char **argv) {
  std::vector<std::string> taken;
  for (int i = 1; i < argc; ++i) {
    if (!argv[i]) continue;
    // The key as the configuration reads it: up to the first separator, trimmed, any case.
    const std::string arg = argv[i];
    const size_t sep = arg.find_first_of("=\t ");
    if (sep == std::string::npos || !SameText(Trim(arg.substr(0, sep)), "pass")) continue;
    taken.push_back(arg);
    std::memset(argv[i], 0, arg.size());
  }
  return taken;
}

std::string ReadPasswordFile(const std::string &path, std::string &error) {
  error.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::string("cannot open (") + std::strerror(errno) + ")";
    return "";
  }
  struct stat st {};
  std::string bytes;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    error = "not a regular file";
  else if (st.st_uid != ::geteuid())
    error = "the file belongs to another user";
  else if ((st.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    error = std::string("other users may read or change it (mode ") + mode + "; chmod 600 it)";
  } else if (st.st_size > 4096)
    error = "larger than 4096 bytes";
  else {
    bytes.resize(static_cast<size_t>(st.st_size));
    const ssize_t n = st.st_size > 0 ? ::read(fd, bytes.data(), bytes.size()) : 0;
    if (n != static_cast<ssize_t>(bytes.size())) {
      error = "read failed";
      bytes.clear();
    }
  }
  ::close(fd);
  if (!error.empty()) return "";
  const size_t end = bytes.find_first_of("\r\n");
  if (end != std::string::npos) bytes.resize(end);
  if (bytes.empty()) error = "the file is empty";
  return bytes;
}

void Init(const std::string &exeName, const std::vector<std::string> &args) {
  CommandLine() = args;
  StartupWarnings.clear();
  if (const char *password = std::getenv("KELVRA_PASSWORD")) {
    EnvPassword() = password;
    ::unsetenv("KELVRA_PASSWORD");
  }
  // 1. Folders.
  ExeName = exeName.empty() ? RunningProgram() : exeName;
  const fs::path exePath(ExeName);
  const std::string exeDir = WithSlash(exePath.parent_path().string());
  HomeDir = ChooseHomeDir(exeDir);
  const std::string programName = exePath.stem().string();
  // 2. Photo cache.
  PhotoDir = HomeDir + "PhotoCache/";
  CreatePrivateDir(PhotoDir); // the photos of the user's objects are nobody else's business
  // 3. Available translations.
  TranslateDir = ChooseTranslateDir(exeDir);
  Translates = std::make_unique<TLumHintHash>();
  std::vector<std::string> refusedTranslations;
  ListTranslations(TranslateDir, *Translates, &refusedTranslations);
  // 4. Settings file.
  IniFileName = HomeDir + programName + ".ini";
  // A save killed midway leaves its temporary file; one an hour old is no save in progress.
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  for (const std::string &saved : {IniFileName, HomeDir + programName + ".address"})
    RemoveStaleTempFiles(saved, 3600, now);
  IniFile = std::make_unique<TLumIniFile>(IniFileName);
  // 5. Configuration.
  CfgFileName = HomeDir + programName + ".conf";
  Config = std::make_unique<TLumHash>();
  ReloadConfig();
  // 6, 7. System time zone and language.
  SystemTimeZone = StandardTimeZone();
  SystemLanguage = LocaleName();
  // 8. Translation: the configured language, else the settings file's, else the system's; a
  // locale like en_US falls back to en, and anything missing to English.
  Translation = std::make_unique<TTranslation>();
  std::string wanted = Config->GetVal("lang");
  if (wanted.empty()) wanted = IniFile->ReadString("Main", "Language", SystemLanguage);
  Language = wanted;
  for (const std::string &name : LanguageCandidates(wanted)) {
    if (Translates->KeyIndex(name) >= 0) {
      Language = Translates->GetKey(Translates->KeyIndex(name));
      break;
    }
  }
  try {
    Translation->Load(Translates->GetHint(Language));
    Translation->LoadDefaults(TranslateDir + "defaults.txt");
  } catch (const std::exception &e) {
    // No file matched: a damaged one is named, so that "empty" does not send the user looking
    // for an empty file.
    std::string why = e.what();
    if (Translates->KeyIndex(Language) < 0 && !refusedTranslations.empty()) {
      why += "\rNot a translation (no [Info] with lang= in its first 100 bytes):";
      for (const std::string &name : refusedTranslations)
        why += " " + TranslateDir + name;
    }
    FatalError("Load translation:", why);
  }
  ApplyDisplayUnits(); // with the translated unit symbols
  // 9. Address cache.
  try {
    AddressCache = std::make_unique<TAddressCache>(HomeDir + programName + ".address");
  } catch (const std::exception &e) {
    FatalError("Load address cache:", e.what());
  }
  // 10. User level.
  UserLevel = UserLevelOf(Config->Get("user_level", std::string("0")));
}

void Done() {
  // Each global is emptied before its object goes, so nothing reaches a half-freed one.
  auto release = [](auto &p) {
    auto owned = std::move(p);
    p = nullptr;
    owned.reset();
  };
  release(Config);
  release(IniFile);
  release(Translates);
  release(AddressCache); // saves what changed
  release(Translation);
  ExeName.clear();
  EnvPassword().clear();
  StartupWarnings.clear();
  HomeDir.clear();
  PhotoDir.clear();
  IniFileName.clear();
  CfgFileName.clear();
  TranslateDir.clear();
  Language.clear();
}

std::string ConfigKeysHelp() {
  return "Usage: KelvraMonitor [--help] [--version] [key=value ...]\n"
         "\n"
         "Each argument is one configuration line (key, \"=\", value); it overrides the same key\n"
         "of the configuration file (KelvraMonitor.conf) and of section [Config] of the\n"
         "settings file (KelvraMonitor.ini). Keys:\n"
         "  lang=NAME                 translation file to load (Translations/NAME.txt);\n"
         "                            default: [Main] Language of the settings file, else the\n"
         "                            system locale (en_US, then en, then English)\n"
         "  user_level=LEVEL          first letter a: level 5; e: level 9 (technical fields in\n"
         "                            the information windows); anything else: 0\n"
         "  server=URL                base address of the monitoring service\n"
         "  token=TOKEN               service token, used when the settings file has none\n"
         "  timezone=OFFSET           offset of the display time from UTC; empty or 0: the\n"
         "                            system's standard time zone\n"
         "  time_zone=ZONE            the clock of every time shown, asked for and exported:\n"
         "                            account (the account's offset, the default), system\n"
         "                            (this computer's zone) or a zone name (Europe/Berlin),\n"
         "                            with its daylight saving; takes effect at the next start\n"
         "  units=SYSTEM              metric (default), imperial (ft, mi, mph) or nautical\n"
         "                            (m, NM, kn)\n"
         "  coord_format=FORM         deg (57.998649, the default), dm (57°59.919'N) or dms\n"
         "                            (57°59'55.1\"N)\n"
         "  user=NAME                 login offered by the login dialog\n"
         "  pass_file=PATH            its password: the first line of this file, which must be\n"
         "                            readable by its owner only (chmod 600)\n"
         "  KELVRA_PASSWORD           (environment variable) the password, when no pass_file\n"
         "  pass=PASSWORD             the password on the command line: the program blanks it\n"
         "                            from its arguments at once, but until then other users can\n"
         "                            see it with ps; prefer pass_file or KELVRA_PASSWORD\n"
         "  autologon=true            sign in automatically when user and password are given\n"
         "  autologon_timeout=SEC     countdown of the automatic sign-in (default 10)\n"
         "  map_cache_size=MB         memory tile cache in millions of bytes (0: 10 MB); it\n"
         "                            grows to hold twice the tiles of the largest map view\n"
         "  map_memory=MB             a fixed memory tile cache that does not grow\n"
         "  map_cache_max_age=DAYS    disk tiles this old are deleted at start (0: 30, at least 7)\n"
         "  quick_dump_hours=HOURS    reach of the last-messages dump (default 1)\n"
         "  notify_alarms=false       no desktop notification of new alarms\n"
         "  tile_url=PATTERN          tile server address pattern (zoom, column, row)\n"
         "  cluster_markers=false     draw every object marker on its own\n"
         "  smooth_tiles=false        a missing tile is a plain placeholder\n"
         "  track_speed_colors=false  tracks in their style's line colour\n"
         "  track_replay=false        no replay bar under the map\n"
         "  update_period=SEC         seconds between refreshes of the objects (default 60);\n"
         "                            also the longest pause between tries while the service\n"
         "                            is away\n"
         "  http_connect_timeout=SEC  connect time-out of service requests (default 10)\n"
         "  http_timeout=SEC          total time-out of service requests (default 60)\n"
         "  tls_verify=false          do not verify the server certificate\n"
         "  ca_file=PATH              trust the certificates in this file\n"
         "  log_file=PATH             also write the log console to this file\n"
         "  stall_log_ms=MS           log every time the window does not answer for longer\n"
         "                            than MS milliseconds, with the action that held it\n"
         "                            (0: off, the default)\n"
         "\n"
         "  --help     print this text and exit\n"
         "  --version  print the version and exit\n";
}

} // namespace kelvra
