// The main window: its controls and layout, start-up, the pointer rules, Text1's setting, the
// start button and closing.
#include "MainWindowFixture.h"

#include "app/FileListView.h"
#include "app/QtPrompts.h"
#include "app/TextProgressBar.h"
#include "shell/ErrorReport.h"
#include "shell/Product.h"
#include "shell/QtEventPump.h"
#include "support/PackageBuilder.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <utility>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace quorvane::test {

void MainWindowFixture::writeBeside(const QString& relative, const QByteArray& bytes) {
    const QString path = programFolder.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons, Qt::MouseButton button,
               std::optional<QPoint> global) {
    const QPoint screen = global.value_or(widget->mapToGlobal(pos));
    QMouseEvent event(type, QPointF(pos), QPointF(widget->window()->mapFromGlobal(screen)), QPointF(screen), button,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace quorvane::test

namespace {

using test::sendMouse;

// A Windows cursor file: Qt writes the picture as an icon, the header then says "cursor" and the
// directory entry carries the hotspot.
QByteArray cursorFile(int hotX, int hotY) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "ico"));
    bytes[2] = 2;
    bytes[10] = static_cast<char>(hotX);
    bytes[11] = 0;
    bytes[12] = static_cast<char>(hotY);
    bytes[13] = 0;
    return bytes;
}

class Form1Test : public test::MainWindowFixture {};

// The contrast ratio of two colours as WCAG 2 defines it, from 1 to 21.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark colour scheme as desktop tools ship it: light text on dark greys.
QPalette darkPalette() {
    QPalette dark;
    const std::pair<QPalette::ColorRole, QColor> colours[] = {
        {QPalette::Window, QColor(0x22, 0x20, 0x20)},    {QPalette::WindowText, Qt::white},
        {QPalette::Base, QColor(0x3d, 0x3d, 0x3d)},      {QPalette::Text, Qt::white},
        {QPalette::Button, QColor(0x42, 0x42, 0x45)},    {QPalette::ButtonText, Qt::white},
        {QPalette::Highlight, QColor(0x12, 0x60, 0x8a)}, {QPalette::HighlightedText, QColor(0xf9, 0xf9, 0xf9)},
    };
    for (const auto& [role, colour] : colours)
        dark.setColor(role, colour);
    return dark;
}

// ---- Controls and layout ----

