#pragma once
// A read-only text view that behaves like a terminal: text goes onto the last line, a CR starts
// a new one, only the newest lines are kept and the view stays at the end. It can also append
// everything it shows to a log file (lmWriteLog, one console line per text line), or instead
// follow a log file that another writer fills (lmLogTail).

#include <QPlainTextEdit>
#include <memory>
#include <string>

namespace kelvra {

class TLumLogTail;

enum class TLumTtyBoxLogMode { lmDisabled = 0, lmWriteLog = 1, lmLogTail = 2 };

class TLumTtyBox : public QPlainTextEdit {
  Q_OBJECT

public:
  explicit TLumTtyBox(QWidget *parent = nullptr);
  ~TLumTtyBox() override;

  void PutString(const std::string &s);
  void PutString(const char *s) { PutString(std::string(s)); }
  void PutString(const QString &s) { PutString(s.toStdString()); }
  void PutLine(const std::string &s) { PutString(s + "\r"); }
  void PutChar(char c) { PutString(std::string(1, c)); }
  // Caret to the character position (negative: the very end), scrolled into view.
  void ScrollTo(int position);
  // Deletes the log file; the shown text stays.
  void ClearLog();
  // Shows the last LinesStored lines of the file (the log file when empty); a missing or
  // unreadable file leaves the view as it was.
  void LoadLines(const std::string &fileName = {});

  int LinesStored() const { return FLinesStored; }
  void SetLinesStored(int n) { FLinesStored = n < 1 ? 1 : n; }
  TLumTtyBoxLogMode LogMode() const { return FLogMode; }
  void SetLogMode(TLumTtyBoxLogMode mode);
  // An empty name means "TtyLog.txt".
  std::string LogFileName() const { return FLogFileName; }
  void SetLogFileName(const std::string &name);
  int MaxLogSize() const { return FMaxLogSize; }
  void SetMaxLogSize(int n) { FMaxLogSize = n; }

  // The shown lines, for callers that read the console back.
  int LineCount() const;
  QString Line(int index) const;
  // The follower of lmLogTail, null in the other modes.
  TLumLogTail *LogTail() const { return FLogTail.get(); }

private:
  void TakeTail();

  int FLinesStored = 1000;
  TLumTtyBoxLogMode FLogMode = TLumTtyBoxLogMode::lmDisabled;
  std::string FLogFileName = "TtyLog.txt";
  std::unique_ptr<TLumLogTail> FLogTail; // present only in lmLogTail
  int FMaxLogSize = 262144;
  int FLinesCounter = 0;
  bool FTailEndedWithCr = false; // the last followed byte was a CR
  std::string FTailCarry;        // the start of a character cut by the last read
};

} // namespace kelvra
