#include "app/QtPrompts.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>

namespace quorvane::app {

using namespace Qt::StringLiterals;

namespace {

// An invisible place where a line may break.
constexpr QChar BreakHere(0x200B);
// The most characters a name without spaces keeps on one line before it may break.
constexpr int LongestUnbroken = 30;

// While a box is up, every other window of the program takes no input; a request to close one of
// them is kept and carried out when this goes, after the box has closed.
class BoxGuard final : public QObject {
public:
    explicit BoxGuard(QWidget* box) : m_box(box) { QCoreApplication::instance()->installEventFilter(this); }
    BoxGuard(const BoxGuard&) = delete;
    BoxGuard& operator=(const BoxGuard&) = delete;
    ~BoxGuard() override {
        QCoreApplication::instance()->removeEventFilter(this);
        for (const QPointer<QWidget>& window : std::as_const(m_closeRequests))
            if (window)
                window->close();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() == m_box->window())
            return false;
        switch (event->type()) {
        case QEvent::Close:
            if (!widget->isWindow())
                return false;
            if (!m_closeRequests.contains(widget))
                m_closeRequests.append(widget);
            event->ignore();
            return true;
        case QEvent::WindowActivate:
            // The box stays in front of the window the user turned to.
            if (widget->isWindow())
                QMetaObject::invokeMethod(
                    m_box,
                    [box = m_box] {
                        box->raise();
                        box->activateWindow();
                    },
                    Qt::QueuedConnection);
            return false;
        case QEvent::ShortcutOverride:
            // Taken here, so that no shortcut of the window fires; the key press that follows is
            // held back below.
            event->accept();
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            event->ignore();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
        }
    }

private:
    QWidget* m_box;
    QList<QPointer<QWidget>> m_closeRequests;
};

// Shows the dialog over the other windows and returns when it has closed, or when the program is
// asked to end (every event loop ends then).
void runBox(QDialog& dialog) {
    dialog.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    const BoxGuard guard(&dialog);
    dialog.show();
    dialog.activateWindow();
    loop.exec(QEventLoop::DialogExec);
    dialog.hide();
}

} // namespace

QString QtPrompts::displayText(const QString& text) {
    QString lines = text;
    lines.replace(u"\r\n"_s, u"\n"_s);
    lines.replace(u'\r', u'\n');
    QString shown;
    shown.reserve(lines.size() + lines.size() / 8);
    int unbroken = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QChar c = lines.at(i);
        shown += c;
        unbroken = c.isSpace() ? 0 : unbroken + 1;
        const bool more = i + 1 < lines.size() && !lines.at(i + 1).isSpace();
        if (more && (c == u'/' || unbroken >= LongestUnbroken)) {
            shown += BreakHere;
            unbroken = 0;
        }
    }
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
    runBox(box);
    if (style == shell::MessageStyle::YesNo)
        return box.standardButton(box.clickedButton()) == QMessageBox::Yes ? shell::MessageAnswer::Yes
                                                                           : shell::MessageAnswer::No;
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
    runBox(dialog);
    return dialog.result() == QDialog::Accepted ? dialog.textValue() : QString();
}

std::optional<QString> QtPrompts::passwordBox(const QString& prompt, const QString& caption) {
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(caption);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setLabelText(displayText(prompt));
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    runBox(dialog);
    const bool accepted = dialog.result() == QDialog::Accepted;
    const QString answer = accepted ? dialog.textValue() : QString();
    // The field's own copy goes with the dialog; it is emptied first.
    dialog.setTextValue(QString());
    if (!accepted)
        return std::nullopt;
    return answer;
}

} // namespace quorvane::app
