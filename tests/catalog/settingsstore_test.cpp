// The settings store must behave like the registry key it stands in for, and its file must bring
// everything back after a reload: key names of the options tree, empty keys, typed values.

#include "settingsstore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <memory>

#include "testsupport.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QString path() const { return sandbox_.filePath(QStringLiteral("Snaplore.conf")); }

    // QSettings shares one parsed copy per file within a process; reading a copy of the file under
    // another name proves that the file on disk holds everything.
    std::unique_ptr<SettingsStore> reloaded(SettingsStore& store) {
        EXPECT_TRUE(store.sync());
        const QString copy = sandbox_.filePath(QStringLiteral("reload%1.conf").arg(++reloads_));
        EXPECT_TRUE(QFile::copy(path(), copy));
        return std::make_unique<SettingsStore>(copy);
    }

    testsupport::SandBox sandbox_;
    int reloads_ = 0;
};

TEST_F(SettingsStoreTest, CreatedKeyExistsWithoutValuesAfterReload) {
    SettingsStore store(path());
    EXPECT_FALSE(store.keyExists(QStringLiteral("Options\\Place")));
    store.createKey(QStringLiteral("Options\\Place\\USA"));
    store.createKey(QStringLiteral("Options/Thing"));

    auto again = reloaded(store);
    for (const QString& key : {QStringLiteral("Options"), QStringLiteral("Options\\Place"),
                               QStringLiteral("Options\\Place\\USA"), QStringLiteral("Options\\Thing")})
        EXPECT_TRUE(again->keyExists(key)) << key.toStdString();
    EXPECT_TRUE(again->valueNames(QStringLiteral("Options\\Place\\USA")).isEmpty());
    EXPECT_EQ(again->subKeys(QStringLiteral("Options")), QStringList({"Place", "Thing"}));
    EXPECT_TRUE(again->subKeys(QStringLiteral("Options\\Place\\USA")).isEmpty());
}

TEST_F(SettingsStoreTest, NamesMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
    SettingsStore store(path());
    store.writeDword(QStringLiteral("Settings"), QStringLiteral("LastTips"), 3);
    store.writeDword(QStringLiteral("SETTINGS"), QStringLiteral("lasttips"), 4);
    store.createKey(QStringLiteral("options\\PERSON"));
    store.createKey(QStringLiteral("Options\\Person\\Berg"));

    EXPECT_EQ(store.readDword(QStringLiteral("settings"), QStringLiteral("LASTTIPS")), 4u);
    EXPECT_EQ(store.valueNames(QStringLiteral("Settings")), QStringList{"LastTips"});
    EXPECT_EQ(store.subKeys({}), QStringList({"options", "Settings"}));
    EXPECT_EQ(store.subKeys(QStringLiteral("OPTIONS")), QStringList{"PERSON"});
    EXPECT_TRUE(store.keyExists(QStringLiteral("Options\\person\\BERG")));
}

TEST_F(SettingsStoreTest, SubkeysEnumerateAscendingWithoutRegardToCase) {
    SettingsStore store(path());
    for (const char* name : {"beta", "Alpha", "12Main", "Gamma", "00Anna", "alpha2"})
        store.createKey(QStringLiteral("Options\\Person\\") + QLatin1String(name));
    EXPECT_EQ(store.subKeys(QStringLiteral("Options\\Person")),
              QStringList({"00Anna", "12Main", "Alpha", "alpha2", "beta", "Gamma"}));
}

