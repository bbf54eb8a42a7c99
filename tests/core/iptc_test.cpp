// The IPTC block: parsing, the dataset list it builds, text encodings and the event title.

#include "iptcblock.h"
#include "jpegbuilder.h"

#include <gtest/gtest.h>

using namespace jpegbuilder;

namespace {

IptcBlock parse(const QByteArray& datasets) {
    IptcBlock block;
    block.ParseDatasetList(datasets);
    return block;
}

QByteArray body(const IptcBlock& block) {
    const QByteArray list = block.BuildDatasetList();
    return list.mid(2);
}

}  // namespace

TEST(IptcParse, FieldsListsAndKeptDatasets) {
    const QByteArray data = dataset(2, 0, QByteArray("\x00\x04", 2)) + dataset(2, 105, "Head") + dataset(2, 25, "Anna") +
                            dataset(2, 25, "Ben") + dataset(2, 20, "Sup") + dataset(2, 62, "20200101") +
                            dataset(2, 105, "Later");
    const IptcBlock b = parse(data);
    EXPECT_EQ(b.headline, "Later");  // a later occurrence replaces an earlier one
    EXPECT_EQ(b.people, QStringList({"Anna", "Ben"}));
    EXPECT_EQ(b.supplementalCategories, QStringList({"Sup"}));
    EXPECT_EQ(b.UnknownDatasets, dataset(2, 0, QByteArray("\x00\x04", 2)) + dataset(2, 62, "20200101"));
}

TEST(IptcParse, WhereParsingStopsAndGoesOn) {
    // Another record is kept and does not end the list; an empty value is skipped; a byte that does
    // not start a dataset ends it; a length beyond the data ends it.
    IptcBlock b = parse(dataset(1, 90, "\x1B%G") + dataset(2, 105, "") + dataset(2, 120, "Cap") + QByteArray("\x00garbage", 8) +
                        dataset(2, 90, "Lost"));
    EXPECT_EQ(b.otherRecordsBefore, dataset(1, 90, "\x1B%G"));
    EXPECT_EQ(b.caption, "Cap");
    EXPECT_TRUE(b.city.isEmpty());
    b = parse(dataset(2, 105, "Ok") + QByteArray("\x1C\x02\x78\x7F\x00short", 10));
    EXPECT_EQ(b.headline, "Ok");
    EXPECT_TRUE(b.caption.isEmpty());
}

TEST(IptcParse, DateTimeNeedsBothTexts) {
    EXPECT_FALSE(parse(dataset(2, 55, "20210506")).dateTime.isValid());
    const IptcBlock b = parse(dataset(2, 55, "20210506") + dataset(2, 60, "070809+0200"));
    EXPECT_EQ(b.dateTime, QDateTime(QDate(2021, 5, 6), QTime(7, 8, 9)));
}

TEST(IptcParse, TextEncodings) {
    struct Case {
        const char* name;
        QByteArray data;
        QString headline;
    } cases[] = {
        {"declared UTF-8", dataset(1, 90, "\x1B%G") + dataset(2, 105, "K\xC3\xB6ln"), QString::fromUtf8("Köln")},
        {"undeclared valid UTF-8", dataset(2, 105, "K\xC3\xB6ln"), QString::fromUtf8("Köln")},
        {"undeclared Latin-1", dataset(2, 105, "K\xF6ln"), QString::fromUtf8("Köln")},
        {"Windows-1252 euro", dataset(2, 105, "5 \x80"), QString::fromUtf8("5 €")},
        {"other declared set", dataset(1, 90, "\x1B.A") + dataset(2, 105, "K\xC3\xB6ln"), QString::fromUtf8("KÃ¶ln")},
    };
    for (const Case& c : cases) EXPECT_EQ(parse(c.data).headline, c.headline) << c.name;
}

TEST(IptcBuild, OrderPaddingAndEmptyBlock) {
    IptcBlock empty;
    EXPECT_EQ(empty.BuildDatasetList(), QByteArray(2, '\0'));

    IptcBlock b;
    b.headline = "H";
    b.event = "E";
    b.people = {"P1", "P2"};
    b.supplementalCategories = {"S"};
    b.rating = "2";
    b.UnknownDatasets = dataset(2, 62, "20200101");
    const QByteArray expected = dataset(2, 5, "E") + dataset(2, 105, "H") + dataset(2, 10, "2") + dataset(2, 20, "S") +
                                dataset(2, 25, "P1") + dataset(2, 25, "P2") + dataset(2, 62, "20200101");
    ASSERT_EQ(expected.size() % 2, 1);
    const QByteArray list = b.BuildDatasetList();
    EXPECT_EQ(list.mid(2), expected + '\0');  // an odd list gets one padding byte, counted in the length
    EXPECT_EQ((uint8_t(list[0]) << 8) | uint8_t(list[1]), expected.size() + 1);
}

TEST(IptcBuild, NonAsciiTextIsWrittenAsDeclaredUtf8) {
    IptcBlock ascii = parse(dataset(1, 0, QByteArray("\x00\x04", 2)) + dataset(2, 105, "Plain"));
    EXPECT_FALSE(body(ascii).contains("\x1C\x01\x5A"));

    IptcBlock b = parse(dataset(1, 0, QByteArray("\x00\x04", 2)) + dataset(1, 90, "\x1B.A") + dataset(2, 105, "x"));
    b.headline = QString::fromUtf8("Grüße");
    b.people = {QString::fromUtf8("Иван")};
    const QByteArray out = body(b);
    // The old character set is replaced; record 1 stays ahead of record 2.
    EXPECT_TRUE(out.startsWith(dataset(1, 0, QByteArray("\x00\x04", 2)) + QByteArray("\x1C\x01\x5A\x00\x03\x1B\x25\x47", 8)));
    EXPECT_FALSE(out.contains("\x1B.A"));
    const IptcBlock back = parse(out);
    EXPECT_EQ(back.headline, QString::fromUtf8("Grüße"));
    EXPECT_EQ(back.people, QStringList({QString::fromUtf8("Иван")}));
}

