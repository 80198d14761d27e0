#include "ui/widgets/CheckListModel.h"

#include <algorithm>

namespace kelvra {

void TCheckListModel::Clear() { ResetItems({}); }

void TCheckListModel::RemoveRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  beginRemoveRows({}, row, row);
  fItems.erase(fItems.begin() + row);
  endRemoveRows();
}

void TCheckListModel::RefreshRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  const QModelIndex i = index(row, 0);
  emit dataChanged(i, i);
}

void *TCheckListModel::ItemAt(int row) const {
  return row >= 0 && row < rowCount() ? fItems[static_cast<size_t>(row)] : nullptr;
}

int TCheckListModel::RowOfItem(const void *item) const {
  const auto it = std::find(fItems.begin(), fItems.end(), item);
  return it == fItems.end() ? -1 : static_cast<int>(it - fItems.begin());
}

void TCheckListModel::AppendItem(void *item) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  fItems.push_back(item);
  endInsertRows();
}

void TCheckListModel::ResetItems(std::vector<void *> items) {
  beginResetModel();
  fItems = std::move(items);
  fItems.erase(std::remove(fItems.begin(), fItems.end(), nullptr), fItems.end());
  endResetModel();
}

int TCheckListModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(fItems.size());
}

QVariant TCheckListModel::data(const QModelIndex &index, int role) const {
  const void *item = ItemAt(index.row());
  if (!item) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return ItemText(item);
  if (role == Qt::CheckStateRole) return ItemChecked(item) ? Qt::Checked : Qt::Unchecked;
  return {};
}

bool TCheckListModel::setData(const QModelIndex &index, const QVariant &value, int role) {
  void *item = ItemAt(index.row());
  if (!item || role != Qt::CheckStateRole) return false;
  CheckItem(item, value.toInt() == Qt::Checked);
  emit dataChanged(index, index, {Qt::CheckStateRole});
  return true;
}

Qt::ItemFlags TCheckListModel::flags(const QModelIndex &index) const {
  if (!ItemAt(index.row())) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

QVariant TCheckListModel::headerData(int section, Qt::Orientation o, int role) const {
  return fTitle.Get(section, o, role);
}

bool TCheckListModel::setHeaderData(int section, Qt::Orientation o, const QVariant &value,
                                    int role) {
  if (!fTitle.Set(section, o, value, role)) return false;
  emit headerDataChanged(o, 0, 0);
  return true;
}

} // namespace kelvra
