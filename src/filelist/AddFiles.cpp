#include "filelist/AddFiles.h"

#include "shell/Guard.h"
#include "shell/Locations.h"

namespace quorvane::filelist {

using namespace Qt::StringLiterals;

QString tooManyFilesMessage() {
    return u"You've selected too many files to add."_s + u"\r\r"_s + u"Please try adding via the \"Add All\" button."_s;
}

void PushButton1_Click(shell::Services& services, FileList& list) {
    shell::Guard g(services.errors, shell::location::PushButton1Click);
    shell::OpenFileRequest request;
    QString fileName;
    bool tooMany = false;
    g.run(100, [&] { fileName.clear(); });
    g.run(102, [&] { request.multiSelect = true; });
    g.run(104, [&] { request.title = QString::fromUtf16(AddFilesTitle); });
    g.run(106, [&] { request.filter = QString::fromUtf16(AddFilesFilter); });
    g.run(108, [&] {
        const QString result = services.dialogs.showOpen(request);
        // The selection did not fit the result buffer: the dialog's own failure, answered with a
        // message of this handler rather than the error report.
        if (result.size() > DialogResultLimit)
            tooMany = true;
        else
            fileName = result;
    });
    if (tooMany) {
        services.prompts.messageBox(tooManyFilesMessage(), shell::MessageStyle::OkOnly, services.applicationTitle);
        return;
    }
    if (g.test(110, [&] { return fileName.isEmpty(); }))
        return;
    QStringList parts;
    g.assign(112, parts, [&] { return fileName.split(QChar(u'\0')); });
    if (g.test(114, [&] { return parts.size() - 1 == 0; })) {
        g.run(116, [&] { list.Add(parts.value(0)); });
        return; // 118
    }
    for (qsizetype i = 1; i < parts.size(); ++i) { // 120
        QString path;
        g.assign(122, path, [&] { return parts.at(0) + u'/' + parts.at(i); });
        // One left-to-right pass over non-overlapping pairs: "///" becomes "//", as it always did.
        g.run(124, [&] { path.replace(u"//"_s, u"/"_s); });
        g.run(126, [&] { list.Add(path); });
    } // 128
}

} // namespace quorvane::filelist
