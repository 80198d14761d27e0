#pragma once
// "Trap Info": shows one trap (alarm rule), creates or changes it. Every editable field has a
// change lamp; only the fields whose lamp the user lit are reported, so that an edit sends
// only what changed. Subject and message show their {{...}} placeholders bold in navy.

#include <map>
#include <memory>
#include <string>

#include "core/model/TrapInfo.h"
#include "core/util/LumHash.h"
#include "ui/widgets/DialogParts.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kelvra {

class TKelvraClient;
class TLumLed;

class TTrapEditForm : public TSendingDialog {
  Q_OBJECT
public:
  explicit TTrapEditForm(QWidget *parent = nullptr);
  ~TTrapEditForm() override;

  // Edits aTrapInfo (a copy of it), or a new trap of object aObjId when it is null. True when
  // confirmed with "Ok" and at least one field changed (and, with Send, the service accepted it).
  // Throws without a client.
  bool EditTrap(TKelvraClient *aClient, const TTrapInfo *aTrapInfo, int aObjId);
  // Shows the trap with every group disabled.
  void ShowTrap(TKelvraClient *aClient, const TTrapInfo *aTrapInfo);
  // Fills the controls without showing (EditTrap and ShowTrap do this first).
  void Prepare(TKelvraClient *aClient, const TTrapInfo *aTrapInfo, int aObjId, bool show);

  bool GetModified() const;
  const TLumHash &GetFields();
  const TTrapInfo &TrapInfo() const { return *fTrapInfo; }
  // Inserts the chosen placeholder item at the caret of the box that had the focus last.
  void InsertField(const QString &item);
  // The runs shown highlighted in a box: (start, length) pairs.
  std::vector<std::pair<int, int>> HighlightRuns(const QLineEdit *box) const;

protected:
  bool eventFilter(QObject *o, QEvent *e) override;

private:
  void AssignTrapInfo();
  void BuildTarget();
  void BuildCondition();
  void Light(const std::string &key);
  void Highlight(QLineEdit *box);
  static void FillIdList(QComboBox *box, const QString &items);
  static int ChosenId(const QComboBox *box);
  static void ChooseId(QComboBox *box, int id);

  TKelvraClient *fClient = nullptr;
  std::unique_ptr<TTrapInfo> fSrcTrapInfo;
  std::unique_ptr<TTrapInfo> fTrapInfo;
  std::map<std::string, TLumLed *> fLedList;
  TLumHash fFields;
  bool fHightlightBusy = false;
  bool fSubjFocused = false;
  bool fLoading = false;
  std::map<const QLineEdit *, std::vector<std::pair<int, int>>> fRuns;

  QGroupBox *GbObject, *GbTarget, *GbAlarm, *GbMessage;
  QComboBox *CbObject, *CbTargetType, *CbTarget, *CbCondition, *CbMsgFields;
  QLabel *LblTarget, *LblVal;
  QLineEdit *EdVal, *EdSubj, *EdMsg;
  QCheckBox *CbIsAlarm, *CbManualAccept, *CbSendToEmail, *CbSendToTelegram;
  QPushButton *ButOk, *ButCancel;
};

} // namespace kelvra
