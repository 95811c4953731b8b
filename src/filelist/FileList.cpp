#include "filelist/FileList.h"

#include <stdexcept>

namespace quorvane::filelist {

FileList::FileList(QObject* parent) : QAbstractListModel(parent) {}

void FileList::checkPosition(int position, int last) const {
    if (position < 1 || position > last)
        throw std::out_of_range("Index out of bounds");
}

void FileList::Add(const QString& text) {
    Add(Count() + 1, text);
}

void FileList::Add(int position, const QString& text) {
    checkPosition(position, Count() + 1);
    beginInsertRows({}, position - 1, position - 1);
    m_entries.insert(position - 1, text);
    endInsertRows();
}

void FileList::Remove(int position) {
    checkPosition(position, Count());
    beginRemoveRows({}, position - 1, position - 1);
    m_entries.removeAt(position - 1);
    endRemoveRows();
}

void FileList::Clear() {
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

QString FileList::Text(int position) const {
    checkPosition(position, Count());
    return m_entries.at(position - 1);
}

void FileList::SetText(int position, const QString& text) {
    checkPosition(position, Count());
    m_entries[position - 1] = text;
    const QModelIndex changed = index(position - 1);
    Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
}

int FileList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant FileList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_entries.at(index.row());
    return {};
}

QVariant FileList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_header;
    return {};
}

void FileList::setHeaderText(const QString& text) {
    m_header = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 0);
}

} // namespace quorvane::filelist
