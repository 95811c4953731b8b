#pragma once

#include "shell/Dialogs.h"

#include <QStringList>

class QWidget;

namespace quorvane::app {

// The file and folder dialogs as Qt's file dialog. The result has the one shape the handlers expect:
// one path, or the folder followed by NUL and each name. The open dialog is Qt's own, so that a name
// typed into it comes back whether or not such a file exists; the folder dialog may be the platform's.
class QtDialogs final : public shell::Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    QString showOpen(const shell::OpenFileRequest& request) override;
    QString pickFolder(const QString& prompt) override;

    // Turns "Name (*.a)|*.a|All Files (*.*)|*.*|" into Qt name filters; "*.*" matches every name,
    // as it does in such filters, also names without a dot.
    static QStringList nameFilters(const QString& filter);
    // The result shape for the chosen files: "" for none, the path for one, else their common
    // folder, then NUL and each name relative to it, in the given order.
    static QString resultFor(const QStringList& files);

private:
    QWidget* m_parent;
};

} // namespace quorvane::app
