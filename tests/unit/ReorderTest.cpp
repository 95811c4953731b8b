// Removing and reordering entries: the move buttons with their numbered steps, the drag inside the
// list with its swap and edge-scroll rules, and the removal of the selected entry.
#include "filelist/Reorder.h"
#include "filelist/ListControl.h"

#include "shell/Locations.h"
#include "support/FakeServices.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

// A list control without a view: records selection, scrolling and focus.
class FakeControl final : public filelist::ListControl {
public:
    explicit FakeControl(QStringList texts) {
        for (const QString& text : texts)
            list.Add(text);
    }
    filelist::FileList& fileList() override { return list; }
    int selectedPosition() override { return selected; }
    void select(int position) override {
        if (failSelect)
            throw std::runtime_error("select failed");
        selected = position;
    }
    void ensureVisible(int position) override { scrolledTo.push_back(position); }
    void focusList() override { ++focused; }
    bool busy() override { return isBusy; }

    filelist::FileList list;
    int selected = 0;
    bool isBusy = false;
    bool failSelect = false;
    int focused = 0;
    std::vector<int> scrolledTo;
};

const QStringList PQR{u"P"_s, u"Q"_s, u"R"_s};
const QStringList PQRS{u"P"_s, u"Q"_s, u"R"_s, u"S"_s};

class MoveButtonsTest : public ::testing::Test {
protected:
    test::RecordingErrorReporter errors;
    void up(FakeControl& control) {
        shell::Guard g(errors, shell::location::PushButton3Click);
        filelist::moveUp(control, g);
    }
    void down(FakeControl& control) {
        shell::Guard g(errors, shell::location::PushButton5Click);
        filelist::moveDown(control, g);
    }
};

