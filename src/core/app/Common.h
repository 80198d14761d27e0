#pragma once
// The program's spine before the first window and after the last: its folders, the merged
// configuration, the translation, and the way a fatal start-up failure ends the process.
// Globals live from Init to Done; only the user-interface thread touches them.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/Translate.h"
#include "core/tracks/AddressCache.h"
#include "core/util/LumHash.h"
#include "core/util/LumIniFiles.h"

namespace kelvra {

extern std::string ExeName;     // full path of the running program file
extern std::string HomeDir;     // with a trailing "/": see Init
extern std::string PhotoDir;    // HomeDir + "PhotoCache/"
extern std::string IniFileName; // the settings file
extern std::unique_ptr<TLumIniFile> IniFile;
extern std::string CfgFileName;          // the configuration file, never written
extern std::unique_ptr<TLumHash> Config; // file, then [Config] of the settings file, then arguments
extern double SystemTimeZone;            // standard-time offset from UTC in days, east positive
extern std::string SystemLanguage;       // the locale name, e.g. "en_US"; empty when none
extern int UserLevel;                    // 0, 5 or 9 from "user_level"
extern std::string TranslateDir;         // the folder of the translation files, with a trailing "/"
extern std::unique_ptr<TLumHintHash> Translates; // base name -> language name, hint = full path
extern std::unique_ptr<TTranslation> Translation;
extern std::string Language; // base name of the translation file in use
// What the start-up refused without stopping (a password file others may read); the program
// writes these to its log.
extern std::vector<std::string> StartupWarnings;
// Resolved addresses, opened by Init ("Load address cache:" on failure), saved and freed by Done.
extern std::unique_ptr<TAddressCache> AddressCache;

// Builds every global. exeName empty means the running program; args are the command-line
// arguments after the program name, each one configuration line.
void Init(const std::string &exeName, const std::vector<std::string> &args);
// Rebuilds Config from its three layers. The password ("pass") comes from the command line, else
// from "pass_file=PATH", else from the environment variable KELVRA_PASSWORD as Init found it.
void ReloadConfig();
// The program's units from "units" and "coord_format", with the translated symbols (section
// "Units") once the translation is loaded. ReloadConfig calls it.
void ApplyDisplayUnits();

// Blanks every "pass=" argument in the process's own argument memory, so that other users never
// see the password through ps or /proc/PID/cmdline, and returns those arguments as they were.
// Called first thing in main, before anything else reads argv.
std::vector<std::string> TakeSecretArgs(int argc, char **argv);
// The first line of a password file. The file must be a regular file of the user's own that
// nobody else may read or write, and small; otherwise "" with `error` saying why.
std::string ReadPasswordFile(const std::string &path, std::string &error);
// Frees what Init built; paths are cleared.
void Done();

// Receives the text of a fatal error (Msg, a CR and Detail, trimmed). The program entry shows it
// in a box; tests may throw from it to get control back. When it returns the process exits.
using TFatalErrorHandler = std::function<void(const std::string &text)>;
void SetFatalErrorHandler(TFatalErrorHandler handler);
// Prints the text to standard error, calls the handler and ends the process with exit code 99.
[[noreturn]] void FatalError(const std::string &Msg, const std::string &Detail);
inline constexpr int kFatalExitCode = 99;

// Pieces of Init, exposed so they can be checked on their own.
int UserLevelOf(const std::string &value);
// The locale name from LC_ALL, LC_MESSAGES or LANG without encoding and modifier; "" for C/POSIX.
std::string LocaleName();
double StandardTimeZone();
// The translations to try for a wanted name: it, its language part before "_" or "-", then "en".
std::vector<std::string> LanguageCandidates(const std::string &wanted);
// The files of a folder offered as languages (base name -> "lang" of Info, hint = path). The
// ".txt" files not offered (no "lang" of Info within their first 100 bytes) go to *refused.
void ListTranslations(const std::string &dir, TLumHintHash &list,
                      std::vector<std::string> *refused = nullptr);

// The keys the program reads from Config, with their meaning, for "--help".
std::string ConfigKeysHelp();

} // namespace kelvra
