#include "app/QtDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>

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

namespace {

// The open dialog, which returns a name typed into its name field whether or not such a file exists:
// Qt's own dialog would refuse it, and the platform's cannot be told otherwise, so Qt's own shows.
class OpenDialog final : public QFileDialog {
public:
    OpenDialog(QWidget* parent, const QString& title) : QFileDialog(parent, title) {
        setOption(QFileDialog::DontUseNativeDialog);
    }

    void accept() override {
        const QStringList files = selectedFiles();
        // A folder typed or chosen is entered as always; names of files that do not exist come back.
        const bool missing = !files.isEmpty() && std::none_of(files.begin(), files.end(), [](const QString& file) {
            return QFileInfo(file).isDir();
        }) && std::any_of(files.begin(), files.end(), [](const QString& file) { return !QFileInfo::exists(file); });
        if (missing)
            QDialog::accept();
        else
            QFileDialog::accept();
    }
};

} // namespace

QString QtDialogs::showOpen(const shell::OpenFileRequest& request) {
    OpenDialog dialog(m_parent, request.title);
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