TEST_F(Form1Test, EveryControlHasItsNameKindCaptionAndPlace) {
    ASSERT_TRUE(create());
    ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0); // 15 twips per pixel
    struct Expected {
        const char16_t* name;
        const char* kind;
        QString caption;
        QRect twips;
    };
    const Expected expected[] = {
        {u"PushButton5", "QPushButton", u"Move Down"_s, {7080, 1440, 840, 1200}},
        {u"PushButton3", "QPushButton", u"Move Up"_s, {7080, 120, 840, 1200}},
        {u"Frame2", "QGroupBox", u"Import Options"_s, {120, 3750, 7800, 1035}},
        {u"Option6",
         "QRadioButton",
         u"Import all PowerPoint files to individual sheets and name sheets by file"_s,
         {240, 650, 6615, 255}},
        {u"Option5", "QRadioButton", u"Import all PowerPoint files to a single sheet"_s, {240, 300, 5655, 255}},
        {u"Frame1", "QGroupBox", u"Column Separation Options"_s, {120, 4830, 7800, 2100}},
        {u"Option7",
         "QRadioButton",
         u"Create a new column in Excel for every tab in PowerPoint file"_s,
         {240, 1700, 5715, 255}},
        {u"Option1",
         "QRadioButton",
         u"Do not create new columns in Excel by specific character"_s,
         {240, 300, 5655, 255}},
        {u"Option2",
         "QRadioButton",
         u"Create a new column in Excel for every space in PowerPoint file"_s,
         {240, 650, 6615, 255}},
        {u"Option3",
         "QRadioButton",
         u"Create a new column in Excel for every comma in PowerPoint file"_s,
         {240, 1000, 6615, 255}},
        {u"Option4",
         "QRadioButton",
         u"Create a new column in Excel for every X in PowerPoint file"_s,
         {240, 1350, 5355, 255}},
        {u"Text1", "QLineEdit", QString(), {5640, 1305, 1455, 330}},
        {u"ListView1", "QTreeView", QString(), {120, 120, 6850, 2535}},
        {u"ProgressBar1", "QProgressBar", u"Progress Bar"_s, {120, 7570, 7800, 375}},
        {u"PushButton1", "QPushButton", u"Add PowerPoint File(s)"_s, {120, 2760, 3840, 405}},
        {u"PushButton4", "QPushButton", u"Add All File(s) In Folder"_s, {4080, 2760, 3840, 405}},
        {u"PushButton2", "QPushButton", u"Start Importing PowerPoint Files"_s, {120, 7050, 7800, 405}},
        {u"PushButton6", "QPushButton", u"Clear List"_s, {120, 3270, 3840, 405}},
        {u"PushButton9", "QPushButton", u"Load Sample/Example Files"_s, {4080, 3270, 3840, 405}},
    };
    for (const Expected& e : expected) {
        const QString name = QString::fromUtf16(e.name);
        SCOPED_TRACE(name.toStdString());
        QWidget* widget = form->findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(e.kind));
        const QRect& t = e.twips;
        const auto px = [](int twips) { return qRound(twips / 15.0); };
        EXPECT_EQ(widget->geometry(), QRect(px(t.x()), px(t.y()), px(t.width()), px(t.height())));
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            // A mnemonic only underlines a letter of the caption.
            EXPECT_EQ(QString(button->text()).remove(u'&'), e.caption);
        } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            EXPECT_EQ(frame->title(), e.caption);
        } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
            EXPECT_EQ(bar->text(), e.caption);
        }
        // Push buttons in the larger face, everything else in the window's.
        const bool push = qobject_cast<QPushButton*>(widget) != nullptr;
        EXPECT_EQ(widget->font().family(), u"Arial"_s);
        EXPECT_TRUE(widget->font().bold());
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), push ? 11.25 : 9.0);
    }
    // Inside the frames, and created in the order of the layout.
    EXPECT_EQ(control<QWidget>(u"Option6")->parentWidget(), control<QWidget>(u"Frame2"));
    EXPECT_EQ(control<QWidget>(u"Text1")->parentWidget(), control<QWidget>(u"Frame1"));
    // (They stand on the window's page, which a scroll area shows.)
    QStringList order;
    for (QObject* child : control<QWidget>(u"Page")->children())
        if (child->isWidgetType())
            order.append(child->objectName());
    EXPECT_EQ(order, (QStringList{u"PushButton5"_s, u"PushButton3"_s, u"Frame2"_s, u"Frame1"_s, u"ListView1"_s,
                                  u"ProgressBar1"_s, u"PushButton1"_s, u"PushButton4"_s, u"PushButton2"_s,
                                  u"PushButton6"_s, u"PushButton9"_s}));
    // The two move buttons carry their 32 x 32 arrows.
    for (const char16_t* name : {u"PushButton3", u"PushButton5"}) {
        auto* button = control<QPushButton>(name);
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_EQ(button->iconSize(), QSize(32, 32));
    }
}

TEST_F(Form1Test, TheWindowIsFixedWhiteMinimisableAndNotMaximisable) {
    ASSERT_TRUE(create());
    // The client area of the design size, below the menu bar.
    const int bar = control<QWidget>(u"MenuBar")->height();
    EXPECT_GT(bar, 0);
    EXPECT_EQ(form->size(), QSize(536, 538 + bar));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(control<QWidget>(u"Frame1")->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form->windowTitle(), u"Quorvane"_s);
    EXPECT_FALSE(form->windowIcon().availableSizes().isEmpty());
    // On a screen that holds it nothing scrolls: the page is the window's whole inside below the bar.
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(control<QWidget>(u"Page")->size(), form->size() - QSize(0, bar));
    EXPECT_EQ(control<QWidget>(u"Page")->mapTo(form.get(), QPoint(0, 0)), QPoint(0, bar));
}

