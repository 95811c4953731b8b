#include "app/QtDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace quorvane::app {

using namespace Qt::StringLiterals;

QStringList QtDialogs::nameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == u"*.*")
                pattern = u"*"_s;
        }
        // The dialog reads the patterns from the last parentheses; the description stays what the
        // caller wrote (the details are hidden when the dialog shows the filters).
        filters.append(parts.at(i) + u" ("_s + patterns.join(u' ') + u')');
    }
    return filters;
}

QString QtDialogs::resultFor(const QStringList& files) {
    if (files.isEmpty())
        return {};
    if (files.size() == 1)
        return files.first();
    // Normally all names come from one folder; a typed relative path can reach into another, so
    // the folder part is the deepest folder that holds them all.
    const auto inside = [](const QString& path, const QString& folder) {
        return folder == u"/" || path == folder || path.startsWith(folder + u'/');
    };
    QString folder = QFileInfo(files.first()).absolutePath();
    for (const QString& file : files) {
        const QString own = QFileInfo(file).absolutePath();
        while (!inside(own, folder))
            folder = QFileInfo(folder).absolutePath();
    }
    QString result = folder;
    const QDir dir(folder);
    for (const QString& file : files)
        result += QChar(u'\0') + dir.relativeFilePath(file);
    return result;
}

QString QtDialogs::showOpen(const shell::OpenFileRequest& request) {
    QFileDialog dialog(m_parent, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(nameFilters(request.filter));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return resultFor(dialog.selectedFiles());
}

QString QtDialogs::pickFolder(const QString& prompt) {
    return QFileDialog::getExistingDirectory(m_parent, prompt);
}

} // namespace quorvane::app
