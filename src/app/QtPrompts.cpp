#include "app/QtPrompts.h"

#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

namespace quorvane::app {

using namespace Qt::StringLiterals;

QString QtPrompts::displayText(const QString& text) {
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    shown.replace(u'\r', u'\n');
    return shown;
}

shell::MessageAnswer QtPrompts::messageBox(const QString& text, shell::MessageStyle style, const QString& caption) {
    QMessageBox box(m_parent);
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(displayText(text));
    if (style == shell::MessageStyle::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setIcon(style == shell::MessageStyle::Warning       ? QMessageBox::Warning
                : style == shell::MessageStyle::Information ? QMessageBox::Information
                                                            : QMessageBox::NoIcon);
    const int answer = box.exec();
    if (style == shell::MessageStyle::YesNo)
        return answer == QMessageBox::Yes ? shell::MessageAnswer::Yes : shell::MessageAnswer::No;
    return shell::MessageAnswer::Ok;
}

QString QtPrompts::inputBox(const QString& prompt, const QString& caption, const QString& defaultText) {
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(caption);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(displayText(prompt));
    dialog.setTextValue(defaultText);
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

} // namespace quorvane::app