TEST_F(Form1Test, CaptionsOnTheFixedBackgroundsStayReadableUnderADarkPalette) {
    const QPalette before = QApplication::palette();
    const QPalette dark = darkPalette();
    QApplication::setPalette(dark);
    const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
    const auto expectReadable = [this](const char16_t* name, QPalette::ColorRole text, QPalette::ColorRole background) {
        const QPalette palette = control<QWidget>(name)->palette();
        EXPECT_GE(contrast(palette.color(text), palette.color(background)), 4.5)
            << QString::fromUtf16(name).toStdString() << ": " << palette.color(text).name().toStdString() << " on "
            << palette.color(background).name().toStdString();
    };
    const char16_t* captions[] = {u"Frame1",  u"Frame2",  u"Option1", u"Option2", u"Option3",
                                  u"Option4", u"Option5", u"Option6", u"Option7"};

    ASSERT_TRUE(create());
    for (const char16_t* name : captions) {
        EXPECT_EQ(control<QWidget>(name)->palette().color(QPalette::Window), QColor(Qt::white));
        expectReadable(name, QPalette::WindowText, QPalette::Window);
    }
    // The controls that follow the desktop keep its colours, also where the window's would leak in.
    expectReadable(u"ListView1", QPalette::Text, QPalette::Base);
    expectReadable(u"Text1", QPalette::Text, QPalette::Base);
    expectReadable(u"PushButton2", QPalette::ButtonText, QPalette::Button);
    EXPECT_EQ(control<QWidget>(u"ListView1")->palette().color(QPalette::Window), dark.color(QPalette::Window));
    // Inside the frame is the window's white, not a shade of it.
    const QImage frame = control<QWidget>(u"Frame1")->grab().toImage();
    EXPECT_EQ(frame.pixelColor(frame.width() - 20, frame.height() - 10), QColor(Qt::white));

    // With a skin: the button face, and the text that goes with it.
    writeBeside(u"x/o.cjs"_s, "QPushButton { font-weight: bold; }");
    ASSERT_TRUE(create());
    for (const char16_t* name : captions) {
        EXPECT_EQ(control<QWidget>(name)->palette().color(QPalette::Window), dark.color(QPalette::Button));
        expectReadable(name, QPalette::WindowText, QPalette::Window);
    }
}

TEST_F(Form1Test, TheKeyboardGoesFromTheListDownToStartAndTheButtonsHaveMnemonics) {
    app::Form1& window = open();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>(u"ListView1"));
    // Tab stops at the chosen option of each group, and entering a group changes no choice.
    QStringList order;
    for (int i = 0; i < 11; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(order, (QStringList{u"PushButton1"_s, u"PushButton4"_s, u"PushButton9"_s, u"PushButton3"_s,
                                  u"PushButton5"_s, u"PushButton6"_s, u"Option5"_s, u"Option1"_s, u"Text1"_s,
                                  u"PushButton2"_s, u"ListView1"_s}));
    EXPECT_TRUE(control<QRadioButton>(u"Option5")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(u"Option1")->isChecked());
    // The arrow keys move within a group.
    control<QWidget>(u"Option1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), u"Option2"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), u"Option3"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), u"Option2"_s);
    EXPECT_TRUE(control<QRadioButton>(u"Option2")->isChecked());

    // Alt and the underlined letter press the button.
    const std::pair<const char16_t*, QString> mnemonics[] = {{u"PushButton1", u"&Add PowerPoint File(s)"_s},
                                                             {u"PushButton4", u"Add All File(s) In &Folder"_s},
                                                             {u"PushButton9", u"&Load Sample/Example Files"_s},
                                                             {u"PushButton3", u"Move &Up"_s},
                                                             {u"PushButton5", u"Move &Down"_s},
                                                             {u"PushButton6", u"&Clear List"_s},
                                                             {u"PushButton2", u"&Start Importing PowerPoint Files"_s}};
    for (const auto& [name, caption] : mnemonics)
        EXPECT_EQ(control<QPushButton>(name)->text(), caption);
    // Enter presses the button that has the focus, as Space does.
    window.fileList().Add(u"/p/a.pptx"_s);
    control<QWidget>(u"PushButton6")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(window.fileList().Count(), 0);
    // (A button pressed by its mnemonic shows the press for a moment before it clicks.)
    window.fileList().Add(u"/p/a.pptx"_s);
    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&window] { return window.fileList().Count() == 0; }));
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !prompts.messages.empty(); }));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, u"No files added."_s);
}