// Key and value names from the options tree are whatever the user typed.
TEST_F(SettingsStoreTest, ArbitraryNamesAndTextsSurviveTheFile) {
    const QStringList names = {QStringLiteral("00Anna"),           QStringLiteral("Family Name"),
                               QStringLiteral("00Zilker Park"),    QStringLiteral("Åsa Öberg-Ström"),
                               QStringLiteral("Café; a=b, c #1"),  QStringLiteral("東京"),
                               QStringLiteral(" lead and trail "), QStringLiteral("%41 not escaped")};
    const QStringList texts = {QStringLiteral("a, b, c"),         QStringLiteral("\"quoted\" \\ back"),
                               QStringLiteral("two\nlines\ttab"), QStringLiteral("@Variant(not one)"),
                               QStringLiteral("  padded  "),      QStringLiteral("dword:0000002a"),
                               QStringLiteral("sz:tagged"),       QStringLiteral("Ünïcödé 東京")};
    SettingsStore store(path());
    for (const QString& name : names) store.createKey(QStringLiteral("Options\\Person\\") + name);
    for (qsizetype i = 0; i < texts.size(); ++i) store.writeString(QStringLiteral("Settings"), names[i], texts[i]);

    auto again = reloaded(store);
    QStringList expected = names;
    std::sort(expected.begin(), expected.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(again->subKeys(QStringLiteral("Options\\Person")), expected);
    for (qsizetype i = 0; i < texts.size(); ++i)
        EXPECT_EQ(again->readString(QStringLiteral("Settings"), names[i]), texts[i]) << names[i].toStdString();
}

TEST_F(SettingsStoreTest, ValuesAreTypedAndAbsentOrMistypedReadTheDefault) {
    SettingsStore store(path());
    const QString key = QStringLiteral("MemoryCard");
    store.writeDword(key, QStringLiteral("Delete"), 0xFFFFFFFFu);
    store.writeDword(key, QStringLiteral("Zero"), 0);
    store.writeString(key, QStringLiteral("Source"), QStringLiteral("/media/card"));
    store.writeString(key, QStringLiteral("Number"), QStringLiteral("42"));
    store.writeBinary(key, QStringLiteral("State"), QByteArray("\0\1\2\xff", 4));

    auto again = reloaded(store);
    EXPECT_EQ(again->readDword(key, QStringLiteral("Delete")), 0xFFFFFFFFu);
    EXPECT_EQ(again->dword(key, QStringLiteral("Zero")), std::optional<quint32>(0));
    EXPECT_EQ(again->readString(key, QStringLiteral("Source")), QStringLiteral("/media/card"));
    EXPECT_EQ(again->binary(key, QStringLiteral("State")), std::optional<QByteArray>(QByteArray("\0\1\2\xff", 4)));

    // Absent values and absent keys read as 0 or empty, or as the given default.
    EXPECT_EQ(again->readDword(key, QStringLiteral("Missing")), 0u);
    EXPECT_EQ(again->readDword(QStringLiteral("NoSuchKey"), QStringLiteral("Delete"), 7), 7u);
    EXPECT_EQ(again->readString(key, QStringLiteral("Missing")), QString());
    // A value of the wrong type is no value: the default stays.
    EXPECT_EQ(again->readDword(key, QStringLiteral("Number"), 9), 9u);
    EXPECT_EQ(again->readString(key, QStringLiteral("Delete"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_FALSE(again->binary(key, QStringLiteral("Source")).has_value());
    EXPECT_TRUE(again->valueExists(key, QStringLiteral("number")));
}

TEST_F(SettingsStoreTest, DeletingAKeyTakesItsSubtreeAndLeavesTheParent) {
    SettingsStore store(path());
    store.writeDword(QStringLiteral("Options\\Person\\Family\\Berg\\00Anna"), QStringLiteral("icon"), 1);
    store.createKey(QStringLiteral("Options\\Person\\Family\\Berg\\00Olaf"));
    store.createKey(QStringLiteral("Options\\Person\\Family\\Lund"));

    EXPECT_TRUE(store.deleteKey(QStringLiteral("options\\person\\family\\BERG")));
    EXPECT_FALSE(store.deleteKey(QStringLiteral("Options\\Person\\Family\\Berg")));
    EXPECT_FALSE(store.deleteKey({}));  // the program's own key stays

    auto again = reloaded(store);
    EXPECT_FALSE(again->keyExists(QStringLiteral("Options\\Person\\Family\\Berg\\00Anna")));
    EXPECT_EQ(again->subKeys(QStringLiteral("Options\\Person\\Family")), QStringList{"Lund"});

    // The last child gone, the parent still exists, as a registry key would.
    EXPECT_TRUE(again->deleteKey(QStringLiteral("Options\\Person\\Family\\Lund")));
    EXPECT_TRUE(again->keyExists(QStringLiteral("Options\\Person\\Family")));
    EXPECT_TRUE(again->subKeys(QStringLiteral("Options\\Person\\Family")).isEmpty());
}

TEST_F(SettingsStoreTest, DeletingTheLastValueKeepsTheKey) {
    SettingsStore store(path());
    store.writeString(QStringLiteral("Settings"), QStringLiteral("LastDirectory"), QStringLiteral("/photos"));
    EXPECT_TRUE(store.deleteValue(QStringLiteral("settings"), QStringLiteral("lastdirectory")));
    EXPECT_FALSE(store.deleteValue(QStringLiteral("Settings"), QStringLiteral("LastDirectory")));

    auto again = reloaded(store);
    EXPECT_TRUE(again->keyExists(QStringLiteral("Settings")));
    EXPECT_TRUE(again->valueNames(QStringLiteral("Settings")).isEmpty());
}

}  // namespace
