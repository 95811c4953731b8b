// Where the windows open on a small screen at a scale factor of 2: the 1280 x 1024 screen is
// 640 x 512 in the windows' own pixels, smaller than the main window. Its own main sets that screen
// up, as it must exist before the application does.
#include "MainWindowFixture.h"

#include "app/Placement.h"
#include "app/ResultWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTest>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

// Result windows that ask nothing in this test.
class SilentResultPrompts final : public app::ResultPrompts {
public:
    CloseChoice askBeforeClose(QWidget*, const QString&) override { return CloseChoice::Discard; }
    app::SaveChoice askSavePath(QWidget*, const QString&) override { return {}; }
    CsvChoice askCsvChoice(QWidget*, int, const QString&) override { return CsvChoice::Cancel; }
    bool askReplace(QWidget*, const QStringList&) override { return false; }
    void showFailure(QWidget*, const QString& text) override { ADD_FAILURE() << text.toStdString(); }
};

class PlacementTest : public test::MainWindowFixture {};

TEST_F(PlacementTest, BothWindowsOpenOnTheAvailableAreaOfASmallScaledScreen) {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(available, QRect(0, 0, 640, 512));

    // Too tall for the screen: the window is as tall as fits with a frame, the page scrolls inside it,
    // and the window is centred across.
    open();
    const QRect main = form->geometry().marginsAdded(app::expectedFrame(form.get()));
    EXPECT_TRUE(available.contains(main)) << main.height();
    EXPECT_LE(std::abs((main.left() - available.left()) - (available.right() - main.right())), 8);
    QWidget* page = form->findChild<QWidget*>(u"Page"_s);
    ASSERT_NE(page, nullptr);
    EXPECT_GT(page->height(), form->height());
    EXPECT_LE(page->width(), form->width());
    // Start is reached with the keyboard: the page scrolls to it.
    auto* start = form->findChild<QWidget*>(u"PushButton2"_s);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->findChild<QWidget*>(u"Text1"_s)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), start);
    EXPECT_TRUE(form->rect().contains(QRect(start->mapTo(form.get(), QPoint(0, 0)), start->size())));

    // Each result window lies on the screen, offset from the one before.
    office::SpreadsheetEngine engine;
    SilentResultPrompts resultPrompts;
    app::ResultWindows results(desktop, resultPrompts);
    results.install(engine);
    QRect last;
    for (int i = 0; i < 3; ++i) {
        auto target = engine.create();
        target->workbooksAdd();
        target->setVisible(true);
        const QRect frame = results.windows().back()->frameGeometry();
        EXPECT_TRUE(available.contains(frame)) << i;
        EXPECT_NE(frame.topLeft(), last.topLeft()) << i;
        last = frame;
    }
    for (app::ResultWindow* window : results.windows())
        window->close();
}

} // namespace

int main(int argc, char** argv) {
    // A 1280 x 1024 offscreen screen at 96 dpi, with everything drawn twice as large.
    QFile config(QDir::temp().filePath(u"quorvane-small-screen-%1.json"_s.arg(QCoreApplication::applicationPid())));
    if (!config.open(QIODevice::WriteOnly))
        return 1;
    config.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1280, "height": 1024,
                                  "logicalDpi": 96, "dpr": 1}]})");
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    config.remove();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