// ---- Start-up ----

TEST_F(Form1Test, FirstStartWithAnEmptyStore) {
    ASSERT_TRUE(create());
    EXPECT_EQ(control<QLineEdit>(u"Text1")->text(), QString());
    // The restore changed the design text "Text1" to nothing, so the key is created empty.
    ASSERT_TRUE(settings.values.contains(u"Text1"_s));
    EXPECT_EQ(settings.values.value(u"Text1"_s), QString());
    EXPECT_EQ(settings.writes, QStringList{u"Text1"_s});
    for (int n = 1; n <= 7; ++n)
        EXPECT_EQ(form->optionChecked(static_cast<import::OptionButton>(n)), n == 1 || n == 5) << "Option" << n;
    auto* list = control<app::FileListView>(u"ListView1");
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), u"PowerPoint File(s)"_s);
    EXPECT_EQ(list->header()->sectionSize(0), 433); // 6500 twips: 433.3 pixels
    EXPECT_EQ(services.applicationTitle, shell::applicationTitleFrom(shell::productTitle()));
    EXPECT_EQ(services.applicationTitle, u"Quorvane"_s);
    EXPECT_EQ(random.seeds, 1);
    EXPECT_TRUE(desktop.urls.isEmpty());
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Form1Test, TheStoredTextComesBackExactly) {
    for (const QString& stored : {u"a;b"_s, u"   "_s, u"Grüße, 漢字"_s, u"Text1"_s}) {
        settings.values.insert(u"Text1"_s, stored);
        settings.writes.clear();
        ASSERT_TRUE(create());
        EXPECT_EQ(control<QLineEdit>(u"Text1")->text(), stored);
        EXPECT_EQ(settings.values.value(u"Text1"_s), stored);
        // Written back only when the restore changed the design text.
        EXPECT_EQ(settings.writes.size(), stored == u"Text1" ? 0 : 1) << stored.toStdString();
    }
}

TEST_F(Form1Test, OptionsStartAtTheirDefaultsEveryTime) {
    ASSERT_TRUE(create());
    control<QRadioButton>(u"Option3")->setChecked(true);
    control<QRadioButton>(u"Option6")->setChecked(true);
    ASSERT_TRUE(create());
    EXPECT_TRUE(control<QRadioButton>(u"Option1")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(u"Option5")->isChecked());
}

