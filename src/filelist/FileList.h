#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace quorvane::filelist {

// The ordered list of files to import. An entry is nothing but the text of a full path, stored as
// the adding source produced it; duplicates are allowed and nothing is checked against the disk.
// Positions count from 1. An operation on a position that does not exist throws std::out_of_range
// ("Index out of bounds"), which a guarded handler reports.
class FileList : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FileList(QObject* parent = nullptr);

    void Add(const QString& text);
    // Creates an entry at position (1 to Count() + 1); entries from there on move one place down.
    void Add(int position, const QString& text);
    // Removes the entry at position; later entries move one place up.
    void Remove(int position);
    void Clear();
    int Count() const { return static_cast<int>(m_entries.size()); }
    QString Text(int position) const;
    void SetText(int position, const QString& text);
    const QStringList& entries() const { return m_entries; }

    // QAbstractListModel: one column, the entry texts; not editable in place.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setHeaderText(const QString& text);

private:
    void checkPosition(int position, int last) const;

    QStringList m_entries;
    QString m_header;
};

} // namespace quorvane::filelist
