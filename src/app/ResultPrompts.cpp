#include "app/ResultWindow.h"

#include "app/AppError.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace quorvane::app {

// ---- QtResultPrompts

ResultPrompts::CloseChoice QtResultPrompts::askBeforeClose(QWidget* window, const QString& workbookName) {
    QMessageBox box(QMessageBox::Question, workbookName,
                    u"Do you want to save the workbook \"%1\" before closing it?"_s.arg(workbookName),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window);
    box.setDefaultButton(QMessageBox::Save);
    // Every answer has a letter of its own, whatever the desktop's captions have (its Discard has none).
    box.button(QMessageBox::Save)->setText(u"&Save"_s);
    box.button(QMessageBox::Discard)->setText(u"&Discard"_s);
    box.button(QMessageBox::Cancel)->setText(u"&Cancel"_s);
    switch (box.exec()) {
    case QMessageBox::Save:
        return CloseChoice::Save;
    case QMessageBox::Discard:
        return CloseChoice::Discard;
    default:
        return CloseChoice::Cancel;
    }
}

ResultPrompts::CsvChoice QtResultPrompts::askCsvChoice(QWidget* window, int sheets, const QString& baseName) {
    QMessageBox box(QMessageBox::Question, window ? window->windowTitle() : QString(),
                    u"This workbook has %1 sheets; a .csv file holds one. Save the shown sheet only, or save each "
                    u"sheet as its own .csv file (%2-SheetName.csv)?"_s.arg(QString::number(sheets), baseName),
                    QMessageBox::Cancel, window);
    box.setTextFormat(Qt::PlainText);
    QPushButton* shown = box.addButton(u"&Shown Sheet Only"_s, QMessageBox::AcceptRole);
    QPushButton* each = box.addButton(u"&Each Sheet"_s, QMessageBox::AcceptRole);
    box.setDefaultButton(shown);
    box.exec();
    if (box.clickedButton() == shown)
        return CsvChoice::ShownSheet;
    return box.clickedButton() == each ? CsvChoice::EachSheet : CsvChoice::Cancel;
}

bool QtResultPrompts::askReplace(QWidget* window, const QStringList& existing) {
    constexpr qsizetype Listed = 8;
    QStringList names;
    for (qsizetype i = 0; i < existing.size() && i < Listed; ++i)
        names.append(QFileInfo(existing[i]).fileName());
    if (existing.size() > Listed)
        names.append(u"and %1 more"_s.arg(existing.size() - Listed));
    QMessageBox box(QMessageBox::Question, window ? window->windowTitle() : QString(),
                    u"These files exist already in %1:\n\n%2\n\nReplace them?"_s.arg(
                        QDir::toNativeSeparators(QFileInfo(existing.value(0)).absolutePath()), names.join(u'\n')),
                    QMessageBox::Yes | QMessageBox::No, window);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

SaveChoice QtResultPrompts::askSavePath(QWidget* window, const QString& suggestedPath) {
    QStringList filters;
    for (const office::OutputFormatInfo& format : office::outputFormats())
        filters.append(format.filter.toString());
    QString selected = filters.front();
    const QString path =
        QFileDialog::getSaveFileName(window, u"Save As"_s, suggestedPath, filters.join(u";;"_s), &selected);
    return {path, office::formatOfFilter(selected)};
}

void QtResultPrompts::showFailure(QWidget* window, const QString& text) {
    QMessageBox::warning(window, window ? window->windowTitle() : QString(), text);
}

// ---- TemporaryFolders

TemporaryFolders::TemporaryFolders() = default;
TemporaryFolders::~TemporaryFolders() = default;

QString TemporaryFolders::create() {
    // Not named like a run's staging folder, which a later run removes when it is a day old: a result
    // window may keep its copy for longer.
    auto folder = std::make_unique<QTemporaryDir>(QDir::temp().filePath(u"quorvane-copy-XXXXXX"_s));
    if (!folder->isValid())
        throw AppError(u"no temporary folder could be made: %1"_s.arg(folder->errorString()));
    m_folders.push_back(std::move(folder));
    return m_folders.back()->path();
}

void TemporaryFolders::remove(const QString& folder) {
    std::erase_if(m_folders, [&folder](const std::unique_ptr<QTemporaryDir>& made) { return made->path() == folder; });
}

} // namespace quorvane::app
