#pragma once
// Where the remembered service token lives: the desktop's secret store (the Secret Service of
// GNOME Keyring or KWallet, through QtKeychain) when one answers, otherwise [Login] Token of the
// settings file (mode 0600). A token found in the file is moved to the store at the next save.
// Calls wait for the store's answer (a D-Bus round trip) in a local event loop that takes no
// user input.

#include <functional>
#include <string>

namespace kelvra {

class TLumIniFile;

class TTokenStore {
public:
  using TLog = std::function<void(const std::string &line)>;
  // ini: the settings file, not owned, may be null; service names the entry in the store.
  TTokenStore(TLumIniFile *ini, TLog log, std::string service = "KelvraMonitor");

  // The remembered token, "" when none. A token in the file wins over the store's: the file is
  // only written while the store does not answer, so its token is the newer one.
  std::string Load();
  // Remembers the token: in the store, then the file's copy is blanked; in the file when the
  // store fails.
  void Save(const std::string &token);
  // Forgets the token in both places.
  void Clear();
  // The next save: a token still in the settings file goes to the store when the store answers.
  void MoveFromFile();

  // After the first call: whether the store answered.
  bool UsesSecretStore() const { return fState == TState::Store; }

private:
  enum class TState { Unknown, Store, File };
  struct TResult {
    bool ok = false;        // the store did what was asked (a missing entry counts as done)
    bool found = false;     // read: the entry exists
    std::string text;       // read: the token; failure: the store's error
  };
  TResult Run(int op, const std::string &token);
  void Note(const TResult &r); // the log line when the place changes
  std::string FileToken() const;
  void WriteFile(const std::string &token);

  TLumIniFile *fIni; // not owned
  TLog fLog;
  std::string fService;
  TState fState = TState::Unknown;
};

} // namespace kelvra
