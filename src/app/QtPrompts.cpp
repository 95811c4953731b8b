#include "QtPrompts.h"

#include <QInputDialog>
#include <QMessageBox>

namespace quorvane::app {

int QtPrompts::messageBox(const QString& text, int style, const QString& caption) {
    QMessageBox box(m_parent);
    box.setWindowTitle(caption);
    box.setText(text);
    if (style == YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setIcon(style == Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
    const int answer = box.exec();
    if (style == YesNo)
        return answer == QMessageBox::Yes ? AnswerYes : AnswerNo;
    return AnswerOk;
}

QString QtPrompts::inputBox(const QString& prompt, const QString& caption, const QString& defaultText) {
    bool accepted = false;
    const QString answer = QInputDialog::getText(m_parent, caption, prompt, QLineEdit::Normal, defaultText, &accepted);
    return accepted ? answer : QString();
}

} // namespace quorvane::app
