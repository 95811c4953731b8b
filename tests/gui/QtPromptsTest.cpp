// The desktop prompts: what the boxes show and what they answer, driven while they are up, and what
// the windows behind them do meanwhile.
#include "app/QtPrompts.h"
#include "app/ResultWindow.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

// The box or dialog that is up now, if any.
QDialog* boxUp() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// Runs act on the box once it is up.
void whenUp(std::function<void(QDialog*)> act) {
    QTimer::singleShot(0, [act] {
        QDialog* box = boxUp();
        ASSERT_NE(box, nullptr);
        act(box);
    });
}

// The text as shown, without its invisible places to break.
QString withoutBreaks(QString text) {
    return text.remove(QChar(0x200B));
}

TEST(QtPromptsTest, MessageBoxesShowPlainTextWithTheProgramsLineBreaks) {
    app::QtPrompts prompts;
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QString caption;
    whenUp([&](QDialog* up) {
        auto* box = qobject_cast<QMessageBox*>(up);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        format = box->textFormat();
        caption = box->windowTitle();
        box->button(QMessageBox::No)->click();
    });
    const shell::MessageAnswer answer = prompts.messageBox(u"<b>deck</b>.pptx: damaged\r\nline two\r\rlast"_s,
                                                           shell::MessageStyle::YesNo, u"Quorvane"_s);
    EXPECT_EQ(answer, shell::MessageAnswer::No);
    EXPECT_EQ(withoutBreaks(shown), u"<b>deck</b>.pptx: damaged\nline two\n\nlast"_s);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(caption, u"Quorvane"_s);

    whenUp([](QDialog* box) { qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(prompts.messageBox(u"Proceed?"_s, shell::MessageStyle::YesNo, u"Quorvane"_s), shell::MessageAnswer::Yes);
    for (const auto& [style, icon] : {std::pair{shell::MessageStyle::Warning, QMessageBox::Warning},
                                      std::pair{shell::MessageStyle::Information, QMessageBox::Information},
                                      std::pair{shell::MessageStyle::OkOnly, QMessageBox::NoIcon}}) {
        whenUp([expected = icon](QDialog* up) {
            auto* box = qobject_cast<QMessageBox*>(up);
            EXPECT_EQ(box->icon(), expected);
            box->button(QMessageBox::Ok)->click();
        });
        EXPECT_EQ(prompts.messageBox(u"failed"_s, style, u"Application Error"_s), shell::MessageAnswer::Ok);
    }
}

TEST(QtPromptsTest, TheResultWindowsClosePromptHasALetterForEachAnswer) {
    app::QtResultPrompts prompts;
    QStringList captions;
    whenUp([&](QDialog* up) {
        auto* box = qobject_cast<QMessageBox*>(up);
        ASSERT_NE(box, nullptr);
        for (const QAbstractButton* button : box->buttons())
            captions.append(button->text());
        // The box presses the button whose letter is typed; if none does, it is cancelled, not left up.
        QTimer::singleShot(5000, box, [box] { box->reject(); });
        QTest::keyClick(box, Qt::Key_D);
    });
    EXPECT_EQ(prompts.askBeforeClose(nullptr, u"Book1"_s), app::ResultPrompts::CloseChoice::Discard);
    captions.sort();
    EXPECT_EQ(captions, (QStringList{u"&Cancel"_s, u"&Discard"_s, u"&Save"_s}));
}

TEST(QtPromptsTest, EscapeDismissesABox) {
    app::QtPrompts prompts;
    for (const auto style : {shell::MessageStyle::Warning, shell::MessageStyle::YesNo}) {
        whenUp([](QDialog* box) { QTest::keyClick(box, Qt::Key_Escape); });
        const shell::MessageAnswer answer = prompts.messageBox(u"x"_s, style, u"Quorvane"_s);
        EXPECT_EQ(answer, style == shell::MessageStyle::YesNo ? shell::MessageAnswer::No : shell::MessageAnswer::Ok);
        EXPECT_EQ(boxUp(), nullptr);
    }
}

TEST(QtPromptsTest, InputBoxesProposeTheDefaultAndCancelGivesNothing) {
    app::QtPrompts prompts;
    whenUp([](QDialog* up) {
        auto* dialog = qobject_cast<QInputDialog*>(up);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->textValue(), u"ppt*"_s);
        EXPECT_EQ(dialog->windowTitle(), u"Quorvane"_s);
        dialog->setTextValue(u"odp"_s);
        dialog->accept();
    });
    EXPECT_EQ(prompts.inputBox(u"Which extension?"_s, u"Quorvane"_s, u"ppt*"_s), u"odp"_s);
    whenUp([](QDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    EXPECT_EQ(prompts.inputBox(u"Which extension?"_s, u"Quorvane"_s, u"ppt*"_s), QString());
}

TEST(QtPromptsTest, TheWindowBehindABoxTakesNoInputAndClosesOnceTheBoxHasGone) {
    QWidget behind;
    auto* button = new QPushButton(u"Start"_s, &behind);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    behind.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&behind));
    app::QtPrompts prompts(&behind);
    bool closedWhileUp = true;
    whenUp([&](QDialog* box) {
        // Nothing blocks the window in Qt's own way, which would drop the window system's request
        // to close it.
        EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_FALSE(behind.close()); // the close button of the window behind
        closedWhileUp = !behind.isVisible();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(prompts.messageBox(u"Failure 1 of 290"_s, shell::MessageStyle::Warning, u"Application Error"_s),
              shell::MessageAnswer::Ok);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(closedWhileUp);
    EXPECT_FALSE(behind.isVisible()) << "the close request is carried out when the box has gone";

    // Without a request the window stays, and takes input again.
    behind.show();
    whenUp([](QDialog* box) { QTest::keyClick(box, Qt::Key_Escape); });
    prompts.messageBox(u"Failure 2 of 290"_s, shell::MessageStyle::Warning, u"Application Error"_s);
    EXPECT_TRUE(behind.isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

TEST(QtPromptsTest, ALongPathWrapsInsideTheBox) {
    const QString path = u"/home/user/corpus/2019/01/15/"_s + QString(60, u'd') + u"/"_s + QString(120, u'n') +
                         u".pptx: not a presentation file (not a zip archive)"_s;
    const QString text = path + u"\r\nin Travenor2017/04/05.Form1.PushButton2_Click at line 120"_s;
    // Breaks come after each "/" and inside the long names only.
    const QString shown = app::QtPrompts::displayText(text);
    EXPECT_EQ(withoutBreaks(shown), QString(text).replace(u"\r\n"_s, u"\n"_s));
    EXPECT_TRUE(shown.startsWith(u"/\u200Bhome/\u200Buser/\u200Bcorpus/\u200B2019/\u200B01/\u200B15/\u200B"_s));
    EXPECT_TRUE(shown.contains(u"(not a zip archive)"_s));

    app::QtPrompts prompts;
    whenUp([](QDialog* box) {
        auto* label = box->findChild<QLabel*>(u"qt_msgbox_label"_s);
        ASSERT_NE(label, nullptr);
        // The whole text fits the label, and the box fits the screen.
        EXPECT_LE(label->heightForWidth(label->width()), label->height());
        EXPECT_LE(box->frameGeometry().width(), box->screen()->availableGeometry().width());
        QTest::keyClick(box, Qt::Key_Escape);
    });
    prompts.messageBox(text, shell::MessageStyle::Warning, u"Application Error"_s);
}

} // namespace
