#pragma once
// The translation layer: one language file chosen at start-up, with "defaults.txt" behind it
// for every text the language lacks. Windows are translated by their name (the section of the
// file), and code asks for texts by key: strictly (a missing text ends the program through
// FatalError) or leniently, with a default.

#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/util/LumFormat.h"
#include "core/util/LumHash.h"

namespace kelvra {

// Raised by Load and LoadDefaults with the message the start-up shows after "Load translation:".
class ETranslation : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TTranslation {
public:
  TTranslation();
  ~TTranslation();
  TTranslation(const TTranslation &) = delete;
  TTranslation &operator=(const TTranslation &) = delete;

  // Empties the file text, "Info" and "Strings" (window sections already parsed stay).
  void Clear();
  // Both throw ETranslation on failure and return true otherwise.
  bool Load(const std::string &LangFn);
  bool LoadDefaults(const std::string &LangFn);
  // Takes the text of a translation file directly (for files built in memory).
  void LoadText(const std::string &text);

  std::string GetLang();
  TTranslation *Defaults() const { return fDefaults.get(); }

  // Strict lookup in "Strings": a text found nowhere ends the program.
  std::string GetString(const std::string &Sig);
  std::string GetString(const std::string &Sig, const TFmtArgs &Args);
  // Window-aware lookup: the window's own section, then "Strings", then the defaults, then Def.
  // Only an empty Def with nothing found ends the program. The result is trimmed.
  std::string GetString(const std::string &FrmName, const std::string &Sig, const std::string &Def);
  std::string GetString(const std::string &FrmName, const std::string &Sig, const TFmtArgs &Args,
                        const std::string &Def);

  // The items of a section, parsed on first use and kept.
  TLumHash &GetSection(const std::string &Name);

private:
  // The window's section, then "Strings", then the same in the defaults; no "$" resolving.
  std::string Plain(const std::string &FrmName, const std::string &Sig);

  std::unique_ptr<TTranslation> fDefaults; // only the top-level object has one
  std::string fLangFile;
  std::unique_ptr<TLumHash> fInfo;
  std::unique_ptr<TLumHash> fStrings;
  std::map<std::string, std::unique_ptr<TLumHash>> fSections; // by lower-cased name
};

// Values that refer to another item start with this character.
inline constexpr char kTranslationRef = '$';

} // namespace kelvra
