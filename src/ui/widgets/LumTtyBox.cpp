#include "ui/widgets/LumTtyBox.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <cstdio>

#include "core/util/LumFiles.h"
#include "core/util/LumStrings.h"
#include "ui/widgets/LumLogTail.h"

namespace kelvra {

namespace {

std::string ToFileLines(const std::string &s) {
  return ReplaceSubstr(ReplaceSubstr(s, "\r\n", "\r"), "\r", "\n");
}

// Bytes at the end that start a UTF-8 sequence not yet complete.
size_t IncompleteUtf8Tail(const std::string &s) {
  size_t n = 0;
  while (n < s.size() && n < 4 && (static_cast<unsigned char>(s[s.size() - 1 - n]) & 0xC0) == 0x80)
    ++n;
  if (n >= s.size()) return 0;
  const unsigned char lead = static_cast<unsigned char>(s[s.size() - 1 - n]);
  size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return need > n + 1 ? n + 1 : 0;
}

} // namespace

TLumTtyBox::TLumTtyBox(QWidget *parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTabChangesFocus(true); // Enter is taken, Tab moves on
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setUndoRedoEnabled(false);
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPointSize(10);
  setFont(f);
}

// The follower is joined before the widget goes, so no queued hand-over can outlive it.
TLumTtyBox::~TLumTtyBox() { FLogTail.reset(); }

void TLumTtyBox::PutString(const std::string &s) {
  // A CR LF is one line break; a lone LF is dropped.
  std::string text;
  text.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\n') continue;
    text += s[i];
  }

  const bool wasEnabled = updatesEnabled();
  setUpdatesEnabled(false);
  QTextCursor c(document());
  c.movePosition(QTextCursor::End);
  c.beginEditBlock();
  size_t start = 0;
  for (;;) {
    size_t cr = text.find('\r', start);
    std::string piece =
        text.substr(start, cr == std::string::npos ? std::string::npos : cr - start);
    if (!piece.empty()) c.insertText(QString::fromStdString(piece));
    if (cr == std::string::npos) break;
    c.insertBlock();
    // Old lines go in batches of at least 100, so a busy log does not rebuild on every line.
    if (document()->blockCount() > FLinesStored + 99) {
      QTextCursor head(document());
      head.movePosition(QTextCursor::Start);
      head.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor,
                        document()->blockCount() - FLinesStored);
      head.removeSelectedText();
    }
    start = cr + 1;
  }
  c.endEditBlock();
  setUpdatesEnabled(wasEnabled);
  ScrollTo(-1);

  if (FLogMode == TLumTtyBoxLogMode::lmWriteLog) {
    // The file gets the text as shown, one console line per file line; lines of a text file
    // end with LF here, so a lone CR (the console's line break) is written as LF.
    // A failed write is ignored; a new log file is readable by its owner only (it may hold
    // addresses, object names and tokens).
    WriteString(LogFileName(), ToFileLines(s), false, false, 0600);
    if (++FLinesCounter >= 100) {
      FLinesCounter = 0;
      LogRotate(LogFileName(), FMaxLogSize);
    }
  }
}

void TLumTtyBox::ScrollTo(int position) {
  QTextCursor c = textCursor();
  if (position < 0)
    c.movePosition(QTextCursor::End);
  else
    c.setPosition(std::min(position, document()->characterCount() - 1));
  setTextCursor(c);
  ensureCursorVisible();
}

void TLumTtyBox::ClearLog() { std::remove(LogFileName().c_str()); }

void TLumTtyBox::LoadLines(const std::string &fileName) {
  std::string text = ReadTailStrings(fileName.empty() ? LogFileName() : fileName, FLinesStored);
  if (text.empty()) return;
  setPlainText(QString::fromStdString(text).replace('\r', '\n'));
  ScrollTo(-1);
}

void TLumTtyBox::SetLogMode(TLumTtyBoxLogMode mode) {
  if (mode == FLogMode) return;
  FLogMode = mode;
  FLogTail.reset();
  if (mode == TLumTtyBoxLogMode::lmLogTail) {
    LoadLines();
    // The worker only posts a wake-up; the bytes are taken here, on the window's thread.
    FLogTail = std::make_unique<TLumLogTail>(LogFileName(), [this](uint16_t, int) {
      QMetaObject::invokeMethod(
          this, [this] { TakeTail(); }, Qt::QueuedConnection);
    });
  }
}

void TLumTtyBox::TakeTail() {
  if (!FLogTail) return;
  std::string bytes = FLogTail->TakeTail();
  if (bytes.empty()) return;
  // Files followed here end their lines with LF, CR LF or CR; the console breaks lines at CR
  // only. A CR LF split between two reads is still one break.
  std::string text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    if (c == '\n') {
      if (!FTailEndedWithCr) text += '\r';
    } else {
      text += c;
    }
    FTailEndedWithCr = c == '\r';
  }
  // A character cut by the read is kept for the next piece, so it is not shown broken.
  const size_t keep = IncompleteUtf8Tail(text);
  text = FTailCarry + text;
  FTailCarry = text.substr(text.size() - keep);
  text.resize(text.size() - keep);
  PutString(text);
}

void TLumTtyBox::SetLogFileName(const std::string &name) {
  std::string n = name.empty() ? std::string("TtyLog.txt") : name;
  if (n == FLogFileName) return;
  FLogFileName = n;
  if (FLogTail) FLogTail->SetFileName(n);
}

int TLumTtyBox::LineCount() const { return document()->blockCount(); }

QString TLumTtyBox::Line(int index) const { return document()->findBlockByNumber(index).text(); }

} // namespace kelvra