TEST_F(Form1Test, ASkinBesideTheProgramStylesTheWindowOnTheButtonFace) {
    const QByteArray sheet = "QPushButton { color: #102030; } /* \xc3\xa9 */";
    writeBeside(u"x/o.cjs"_s, sheet);
    ASSERT_TRUE(create());
    EXPECT_EQ(form->styleSheet(), QString::fromUtf8(sheet));
    const QColor face = QApplication::palette().color(QPalette::Button);
    for (const char16_t* name : {u"Frame1", u"Frame2", u"Option1", u"Option7"})
        EXPECT_EQ(control<QWidget>(name)->palette().color(QPalette::Window), face);
    EXPECT_EQ(form->palette().color(QPalette::Window), face);
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(Form1Test, ADamagedSkinIsReportedAtLine100AndKeepsTheButtonFace) {
    writeBeside(u"x/o.cjs"_s, QByteArray("QWidget { color: red; }\xff\xfe"));
    ASSERT_TRUE(create());
    ASSERT_EQ(errors.reports.size(), 1u);
    EXPECT_EQ(errors.reports[0].line, 100);
    EXPECT_EQ(errors.reports[0].location, u"in Travenor2017/04/05.Form1.Form_Load "_s);
    EXPECT_TRUE(errors.reports[0].description.contains(u"o.cjs"_s));
    EXPECT_TRUE(form->styleSheet().isEmpty());
    EXPECT_EQ(form->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    // Start-up went on: the later steps ran.
    EXPECT_EQ(form->windowTitle(), u"Quorvane"_s);
    EXPECT_TRUE(settings.values.contains(u"Text1"_s));
}

TEST_F(Form1Test, AnUnreadableSkinIsReportedToo) {
    QDir().mkpath(programFolder.filePath(u"x/o.cjs"_s)); // a folder where the file should be
    ASSERT_TRUE(create());
    EXPECT_EQ(errors.lines(), std::vector<int>{100});
}

TEST_F(Form1Test, TheHandCursorFileGivesTheCustomShapeWithItsHotspot) {
    writeBeside(u"HAND-M.CUR"_s, cursorFile(9, 3));
    ASSERT_TRUE(create());
    EXPECT_TRUE(errors.reports.empty());
    sendMouse(control<QWidget>(u"PushButton1"), QEvent::MouseMove, {5, 5}, Qt::NoButton);
    EXPECT_EQ(form->pointer(), shell::PointerShape::Custom);
    EXPECT_EQ(form->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(form->cursor().hotSpot(), QPoint(9, 3));
}

TEST_F(Form1Test, WithoutOrWithADamagedCursorFileTheCustomShapeIsThePointingHand) {
    ASSERT_TRUE(create());
    form->setPointer(shell::PointerShape::Custom);
    EXPECT_EQ(form->cursor().shape(), Qt::PointingHandCursor);

    writeBeside(u"HAND-M.CUR"_s, "not a cursor");
    ASSERT_TRUE(create());
    EXPECT_EQ(errors.lines(), std::vector<int>{106});
    form->setPointer(shell::PointerShape::Custom);
    EXPECT_EQ(form->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(Form1Test, TheHomePageOpensWhenTheDrawGivesSeven) {
    random.fractions = {0.06}; // floor(6) + 1 = 7
    ASSERT_TRUE(create());
    if (shell::homePageUrl().isEmpty())
        EXPECT_TRUE(desktop.urls.isEmpty());
    else
        EXPECT_EQ(desktop.urls, QStringList{shell::homePageUrl()});
    desktop.urls.clear();
    random.fractions = {0.0699, 0.07};
    ASSERT_TRUE(create()); // 7 again
    ASSERT_TRUE(create()); // 8
    EXPECT_EQ(desktop.urls.size(), shell::homePageUrl().isEmpty() ? 0 : 1);
    EXPECT_EQ(random.seeds, 3);
}

TEST_F(Form1Test, NoSpreadsheetEndsTheProgramBeforeTheWindowShows) {
    spreadsheets.failCall(u"create"_s, 0);
    settings.values.insert(u"Text1"_s, u"x"_s);
    EXPECT_FALSE(create());
    EXPECT_FALSE(form->isVisible());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(u"Error 842001."_s));
    EXPECT_EQ(prompts.messages[0].caption, u"Quorvane"_s);
    EXPECT_TRUE(errors.reports.empty());
    // The restore ran before the check and wrote its change back.
    EXPECT_EQ(settings.writes, QStringList{u"Text1"_s});
}

// ---- Pointer rules ----

TEST_F(Form1Test, HoverRulesSetTheWindowPointerUnlessBusy) {
    app::Form1& window = open();
    auto over = [&](QWidget* widget) { sendMouse(widget, QEvent::MouseMove, {3, 3}, Qt::NoButton); };
    over(control<QWidget>(u"PushButton9"));
    EXPECT_EQ(window.pointer(), shell::PointerShape::Custom);
    over(control<QWidget>(u"Option4"));
    EXPECT_EQ(window.pointer(), shell::PointerShape::Default);
    over(control<QWidget>(u"PushButton5"));
    over(control<QWidget>(u"Frame2"));
    EXPECT_EQ(window.pointer(), shell::PointerShape::Default);
    over(control<QWidget>(u"PushButton2"));
    over(&window);
    EXPECT_EQ(window.pointer(), shell::PointerShape::Default);
    over(control<QWidget>(u"PushButton2"));
    over(control<app::FileListView>(u"ListView1")->viewport());
    EXPECT_EQ(window.pointer(), shell::PointerShape::Default);
    // Text1 and the progress bar have no rule.
    over(control<QWidget>(u"PushButton1"));
    over(control<QWidget>(u"Text1"));
    over(control<QWidget>(u"ProgressBar1"));
    EXPECT_EQ(window.pointer(), shell::PointerShape::Custom);
    // The busy pointer stays whatever the pointer passes over.
    window.setPointer(shell::PointerShape::Busy);
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    for (const char16_t* name : {u"PushButton1", u"Option1", u"Frame1"})
        over(control<QWidget>(name));
    over(control<app::FileListView>(u"ListView1")->viewport());
    over(&window);
    EXPECT_EQ(window.pointer(), shell::PointerShape::Busy);
    window.setPointer(shell::PointerShape::Default);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

// ---- Text1 ----

TEST_F(Form1Test, EveryChangeOfText1IsStoredAtOnce) {
    open();
    auto* text1 = control<QLineEdit>(u"Text1");
    settings.writes.clear();
    QTest::keyClicks(text1, u"; "_s);
    EXPECT_EQ(settings.writes.size(), 2);
    EXPECT_EQ(settings.values.value(u"Text1"_s), u"; "_s);
    text1->clear();
    EXPECT_EQ(settings.values.value(u"Text1"_s), QString());
    // No length limit.
    const QString longText(40000, u'x');
    text1->setText(longText);
    EXPECT_EQ(settings.values.value(u"Text1"_s), longText);
    EXPECT_EQ(form->text1(), longText);
    EXPECT_FALSE(control<QRadioButton>(u"Option4")->isChecked()); // typing does not choose the option
}

// ---- Buttons ----

TEST_F(Form1Test, ClearListEmptiesTheListEvenWhileBusy) {
    app::Form1& window = open();
    window.fileList().Add(u"/a.pptx"_s);
    window.fileList().Add(u"/b.pptx"_s);
    window.setPointer(shell::PointerShape::Busy);
    QTest::mouseClick(control<QPushButton>(u"PushButton6"), Qt::LeftButton);
    EXPECT_EQ(window.fileList().Count(), 0);
    QTest::mouseClick(control<QPushButton>(u"PushButton6"), Qt::LeftButton); // empty: nothing to say
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(Form1Test, WhileAnImportRunsTheListLosesNoEntryAndTheOptionsStayAsTheRunStarted) {
    app::Form1& window = open();
    QTemporaryDir talks;
    for (const QString& name : {u"one"_s, u"two"_s, u"three"_s})
        window.fileList().Add(test::writeTextDeck(talks.filePath(name + u".pptx"_s), {name}));
    auto* list = control<app::FileListView>(u"ListView1");
    bool blocked = false;
    presentations.onCall = [&](const test::OfficeCall& call) {
        if (call.member != u"open" || presentations.count(u"open"_s) != 1)
            return;
        // The pointer may have been put back by a folder scan meanwhile: the run still holds the list.
        window.setPointer(shell::PointerShape::Default);
        QTest::mouseClick(control<QPushButton>(u"PushButton6"), Qt::LeftButton);
        list->select(2);
        QTest::keyClick(list, Qt::Key_Delete);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
        window.fileList().Add(talks.filePath(u"one.pptx"_s)); // adding stays possible
        // What the run ignores shows disabled, the option captions in a paler colour.
        blocked = true;
        for (const char16_t* name : {u"Frame1", u"Frame2", u"Option1", u"Option6", u"PushButton2", u"PushButton6"})
            blocked = blocked && !control<QWidget>(name)->isEnabled();
        const QPalette option = control<QWidget>(u"Option1")->palette();
        EXPECT_NE(option.color(QPalette::Disabled, QPalette::WindowText),
                  option.color(QPalette::Active, QPalette::WindowText));
        EXPECT_NE(option.color(QPalette::Disabled, QPalette::WindowText), option.color(QPalette::Window));
        EXPECT_TRUE(control<QWidget>(u"PushButton1")->isEnabled());
    };
    QTest::mouseClick(control<QPushButton>(u"PushButton2"), Qt::LeftButton);
    EXPECT_TRUE(blocked);
    EXPECT_EQ(window.fileList().Count(), 4);
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_EQ(presentations.count(u"open"_s), 3); // the loop bound was read before the entry was added
    for (const char16_t* name : {u"Frame1", u"Frame2", u"PushButton2", u"PushButton6"})
        EXPECT_TRUE(control<QWidget>(name)->isEnabled());
    QTest::mouseClick(control<QPushButton>(u"PushButton6"), Qt::LeftButton);
    EXPECT_EQ(window.fileList().Count(), 0);
}

TEST_F(Form1Test, StartOnAnEmptyListSaysSoAndChangesNothing) {
    app::Form1& window = open();
    QTest::mouseClick(control<QPushButton>(u"PushButton2"), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, u"No files added."_s);
    EXPECT_EQ(prompts.messages[0].caption, u"Quorvane"_s);
    EXPECT_EQ(window.pointer(), shell::PointerShape::Default);
    EXPECT_EQ(control<QProgressBar>(u"ProgressBar1")->text(), u"Progress Bar"_s);
}

TEST_F(Form1Test, TheStartChecksComeUpOverAWindowThatIsStillEnabled) {
    app::Form1& window = open();
    std::vector<bool> enabled; // the options and the start button, while each box is up
    prompts.onMessage = [&](const test::ShownMessage&) {
        bool all = true;
        for (const char16_t* name : {u"Frame1", u"Frame2", u"PushButton2", u"PushButton6"})
            all = all && control<QWidget>(name)->isEnabled();
        enabled.push_back(all);
    };
    QTest::mouseClick(control<QPushButton>(u"PushButton2"), Qt::LeftButton);
    // A spreadsheet instance already runs, and the answer to the question is No.
    window.fileList().Add(u"/p/a.pptx"_s);
    const auto running = spreadsheets.create();
    prompts.answerNextMessage(shell::MessageAnswer::No);
    QTest::mouseClick(control<QPushButton>(u"PushButton2"), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, u"No files added."_s);
    EXPECT_EQ(enabled, (std::vector<bool>{true, true}));
    EXPECT_TRUE(control<QWidget>(u"Frame1")->isEnabled());
    running->quit();
}

TEST_F(Form1Test, ALongFileNameInTheBarIsShortenedInItsMiddleOnOneLine) {
    app::Form1& window = open();
    auto* bar = control<app::TextProgressBar>(u"ProgressBar1");
    const QString caption = u"Processing: "_s + QString(200, u'n') + u" final.pptx"_s;
    window.setProgressText(caption);
    EXPECT_EQ(bar->text(), caption);
    const QString shown = bar->shownText();
    EXPECT_TRUE(shown.startsWith(u"Processing: nnn"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(u"n final.pptx"_s)) << shown.toStdString();
    EXPECT_LT(bar->fontMetrics().horizontalAdvance(shown), bar->width());
    window.setProgressText(u"Progress Bar"_s);
    EXPECT_EQ(bar->shownText(), u"Progress Bar"_s);
}

TEST_F(Form1Test, StartRunsTheImportWithProgressInTheBar) {
    app::Form1& window = open();
    QTemporaryDir talks;
    window.fileList().Add(test::writeTextDeck(talks.filePath(u"one.pptx"_s), {u"first"_s}));
    window.fileList().Add(test::writeTextDeck(talks.filePath(u"100%p two.pptx"_s), {u"second"_s}));
    control<QRadioButton>(u"Option6")->setChecked(true);
    QStringList progress;
    auto* bar = control<QProgressBar>(u"ProgressBar1");
    presentations.onCall = [&](const test::OfficeCall& call) {
        if (call.member == u"open")
            progress.append(QString::number(window.progressValue()) + u' ' + bar->text() + u' ' +
                            QString::number(static_cast<int>(window.pointer())));
    };
    QTest::mouseClick(control<QPushButton>(u"PushButton2"), Qt::LeftButton);
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_EQ(progress, (QStringList{u"50 Processing: one.pptx 11"_s, u"100 Processing: 100%p two.pptx 11"_s}));
    EXPECT_EQ(bar->text(), u"Progress Bar"_s);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(window.pointer(), shell::PointerShape::Default);
    // One sheet per file, named after it, in a workbook handed to the user.
    const auto running = spreadsheets.running();
    ASSERT_EQ(running.size(), 1u);
    EXPECT_TRUE(running[0]->visible());
    const auto book = running[0]->activeWorkbook();
    ASSERT_NE(book, nullptr);
    const QStringList names = test::sheetNamesOf(*book);
    EXPECT_TRUE(names.contains(u"onepptx"_s)) << names.join(u',').toStdString();
    EXPECT_TRUE(names.contains(u"100p twopptx"_s)) << names.join(u',').toStdString();
}

// ---- Closing ----

TEST_F(Form1Test, ClosingDuringAnImportStopsItAtTheNextYield) {
    shell::QtEventPump pump;
    shell::Services live{prompts,
                         errors,
                         dialogs,
                         settings,
                         desktop,
                         random,
                         pump,
                         presentations,
                         spreadsheets,
                         QString(),
                         programFolder.path()};
    app::Form1 window(live);
    ASSERT_TRUE(window.Form_Load());
    QObject::connect(&window, &app::Form1::closed, [&pump] { pump.abort(); });
    window.show();
    QTemporaryDir decks;
    for (const QString& name : {u"1.pptx"_s, u"2.pptx"_s, u"3.pptx"_s})
        window.fileList().Add(test::writeTextDeck(decks.filePath(name), {name}));
    presentations.onCall = [&](const test::OfficeCall& call) {
        if (call.member == u"open")
            window.close();
    };
    QTest::mouseClick(window.findChild<QPushButton*>(u"PushButton2"_s), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(presentations.count(u"open"_s), 1);
    EXPECT_EQ(spreadsheets.count(u"create"_s), 1); // only the start-up check: no workbook was made
    EXPECT_TRUE(errors.reports.empty());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_THROW(pump.yield(), shell::OperationAborted);
}

TEST_F(Form1Test, ClosingWhileAnErrorBoxIsUpClosesOnceTheBoxIsDismissed) {
    // The desktop's boxes and event pump; the import fails on every file.
    shell::QtEventPump pump;
    app::QtPrompts boxes;
    shell::PromptErrorReporter reports(boxes);
    shell::Services live{boxes,
                         reports,
                         dialogs,
                         settings,
                         desktop,
                         random,
                         pump,
                         presentations,
                         spreadsheets,
                         QString(),
                         programFolder.path()};
    app::Form1 window(live);
    boxes.setParent(&window);
    ASSERT_TRUE(window.Form_Load());
    QObject::connect(&window, &app::Form1::closed, [&pump] { pump.abort(); });
    window.show();
    QTemporaryDir decks;
    for (const QString& name : {u"1.pptx"_s, u"2.pptx"_s, u"3.pptx"_s}) {
        QFile file(decks.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("no presentation");
        window.fileList().Add(file.fileName());
    }
    // At the first box the user asks the main window to close, then presses Escape.
    int shown = 0;
    bool visibleWithBoxUp = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible())
                continue;
            EXPECT_EQ(box->windowTitle(), u"Application Error"_s);
            if (++shown == 1) {
                window.close();
                visibleWithBoxUp = window.isVisible();
            }
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    user.start(5);
    QTest::mouseClick(window.findChild<QPushButton*>(u"PushButton2"_s), Qt::LeftButton);
    user.stop();
    EXPECT_TRUE(visibleWithBoxUp);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(shown, 1) << "the run stopped at its next yield";
    EXPECT_EQ(presentations.count(u"open"_s), 1);
    EXPECT_THROW(pump.yield(), shell::OperationAborted);
}

} // namespace