TEST_F(MoveButtonsTest, MoveUpSwapsWithThePredecessorAndKeepsTheEntrySelectedInView) {
    FakeControl control(PQR);
    control.selected = 2;
    up(control);
    EXPECT_EQ(control.list.entries(), (QStringList{u"Q"_s, u"P"_s, u"R"_s}));
    EXPECT_EQ(control.selected, 1);
    EXPECT_EQ(control.scrolledTo, std::vector<int>{1});
    EXPECT_EQ(control.focused, 1);
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(MoveButtonsTest, MoveDownSwapsWithTheSuccessor) {
    FakeControl control(PQR);
    control.selected = 2;
    down(control);
    EXPECT_EQ(control.list.entries(), (QStringList{u"P"_s, u"R"_s, u"Q"_s}));
    EXPECT_EQ(control.selected, 3);
    EXPECT_EQ(control.scrolledTo, std::vector<int>{3});
    EXPECT_EQ(control.focused, 1);
}

TEST_F(MoveButtonsTest, MoveDownOnTheSecondToLastMakesItTheLast) {
    FakeControl control(PQRS);
    control.selected = 3;
    down(control);
    EXPECT_EQ(control.list.entries(), (QStringList{u"P"_s, u"Q"_s, u"S"_s, u"R"_s}));
    EXPECT_EQ(control.selected, 4);
}

TEST_F(MoveButtonsTest, AtTheEdgesOrWithoutSelectionTheyOnlyFocusTheList) {
    FakeControl first(PQR);
    first.selected = 1;
    up(first);
    FakeControl last(PQR);
    last.selected = 3;
    down(last);
    FakeControl none(PQR);
    up(none);
    down(none);
    for (const FakeControl* control : {&first, &last, &none}) {
        EXPECT_EQ(control->list.entries(), PQR);
        EXPECT_TRUE(control->scrolledTo.empty());
    }
    EXPECT_EQ(first.focused, 1);
    EXPECT_EQ(last.focused, 1);
    EXPECT_EQ(none.focused, 2);
    EXPECT_EQ(none.selected, 0);
}

TEST_F(MoveButtonsTest, EmptyOrBusyTheyDoNothingAtAll) {
    FakeControl empty(QStringList{});
    up(empty);
    down(empty);
    EXPECT_EQ(empty.focused, 0);
    FakeControl busy(PQR);
    busy.selected = 2;
    busy.isBusy = true;
    up(busy);
    down(busy);
    EXPECT_EQ(busy.list.entries(), PQR);
    EXPECT_EQ(busy.focused, 0);
    EXPECT_TRUE(errors.reports.empty());
}

TEST_F(MoveButtonsTest, AFailingStepIsReportedWithItsNumberAndTheRestRuns) {
    FakeControl control(PQR);
    control.selected = 2;
    control.failSelect = true;
    up(control);
    down(control); // the selection stayed at 2, so Q moves back down
    ASSERT_EQ(errors.reports.size(), 2u);
    EXPECT_EQ(errors.reports[0].location, u"in Travenor2017/04/05.Form1.PushButton3_Click "_s);
    EXPECT_EQ(errors.reports[0].line, 112);
    EXPECT_EQ(errors.reports[1].location, u"in Travenor2017/04/05.Form1.PushButton5_Click "_s);
    EXPECT_EQ(errors.reports[1].line, 112);
    EXPECT_EQ(control.scrolledTo, (std::vector<int>{1, 3}));
    EXPECT_EQ(control.focused, 2);
}

// ---- Dragging inside the list ----

// Screen heights: in the middle band nothing scrolls.
constexpr int Middle = 330;

TEST(DragReorderTest, SlowMovesCarryTheEntryAlong) {
    FakeControl control(PQRS);
    filelist::DragReorder drag(control.list);
    drag.press();
    drag.clickOnEntry(1);
    EXPECT_TRUE(drag.move(control, 2, Middle));
    EXPECT_EQ(control.list.entries(), (QStringList{u"Q"_s, u"P"_s, u"R"_s, u"S"_s}));
    EXPECT_FALSE(drag.move(control, 2, Middle)); // resting on the dragged entry itself
    EXPECT_TRUE(drag.move(control, 3, Middle));
    EXPECT_EQ(control.list.entries(), (QStringList{u"Q"_s, u"R"_s, u"P"_s, u"S"_s}));
    EXPECT_EQ(control.selected, 3);
    EXPECT_EQ(drag.draggedPosition(), 3);
    EXPECT_TRUE(control.scrolledTo.empty());
}

TEST(DragReorderTest, AJumpSwapsWithTheEntryUnderThePointerOnly) {
    FakeControl control(PQRS);
    filelist::DragReorder drag(control.list);
    drag.press();
    drag.clickOnEntry(1);
    drag.move(control, 3, Middle);
    EXPECT_EQ(control.list.entries(), (QStringList{u"R"_s, u"Q"_s, u"P"_s, u"S"_s}));
}

TEST(DragReorderTest, NothingSwapsUnlessArmedAndOverAnotherText) {
    FakeControl control(QStringList{u"P"_s, u"Q"_s, u"P"_s});
    filelist::DragReorder drag(control.list);
    drag.clickOnEntry(1);
    EXPECT_FALSE(drag.move(control, 2, Middle)); // not armed
    drag.press();
    EXPECT_FALSE(drag.move(control, 3, Middle)); // the duplicate of the dragged text
    EXPECT_FALSE(drag.move(control, 0, Middle)); // below the last entry
    drag.release();
    EXPECT_FALSE(drag.move(control, 2, Middle));
    EXPECT_EQ(control.list.entries(), (QStringList{u"P"_s, u"Q"_s, u"P"_s}));
    // The dragged entry outlives the release: a later press that starts off the entries drags it.
    drag.press();
    EXPECT_TRUE(drag.move(control, 2, Middle));
    EXPECT_EQ(control.list.entries(), (QStringList{u"Q"_s, u"P"_s, u"P"_s}));
}

TEST(DragReorderTest, AnEntryNoLongerInTheListNeverSwaps) {
    FakeControl removed(PQRS);
    filelist::DragReorder drag(removed.list);
    drag.press();
    drag.clickOnEntry(2);
    removed.list.Remove(2);
    EXPECT_EQ(drag.draggedPosition(), 0);
    EXPECT_FALSE(drag.move(removed, 1, Middle));

    FakeControl cleared(PQRS);
    filelist::DragReorder drag2(cleared.list);
    drag2.press();
    drag2.clickOnEntry(2);
    cleared.list.Clear();
    cleared.list.Add(u"P"_s);
    cleared.list.Add(u"Z"_s);
    EXPECT_FALSE(drag2.move(cleared, 1, Middle));

    // A button move re-creates the entry: the old one is gone, its copy is a new entry.
    FakeControl moved(PQRS);
    filelist::DragReorder drag3(moved.list);
    drag3.press();
    drag3.clickOnEntry(3);
    moved.selected = 3;
    test::RecordingErrorReporter errors;
    shell::Guard g(errors, shell::location::PushButton3Click);
    filelist::moveUp(moved, g);
    EXPECT_FALSE(drag3.move(moved, 4, Middle));
    EXPECT_EQ(moved.list.entries(), (QStringList{u"P"_s, u"R"_s, u"Q"_s, u"S"_s}));

    // An entry that only moved (an insertion above it) is still the dragged one.
    FakeControl shifted(PQRS);
    filelist::DragReorder drag4(shifted.list);
    drag4.press();
    drag4.clickOnEntry(2);
    shifted.list.Add(1, u"N"_s);
    EXPECT_EQ(drag4.draggedPosition(), 3);
    EXPECT_TRUE(drag4.move(shifted, 1, Middle));
    EXPECT_EQ(shifted.list.entries(), (QStringList{u"Q"_s, u"P"_s, u"N"_s, u"R"_s, u"S"_s}));
}

TEST(DragReorderTest, TheListScrollsByTheScreenHeightOnlyAfterASwap) {
    struct Case {
        int screenY;
        int hovered;
        std::vector<int> scrolled;
    };
    // From entry 3 of six, onto the entry given; the edge rule looks one entry further.
    const Case cases[] = {
        {304, 2, {1}}, {305, 2, {}}, {364, 4, {}}, {365, 4, {5}}, {0, 1, {}}, {900, 6, {}}, {900, 5, {6}},
    };
    for (const Case& c : cases) {
        FakeControl control(QStringList{u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s, u"F"_s});
        filelist::DragReorder drag(control.list);
        drag.press();
        drag.clickOnEntry(3);
        EXPECT_TRUE(drag.move(control, c.hovered, c.screenY));
        EXPECT_EQ(control.scrolledTo, c.scrolled) << "y " << c.screenY << " over " << c.hovered;
    }
    // Resting near the edge without a swap scrolls nothing.
    FakeControl control(PQRS);
    filelist::DragReorder drag(control.list);
    drag.press();
    drag.clickOnEntry(2);
    EXPECT_FALSE(drag.move(control, 2, 10));
    EXPECT_FALSE(drag.move(control, 2, 2000));
    EXPECT_TRUE(control.scrolledTo.empty());
}

// ---- Removal by double-click and Delete ----

TEST(RemoveSelectedEntryTest, RemovesOnlyTheSelectedEntryUnlessBusy) {
    FakeControl control(PQRS);
    control.selected = 2;
    control.isBusy = true;
    filelist::removeSelectedEntry(control);
    EXPECT_EQ(control.list.entries(), PQRS);
    control.isBusy = false;
    filelist::removeSelectedEntry(control);
    EXPECT_EQ(control.list.entries(), (QStringList{u"P"_s, u"R"_s, u"S"_s}));
    control.selected = 0;
    filelist::removeSelectedEntry(control);
    EXPECT_EQ(control.list.Count(), 3);
    FakeControl empty(QStringList{});
    filelist::removeSelectedEntry(empty);
    EXPECT_EQ(empty.list.Count(), 0);
}

} // namespace