TEST(IptcBuild, KeptLatin1TextFollowsTheSwitchToUtf8) {
    // Read as Windows-1252: a contact (2:118) we do not interpret, and binary data (2:200).
    IptcBlock b = parse(dataset(2, 105, "Caf\xE9") + dataset(2, 118, "M\xFCller") + dataset(2, 200, "\xFF\xFE"));
    b.caption = QString::fromUtf8("naïve");
    const QByteArray out = body(b);
    EXPECT_TRUE(out.contains(dataset(2, 118, "M\xC3\xBCller")));
    EXPECT_TRUE(out.contains(dataset(2, 200, "\xFF\xFE")));
    EXPECT_EQ(parse(out).headline, QString::fromUtf8("Café"));
}

TEST(IptcBuild, DateTextsFollowTheDateButKeepAZoneOfAnUnchangedTime) {
    IptcBlock b = parse(dataset(2, 55, "20210506") + dataset(2, 60, "070809+0200"));
    b.RefreshDateTexts();
    EXPECT_EQ(b.timeText, "070809+0200");
    b.dateTime = QDateTime(QDate(2022, 1, 2), QTime(3, 4, 5));
    b.RefreshDateTexts();
    EXPECT_EQ(b.dateText, "20220102");
    EXPECT_EQ(b.timeText, "030405");

    IptcBlock dateOnly;
    dateOnly.dateTime = QDateTime(QDate(2000, 12, 31), QTime(23, 59, 58));
    dateOnly.RefreshDateTexts();
    EXPECT_EQ(body(dateOnly), dataset(2, 55, "20001231") + dataset(2, 60, "235958"));
}

TEST(IptcBuild, ValuesBeyondTheFormatAreRefused) {
    IptcBlock b;
    b.caption = QString(70000, 'x');
    WriteError error;
    EXPECT_TRUE(b.BuildDatasetList(&error).isEmpty());
    EXPECT_EQ(error, WriteError::TooLarge);
}

TEST(IptcBlockOps, ClearAndCopyLeaveThumbnailKeptDataAndPath) {
    IptcBlock source = parse(dataset(2, 105, "H") + dataset(2, 25, "A") + dataset(2, 55, "20200101") +
                             dataset(2, 60, "101010"));
    IptcBlock target = parse(dataset(2, 62, "x") + dataset(2, 90, "City"));
    target.setPath("/p.jpg");
    target.Copy(source);
    EXPECT_EQ(target.headline, "H");
    EXPECT_TRUE(target.city.isEmpty());
    EXPECT_EQ(target.dateTime, source.dateTime);
    EXPECT_EQ(target.UnknownDatasets, dataset(2, 62, "x"));
    EXPECT_EQ(target.path(), "/p.jpg");
    target.Clear();
    EXPECT_TRUE(target.headline.isEmpty());
    EXPECT_TRUE(target.people.isEmpty());
    EXPECT_FALSE(target.dateTime.isValid());
    EXPECT_EQ(target.UnknownDatasets, dataset(2, 62, "x"));
}

TEST(IptcBlockOps, EventTitles) {
    struct Case {
        QString event;
        QString title;
        QString dateText = "20210506";
    } cases[] = {
        {"", "Unknown"},
        {"Picnic", "05/06/2021 Picnic"},
        {"-->x", "05/06/2021 -->x"},
        {"07/04/2021-->07/04/2021:::Fourth", "07/04/2021 Fourth"},
        {"07/02/2021-->07/05/2021:::Trip", "07/02-05/2021 Trip"},
        {"06/28/2021-->07/05/2021:::Trip", "06/28 - 07/05/2021 Trip"},
        {"12/30/2020-->01/02/2021:::New Year", "12/30/2020 - 01/02/2021 New Year"},
        // Without a date, as other programs write a name: the name alone.
        {"Zoo", "Zoo", ""},
        {"-->x", "-->x", ""},
        {"Unknown", "Unknown", ""},
        {"", "Unknown", ""},
        {"07/02/2021-->07/05/2021:::Trip", "07/02-05/2021 Trip", ""},
    };
    for (const Case& c : cases) {
        IptcBlock b;
        b.dateText = c.dateText;
        b.event = c.event;
        EXPECT_EQ(b.EventTitle(), c.title) << c.event.toStdString();
        // Grouped by a key that shows as the same title.
        EXPECT_EQ(IptcBlock::EventTitleOfKey(b.EventKey()), c.title) << c.event.toStdString();
    }
}

// A dateless event called "Unknown" shows as "Unknown" but is not grouped with the pictures that have
// no event; every other event is grouped by its title.
TEST(IptcBlockOps, OnlyADatelessUnknownIsGroupedApartFromItsTitle) {
    IptcBlock none, dateless, dated, named;
    dateless.event = "Unknown";
    dated.event = "Unknown";
    dated.dateText = "20210506";
    named.event = "Zoo";
    EXPECT_EQ(none.EventKey(), "Unknown");
    EXPECT_NE(dateless.EventKey(), none.EventKey());
    EXPECT_EQ(dateless.EventTitle(), "Unknown");
    EXPECT_EQ(dated.EventKey(), "05/06/2021 Unknown");
    EXPECT_EQ(named.EventKey(), "Zoo");
}
