#pragma once
// One checkable column of records the model does not own (the zones and the tracks lists): a row
// shows a record's text and its tick, a tick the user changes goes to the record and then to
// onChecking. TCheckList<T> is the typed face of it.

#include <QAbstractListModel>
#include <functional>
#include <vector>

#include "ui/widgets/PanelParts.h"

namespace kelvra {

class TCheckListModel : public QAbstractListModel {
  Q_OBJECT
public:
  TCheckListModel(const char *title, QObject *parent) : QAbstractListModel(parent) {
    fTitle.text = title;
  }

  void Clear();
  void RemoveRow(int row);
  // Repaints the row of a record whose text or tick changed.
  void RefreshRow(int row);

  int rowCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role) override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  bool setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) override;

protected:
  void *ItemAt(int row) const;
  int RowOfItem(const void *item) const;
  void AppendItem(void *item);
  void ResetItems(std::vector<void *> items);
  virtual QString ItemText(const void *item) const = 0;
  virtual bool ItemChecked(const void *item) const = 0;
  // A tick the user changed.
  virtual void CheckItem(void *item, bool on) = 0;

private:
  std::vector<void *> fItems; // not owned
  TColumnTitle fTitle;
};

template <class T> class TCheckList : public TCheckListModel {
public:
  // What a row shows, whether it is ticked, and how a tick changes the record.
  struct TAccess {
    std::function<QString(const T &)> text;
    std::function<bool(const T &)> checked;
    std::function<void(T &, bool on)> check;
  };
  TCheckList(const char *title, TAccess access, QObject *parent)
      : TCheckListModel(title, parent), fAccess(std::move(access)) {}

  void Load(const std::vector<T *> &records) {
    ResetItems(std::vector<void *>(records.begin(), records.end()));
  }
  void Append(T *record) { AppendItem(record); }
  void Remove(const T *record) { RemoveRow(RowOf(record)); }
  void Refresh(const T *record) { RefreshRow(RowOf(record)); }
  T *At(int row) const { return static_cast<T *>(ItemAt(row)); }
  T *At(const QModelIndex &index) const { return index.isValid() ? At(index.row()) : nullptr; }
  int RowOf(const T *record) const { return RowOfItem(record); }
  QModelIndex IndexOf(const T *record) const {
    const int row = RowOf(record);
    return row < 0 ? QModelIndex() : index(row, 0);
  }

  // After the record took a tick the user changed.
  std::function<void(T *record, bool on)> onChecking;

protected:
  QString ItemText(const void *item) const override {
    return fAccess.text(*static_cast<const T *>(item));
  }
  bool ItemChecked(const void *item) const override {
    return fAccess.checked(*static_cast<const T *>(item));
  }
  void CheckItem(void *item, bool on) override {
    T *record = static_cast<T *>(item);
    if (fAccess.check) fAccess.check(*record, on);
    if (onChecking) onChecking(record, on);
  }

private:
  TAccess fAccess;
};

} // namespace kelvra
