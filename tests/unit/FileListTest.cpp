#include "filelist/FileList.h"

#include <gtest/gtest.h>

#include <stdexcept>

using quorvane::filelist::FileList;

TEST(FileList, AddsAtTheEndOrAtAPositionAndKeepsDuplicates) {
    FileList list;
    EXPECT_EQ(list.Count(), 0);
    list.Add(QStringLiteral("/a/P.pptx"));
    list.Add(QStringLiteral("/a/R.pptx"));
    list.Add(2, QStringLiteral("/a/Q.pptx"));
    list.Add(QStringLiteral("/a/P.pptx"));
    EXPECT_EQ(list.entries(), (QStringList{QStringLiteral("/a/P.pptx"), QStringLiteral("/a/Q.pptx"),
                                           QStringLiteral("/a/R.pptx"), QStringLiteral("/a/P.pptx")}));
    list.Add(5, QStringLiteral(" spaced "));
    EXPECT_EQ(list.Text(5), u" spaced ");
}

TEST(FileList, RemoveAndSetTextWorkInPlace) {
    FileList list;
    for (const char* p : {"P", "Q", "R"})
        list.Add(QString::fromLatin1(p));
    list.Remove(2);
    EXPECT_EQ(list.entries(), (QStringList{QStringLiteral("P"), QStringLiteral("R")}));
    list.SetText(1, QStringLiteral("X"));
    EXPECT_EQ(list.Text(1), u"X");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(FileList, PositionsOutsideTheListFail) {
    FileList list;
    list.Add(QStringLiteral("P"));
    EXPECT_THROW(list.Text(0), std::out_of_range);
    EXPECT_THROW(list.Text(2), std::out_of_range);
    EXPECT_THROW(list.Remove(2), std::out_of_range);
    EXPECT_THROW(list.Add(3, QStringLiteral("x")), std::out_of_range);
    EXPECT_EQ(list.Count(), 1);
}

TEST(FileList, ModelShowsTheTextsInOneColumn) {
    FileList list;
    list.setHeaderText(QStringLiteral("PowerPoint File(s)"));
    list.Add(QStringLiteral("/x/deck.pptx"));
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.data(list.index(0), Qt::DisplayRole).toString(), u"/x/deck.pptx");
    EXPECT_EQ(list.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), u"PowerPoint File(s)");
    EXPECT_FALSE(list.flags(list.index(0)).testFlag(Qt::ItemIsEditable));
}
