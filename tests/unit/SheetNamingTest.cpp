#include "import/SheetNaming.h"

#include "office/AutomationError.h"
#include "office/spreadsheet/SpreadsheetEngine.h"
#include "support/FakeServices.h"
#include "support/RecordingOffice.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quorvane;
using namespace quorvane::import;

namespace {

// The naming order of the import: filter the file name; when the name as it would be assigned is
// taken, random digits that fit; then clean and assign. A refused name leaves the sheet as the
// spreadsheet named it.
QString nameNewSheet(office::SpreadsheetApplication& target, shell::RandomSource& random, const QString& path) {
    QString name = FilterChars(FileNameOf(path), SheetNameAlphabet);
    if (SheetExists(target, CleanSheetName(name)))
        name = numberedName(CleanSheetName(name), RandomUpTo(random, 8000));
    target.sheetsAdd();
    try {
        target.setActiveSheetName(CleanSheetName(name));
    } catch (const office::AutomationError&) {
    }
    return target.sheetName(target.sheetsCount());
}

TEST(SheetNaming, TextFunctions) {
    EXPECT_EQ(FileNameOf(u"/home/ann/decks/Q3 Review.pptx"_s), u"Q3 Review.pptx"_s);
    EXPECT_EQ(FileNameOf(u"Q3 Review.pptx"_s), u"Q3 Review.pptx"_s);
    EXPECT_EQ(FileNameOf(u"/home/ann/decks/"_s), u""_s);                   // ends with the separator
    EXPECT_EQ(FileNameOf(u"C:\\decks\\a.pptx"_s), u"C:\\decks\\a.pptx"_s); // a backslash is a name character
    EXPECT_EQ(FileNameOf(u""_s), u""_s);

    // Letters and numbers of every script and the space; of ASCII exactly the 63 characters kept always.
    const struct {
        QString fileName, kept;
    } filtered[] = {
        {u"budget_2017 (final).ppt"_s, u"budget2017 finalppt"_s},
        {u"Ärger über 東京.pptx"_s, u"Ärger über 東京pptx"_s},
        {u"São Paulo.pptx"_s, u"São Paulopptx"_s},
        {u"Отчёт за квартал.pptx"_s, u"Отчёт за кварталpptx"_s},
        {u"会議資料.pptx"_s, u"会議資料pptx"_s},
        {u"हिन्दी (v2).pptx"_s, u"हिन्दी v2pptx"_s}, // the vowel signs stay with their letters
        {u"Café-́.ppt"_s, u"Caféppt"_s},            // a mark goes with the character it belongs to
        {u"𠮷野家 ½.pptx"_s, u"𠮷野家 ½pptx"_s},   // past U+FFFF, and a number that is no digit
        {u"a\xD800"
         u"b\xDC00.pptx"_s,
         u"abpptx"_s}, // unpaired surrogates
    };
    for (const auto& c : filtered)
        EXPECT_EQ(FilterChars(c.fileName, SheetNameAlphabet), c.kept) << c.fileName.toStdString();
    QString ascii;
    for (char32_t c = 0; c < 128; ++c)
        if (SheetNameAlphabet.contains(c))
            ascii += QChar(c);
    EXPECT_EQ(ascii, u" 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"_s);
    EXPECT_EQ(FilterChars(u"東京.pptx"_s, u"東"_s), u"東"_s);
    EXPECT_EQ(FilterChars(u"aAbB"_s, u"ab"_s), u"ab"_s); // case-sensitive

    EXPECT_EQ(CleanSheetName(u"[a]b[c]"_s), u"abc"_s);
    EXPECT_EQ(CleanSheetName(u"Quarterly results for the northern region"_s), u"Quarterly results for the nort"_s);
    EXPECT_EQ(CleanSheetName(QString(30, u'x')), QString(30, u'x'));
    EXPECT_EQ(CleanSheetName(u"["_s + QString(30, u'y') + u"]"_s), QString(30, u'y'));
    // The cut counts UTF-16 units and never parts a surrogate pair.
    EXPECT_EQ(CleanSheetName(QString(29, u'x') + u"😀"_s), QString(29, u'x'));
    EXPECT_EQ(CleanSheetName(u"𠮷"_s.repeated(16)), u"𠮷"_s.repeated(15));

    // The digits always fit: the name gives way to them, and only as far as needed.
    EXPECT_EQ(numberedName(u"Q3 Reviewpptx"_s, 4711), u"Q3 Reviewpptx4711"_s);
    EXPECT_EQ(numberedName(QString(26, u'n'), 8001), QString(26, u'n') + u"8001"_s);
    EXPECT_EQ(numberedName(QString(30, u'n'), 8001), QString(26, u'n') + u"8001"_s);
    EXPECT_EQ(numberedName(QString(30, u'n'), 7), QString(29, u'n') + u"7"_s);
    EXPECT_EQ(numberedName(QString(), 12), u"12"_s);
    EXPECT_EQ(numberedName(u"𠮷"_s.repeated(15), 7), u"𠮷"_s.repeated(14) + u"7"_s);
}

TEST(SheetNaming, RandomUpToReseedsEveryCallAndRoundsHalfToEven) {
    test::FixedRandom random;
    random.fractions = {0.0, 0.99999999, 0.5 / 8000, 1.5 / 8000, 2.5 / 8000, 0.5, 0.3 / 8000};
    EXPECT_EQ(RandomUpTo(random, 8000), 1);
    EXPECT_EQ(RandomUpTo(random, 8000), 8001);
    EXPECT_EQ(RandomUpTo(random, 8000), 1); // 0.5 goes to 0
    EXPECT_EQ(RandomUpTo(random, 8000), 3); // 1.5 goes to 2
    EXPECT_EQ(RandomUpTo(random, 8000), 3); // 2.5 goes to 2
    EXPECT_EQ(RandomUpTo(random, 8000), 4001);
    EXPECT_EQ(RandomUpTo(random, 8000), 1);
    EXPECT_EQ(random.seeds, 7);
}

TEST(SheetNaming, SheetExistsComparesWithoutCaseAndVisitsEverySheet) {
    test::RecordingSpreadsheetServer server;
    auto instance = server.create();
    instance->workbooksAdd();
    instance->sheetsAdd();
    instance->setActiveSheetName(u"Q3 Reviewpptx"_s);
    instance->sheetsAdd();
    server.calls.clear();
    EXPECT_TRUE(SheetExists(*instance, u"Sheet1"_s));
    EXPECT_EQ(server.count(u"sheetsCount"_s), 1);
    EXPECT_EQ(server.count(u"sheetName"_s), 3);              // also after the match on the first sheet
    EXPECT_TRUE(SheetExists(*instance, u"q3 reviewpptx"_s)); // the spreadsheet would refuse it
    EXPECT_FALSE(SheetExists(*instance, u"Q3 Reviewpptx "_s));
}

TEST(SheetNaming, TheExampleTableAndItsEdgeCasesThroughTheEngine) {
    office::SpreadsheetEngine engine;
    auto target = engine.create();
    target->workbooksAdd();
    test::FixedRandom random;
    random.fractions = {4710.0 / 8000, 11.0 / 8000, 0.0, 2063.0 / 8000, 4768.0 / 8000, 0.99999999};

    EXPECT_EQ(nameNewSheet(*target, random, u"/decks/Q3 Review.pptx"_s), u"Q3 Reviewpptx"_s);
    EXPECT_EQ(nameNewSheet(*target, random, u"/decks/budget_2017 (final).ppt"_s), u"budget2017 finalppt"_s);
    EXPECT_EQ(nameNewSheet(*target, random, u"/other/Q3 Review.pptx"_s), u"Q3 Reviewpptx4711"_s);
    EXPECT_EQ(nameNewSheet(*target, random, u"/decks/Quarterly results for the northern region.pptx"_s),
              u"Quarterly results for the nort"_s);
    // A differently cased name is a duplicate, as the spreadsheet would refuse it.
    EXPECT_EQ(nameNewSheet(*target, random, u"/decks/q3 review.pptx"_s), u"q3 reviewpptx12"_s);
    // The same 30 first characters: taken as it would be assigned, so digits that fit make it distinct.
    EXPECT_EQ(nameNewSheet(*target, random, u"/decks/Quarterly results for the northern sales.pptx"_s),
              u"Quarterly results for the nor1"_s);
    EXPECT_EQ(nameNewSheet(*target, random, u"/x/Quarterly results for the nort"_s),
              u"Quarterly results for the 2064"_s);
    // Names in other scripts: their letters are names too, twins and case twins get the digits.
    EXPECT_EQ(nameNewSheet(*target, random, u"/decks/東京"_s), u"東京"_s);
    EXPECT_EQ(nameNewSheet(*target, random, u"/a/Отчёт за квартал.pptx"_s), u"Отчёт за кварталpptx"_s);
    EXPECT_EQ(nameNewSheet(*target, random, u"/b/ОТЧЁТ ЗА КВАРТАЛ.pptx"_s), u"ОТЧЁТ ЗА КВАРТАЛpptx4769"_s);
    // Past U+FFFF the cut keeps whole characters, and the digits fit all the same.
    EXPECT_EQ(nameNewSheet(*target, random, u"/c/"_s + u"𠮷"_s.repeated(16)), u"𠮷"_s.repeated(15));
    EXPECT_EQ(nameNewSheet(*target, random, u"/d/"_s + u"𠮷"_s.repeated(16)), u"𠮷"_s.repeated(13) + u"8001"_s);
    // Nothing of the alphabet: the empty name is refused and the sheet keeps its own.
    EXPECT_EQ(nameNewSheet(*target, random, u"/decks/.-_"_s), u"Sheet14"_s);
    // Forward slashes end the folder part; a trailing one leaves the empty name.
    EXPECT_EQ(nameNewSheet(*target, random, u"/decks/"_s), u"Sheet15"_s);
    EXPECT_EQ(random.seeds, 6);

    QStringList names;
    for (int i = 1; i <= target->sheetsCount(); ++i)
        names << target->sheetName(i);
    EXPECT_EQ(names.first(), u"Sheet1"_s);
    EXPECT_EQ(names.mid(1, 4), (QStringList{u"Q3 Reviewpptx"_s, u"budget2017 finalppt"_s, u"Q3 Reviewpptx4711"_s,
                                            u"Quarterly results for the nort"_s}));
}

} // namespace
