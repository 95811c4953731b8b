// The desktop prompts: what the boxes show and what they answer, driven while they are up.
#include "app/QtPrompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

// Runs act on the modal dialog once it is up.
void whenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

TEST(QtPromptsTest, MessageBoxesShowPlainTextWithTheProgramsLineBreaks) {
    app::QtPrompts prompts;
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QString caption;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        format = box->textFormat();
        caption = box->windowTitle();
        box->button(QMessageBox::No)->click();
    });
    const shell::MessageAnswer answer = prompts.messageBox(u"<b>deck</b>.pptx: damaged\r\nline two\r\rlast"_s,
                                                           shell::MessageStyle::YesNo, u"Quorvane"_s);
    EXPECT_EQ(answer, shell::MessageAnswer::No);
    EXPECT_EQ(shown, u"<b>deck</b>.pptx: damaged\nline two\n\nlast"_s);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(caption, u"Quorvane"_s);

    whenModal([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(prompts.messageBox(u"Proceed?"_s, shell::MessageStyle::YesNo, u"Quorvane"_s), shell::MessageAnswer::Yes);
    whenModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(prompts.messageBox(u"failed"_s, shell::MessageStyle::Warning, u"Application Error"_s),
              shell::MessageAnswer::Ok);
}

TEST(QtPromptsTest, InputBoxesProposeTheDefaultAndCancelGivesNothing) {
    app::QtPrompts prompts;
    whenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->textValue(), u"ppt*"_s);
        EXPECT_EQ(dialog->windowTitle(), u"Quorvane"_s);
        dialog->setTextValue(u"odp"_s);
        dialog->accept();
    });
    EXPECT_EQ(prompts.inputBox(u"Which extension?"_s, u"Quorvane"_s, u"ppt*"_s), u"odp"_s);
    whenModal([](QWidget* modal) { qobject_cast<QInputDialog*>(modal)->reject(); });
    EXPECT_EQ(prompts.inputBox(u"Which extension?"_s, u"Quorvane"_s, u"ppt*"_s), QString());
}

} // namespace
