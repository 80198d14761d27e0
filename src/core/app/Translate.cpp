#include "core/app/Translate.h"

#include "core/app/Common.h"
#include "core/util/LumFiles.h"
#include "core/util/LumIniFiles.h"
#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

constexpr size_t kMaxRefLen = 999;

} // namespace

TTranslation::TTranslation()
    : fInfo(std::make_unique<TLumHash>()), fStrings(std::make_unique<TLumHash>()) {}

TTranslation::~TTranslation() = default;

void TTranslation::Clear() {
  fLangFile.clear();
  fInfo->Clear();
  fStrings->Clear();
}

void TTranslation::LoadText(const std::string &text) {
  Clear();
  fSections.clear(); // sections of an earlier text must not answer for this one
  fLangFile = text;
  GetIniSection(fLangFile, "Info", fInfo.get());
  GetIniSection(fLangFile, "Strings", fStrings.get());
}

bool TTranslation::Load(const std::string &LangFn) {
  Clear();
  if (LangFn.empty()) throw ETranslation("Translation file is empty.");
  if (!FileExists(LangFn)) throw ETranslation("Translation file [" + LangFn + "] not found.");
  LoadText(ReadAsString(LangFn));
  if (GetLang().empty()) throw ETranslation("Invalid translation file [" + LangFn + "].");
  return true;
}

bool TTranslation::LoadDefaults(const std::string &LangFn) {
  if (LangFn.empty()) throw ETranslation("Defaults translation file is empty.");
  if (!FileExists(LangFn))
    throw ETranslation("Defaults translation file [" + LangFn + "] not found.");
  if (!fDefaults) fDefaults = std::make_unique<TTranslation>();
  return fDefaults->Load(LangFn);
}

std::string TTranslation::GetLang() { return fInfo->GetVal("lang"); }

TLumHash &TTranslation::GetSection(const std::string &Name) {
  const std::string key = LowerCase(Trim(Name));
  auto it = fSections.find(key);
  if (it == fSections.end()) {
    auto table = std::make_unique<TLumHash>();
    GetIniSection(fLangFile, Name, table.get());
    it = fSections.emplace(key, std::move(table)).first;
  }
  return *it->second;
}

// A reference is resolved once, wherever the value was found: the text it leads to is taken as
// it stands, even when that begins with "$" too.
std::string TTranslation::GetString(const std::string &Sig) {
  if (Sig.empty()) return {};
  std::string result = fStrings->GetVal(Sig);
  if (result.empty() && fDefaults) result = fDefaults->fStrings->GetVal(Sig);
  if (result.empty()) FatalError("GetString(" + Sig + "): no string", "");
  if (result[0] == kTranslationRef) {
    const std::string ref = result.substr(1, kMaxRefLen);
    std::string hit = fStrings->GetVal(ref);
    if (hit.empty() && fDefaults) hit = fDefaults->fStrings->GetVal(ref);
    if (!hit.empty()) result = hit;
  }
  return result;
}

std::string TTranslation::GetString(const std::string &Sig, const TFmtArgs &Args) {
  return Format(GetString(Sig), Args);
}

std::string TTranslation::Plain(const std::string &FrmName, const std::string &Sig) {
  std::string r = FrmName.empty() ? std::string() : GetSection(FrmName).GetVal(Sig);
  if (r.empty()) r = fStrings->GetVal(Sig);
  if (r.empty() && fDefaults) r = fDefaults->Plain(FrmName, Sig);
  return r;
}

std::string TTranslation::GetString(const std::string &FrmName, const std::string &Sig,
                                    const std::string &Def) {
  if (Sig.empty()) return {};
  std::string result = Plain(FrmName, Sig);
  if (result.empty()) result = Def;
  if (result.empty()) FatalError("GetString(" + FrmName + "." + Sig + "): no string", "");
  result = Trim(result);
  if (!result.empty() && result[0] == kTranslationRef) {
    std::string hit = Trim(Plain(FrmName, result.substr(1, kMaxRefLen)));
    if (!hit.empty()) result = hit;
  }
  return result;
}

std::string TTranslation::GetString(const std::string &FrmName, const std::string &Sig,
                                    const TFmtArgs &Args, const std::string &Def) {
  return Format(GetString(FrmName, Sig, Def), Args);
}

} // namespace kelvra
