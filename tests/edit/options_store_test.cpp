// The options store on the settings store: reading the tree with its order prefixes, removing keys,
// the Add Options dialog's lists and new keys, and what applying an entry puts into the form.

#include <gtest/gtest.h>

#include "optionsstore.h"
#include "settingsstore.h"
#include "testsupport.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

class OptionsStoreTest : public ::testing::Test {
protected:
    void key(const QString& path, std::optional<quint32> icon = {}, std::optional<quint32> type = {},
             std::optional<quint32> hotkey = {}) {
        const QString full = "Options\\" + path;
        settings_.createKey(full);
        if (icon) settings_.writeDword(full, "icon", *icon);
        if (type) settings_.writeDword(full, "type", *type);
        if (hotkey) settings_.writeDword(full, "hotkey", *hotkey);
    }
    // The Berg family and a place, as the Add Options dialog writes them.
    void family() {
        ASSERT_TRUE(options_.addPerson("Family", "Berg", "Anna"));
        ASSERT_TRUE(options_.addPerson("Family", "Berg", "Olaf"));
        ASSERT_TRUE(options_.addPlace("USA", "Texas", "Austin", "Zilker Park"));
        ASSERT_TRUE(options_.addThing("Pets", "Rex"));
    }
    static const OptionRecord* find(const OptionRecords& roots, const QStringList& path) {
        const OptionRecords* level = &roots;
        const OptionRecord* found = nullptr;
        for (const QString& text : path) {
            found = nullptr;
            for (const auto& record : *level)
                if (record->text == text) found = record.get();
            if (!found) return nullptr;
            level = &found->children;
        }
        return found;
    }
    static QStringList texts(const OptionRecords& records) {
        QStringList list;
        for (const auto& record : records) list.append(record->text);
        return list;
    }

    testsupport::SandBox box_;
    SettingsStore settings_{box_.filePath("settings.ini")};
    OptionsStore options_{settings_};
};

}  // namespace

TEST(OptionNames, OrderPrefixes) {
    struct Case {
        QString name;
        QString text;
        int order;
    };
    const Case cases[] = {{"00Anna", "Anna", 0}, {"12Main", "Main", 12}, {"1Main", "1Main", -1},
                          {"Anna", "Anna", -1},  {"07", "", 7},          {"", "", -1}};
    for (const Case& c : cases) {
        const SplitName split = splitKeyName(c.name);
        EXPECT_EQ(split.text, c.text) << c.name.toStdString();
        EXPECT_EQ(split.order, c.order) << c.name.toStdString();
    }
    EXPECT_EQ(joinKeyName("Main", 12), "12Main");
    EXPECT_EQ(joinKeyName("Anna", 0), "00Anna");
    EXPECT_EQ(joinKeyName("Anna", -1), "Anna");
    EXPECT_EQ(OptionPath({"Place", "USA", "Texas"}), "Place:::USA:::Texas");
}

TEST_F(OptionsStoreTest, AnEmptyStoreHasNoRecords) {
    EXPECT_TRUE(options_.load().empty());
    settings_.createKey("Options");
    EXPECT_TRUE(options_.load().empty());
    EXPECT_EQ(OptionsStore::defaultCategories(), (QStringList{"Person", "Place", "Thing"}));
}

TEST_F(OptionsStoreTest, LoadsInStoreOrderWithoutPrefixes) {
    key("Thing");
    key("Person", 2, 0);
    key("Person\\Family", 2, 0);
    key("Person\\Family\\Berg", 2, 1);
    key("Person\\Family\\Berg\\00Olaf", 1, 1);
    key("Person\\Family\\Berg\\00anna", 1, 1, 116);
    key("Place\\12Main", 3, 2);
    key("Place\\1Main");
    const QString longName(80, QLatin1Char('x'));
    key("Place\\" + longName);
    key("Place\\zeta");

    const OptionRecords roots = options_.load();
    EXPECT_EQ(texts(roots), (QStringList{"Person", "Place", "Thing"}));
    for (const auto& root : roots) {
        EXPECT_EQ(root->kind, quint32(OptionKind::Category));  // forced for every category
        EXPECT_EQ(root->parent, nullptr);
    }
    EXPECT_EQ(roots[0]->icon, quint32(ImageGroup));
    // Ascending without regard to case; the order prefix is read, not shown.
    const OptionRecord* berg = find(roots, {"Person", "Family", "Berg"});
    ASSERT_NE(berg, nullptr);
    EXPECT_EQ(texts(berg->children), (QStringList{"anna", "Olaf"}));
    const OptionRecord* anna = berg->children[0].get();
    EXPECT_EQ(anna->keyName, "00anna");
    EXPECT_EQ(anna->order, 0);
    EXPECT_EQ(anna->kind, quint32(OptionKind::NameEntry));
    EXPECT_EQ(anna->icon, quint32(ImagePerson));
    EXPECT_EQ(anna->hotkey, 116u);
    EXPECT_EQ(anna->shownPath(), (QStringList{"Person", "Family", "Berg", "anna"}));
    EXPECT_EQ(anna->storePath(), "Options\\Person\\Family\\Berg\\00anna");

    const OptionRecord* place = find(roots, {"Place"});
    ASSERT_NE(place, nullptr);
    // A name over 63 characters no longer hides the keys listed after it.
    EXPECT_EQ(texts(place->children), (QStringList{"Main", "1Main", longName, "zeta"}));
    EXPECT_EQ(place->children[0]->order, 12);
    EXPECT_EQ(place->children[1]->order, -1);
}

TEST_F(OptionsStoreTest, RemovingAnnaDeletesHerKeyOnly) {
    family();
    OptionRecords roots = options_.load();
    const OptionRecord* anna = find(roots, {"Person", "Family", "Berg", "Anna"});
    ASSERT_NE(anna, nullptr);
    EXPECT_TRUE(options_.remove(*anna));
    EXPECT_FALSE(settings_.keyExists("Options\\Person\\Family\\Berg\\00Anna"));
    EXPECT_TRUE(settings_.keyExists("Options\\Person\\Family\\Berg\\00Olaf"));

    // A key with a prefix above the item: removed by its stored names.
    key("Thing\\05Toys\\00Ball", 0, 1);
    roots = options_.load();
    const OptionRecord* ball = find(roots, {"Thing", "Toys", "Ball"});
    ASSERT_NE(ball, nullptr);
    EXPECT_TRUE(options_.remove(*ball));
    EXPECT_FALSE(settings_.keyExists("Options\\Thing\\05Toys\\00Ball"));

    // Removing a family takes its whole subtree; a category cannot be removed.
    roots = options_.load();
    EXPECT_TRUE(options_.remove(*find(roots, {"Person", "Family", "Berg"})));
    EXPECT_FALSE(settings_.keyExists("Options\\Person\\Family\\Berg\\00Olaf"));
    EXPECT_TRUE(settings_.keyExists("Options\\Person\\Family"));
    roots = options_.load();
    EXPECT_FALSE(options_.remove(*find(roots, {"Person"})));
    EXPECT_TRUE(settings_.keyExists("Options\\Person"));
}

TEST_F(OptionsStoreTest, AddOptionsKeysAndValues) {
    ASSERT_TRUE(options_.addThing("Pets", "Rex"));
    // Saving a thing creates the other two categories as well.
    for (const char* category : {"Person", "Place", "Thing"}) EXPECT_TRUE(settings_.keyExists(QString("Options\\") + category));
    EXPECT_EQ(settings_.readDword("Options\\Thing\\Pets\\00Rex", "icon", 99), 0u);
    EXPECT_EQ(settings_.readDword("Options\\Thing\\Pets\\00Rex", "type"), 1u);
    EXPECT_TRUE(settings_.valueNames("Options\\Thing\\Pets").isEmpty());

    ASSERT_TRUE(options_.addPerson("Family", "Berg", "Anna"));
    EXPECT_EQ(settings_.readDword("Options\\Person", "icon"), 2u);
    EXPECT_EQ(settings_.readDword("Options\\Person", "type", 99), 0u);
    EXPECT_EQ(settings_.readDword("Options\\Person\\Family", "icon"), 2u);
    EXPECT_EQ(settings_.readDword("Options\\Person\\Family\\Berg", "type"), 1u);
    EXPECT_EQ(settings_.readDword("Options\\Person\\Family\\Berg\\00Anna", "icon"), 1u);
    EXPECT_EQ(settings_.readDword("Options\\Person\\Family\\Berg\\00Anna", "type"), 1u);
    // The same again changes nothing but the values' rewrite.
    ASSERT_TRUE(options_.addPerson("Family", "Berg", "Anna"));
    EXPECT_EQ(settings_.subKeys("Options\\Person\\Family\\Berg"), QStringList{"00Anna"});

    ASSERT_TRUE(options_.addPlace("USA", "Texas", "Austin", "Zilker Park"));
    EXPECT_TRUE(settings_.valueNames("Options\\Place\\USA\\Texas\\Austin").isEmpty());
    EXPECT_EQ(settings_.readDword("Options\\Place\\USA\\Texas\\Austin\\00Zilker Park", "icon"), 3u);
    EXPECT_EQ(settings_.readDword("Options\\Place\\USA\\Texas\\Austin\\00Zilker Park", "type"), 2u);

    // A group that starts with two digits keeps them in the tree.
    ASSERT_TRUE(options_.addThing("2004 Trip", "Tent"));
    EXPECT_TRUE(settings_.keyExists("Options\\Thing\\002004 Trip\\00Tent"));
    EXPECT_NE(find(options_.load(), {"Thing", "2004 Trip", "Tent"}), nullptr);

    // Names the store cannot hold as one key are refused and nothing is written.
    for (const char* bad : {"", "a/b", "a\\b"}) {
        EXPECT_FALSE(options_.addPerson("Club", "Lind", QString(bad)));
        EXPECT_FALSE(options_.addThing(QString(bad), "Ball"));
    }
    EXPECT_FALSE(settings_.keyExists("Options\\Person\\Club"));
}

TEST_F(OptionsStoreTest, NamesOfEachLevelForTheDialog) {
    family();
    ASSERT_TRUE(options_.addPerson("Club", "Berg", "Eva"));
    EXPECT_EQ(options_.namesAt("Person", 1), (QStringList{"Club", "Family"}));
    EXPECT_EQ(options_.namesAt("Person", 2), (QStringList{"Berg", "Berg"}));  // once per parent
    EXPECT_EQ(options_.namesAt("Person", 3), (QStringList{"Eva", "Anna", "Olaf"}));
    EXPECT_EQ(options_.namesAt("Place", 4), QStringList{"Zilker Park"});
    EXPECT_EQ(options_.namesAt("Place", 3), QStringList{"Austin"});
    EXPECT_EQ(options_.namesAt("Thing", 2), QStringList{"Rex"});
    EXPECT_TRUE(options_.namesAt("Nothing", 1).isEmpty());
}

TEST_F(OptionsStoreTest, ApplyingEntries) {
    family();
    key("Thing\\Pets\\00Rex", 0, 1, 116);
    key("Person\\Family\\Berg\\00Olaf", 1, 1, 116);
    const OptionRecords roots = options_.load();

    const OptionRecord* berg = find(roots, {"Person", "Family", "Berg"});
    EXPECT_EQ(optionEffect(*berg, ApplyBy::Drop).people, (QStringList{"Anna Berg", "Olaf Berg"}));
    EXPECT_EQ(optionEffect(*berg, ApplyBy::Hotkey).people, QStringList{"Berg Family"});
    const OptionRecord* anna = find(roots, {"Person", "Family", "Berg", "Anna"});
    EXPECT_EQ(optionEffect(*anna, ApplyBy::Drop).people, QStringList{"Anna Berg"});
    EXPECT_FALSE(optionEffect(*anna, ApplyBy::Drop).place);
    const OptionRecord* rex = find(roots, {"Thing", "Pets", "Rex"});
    EXPECT_EQ(optionEffect(*rex, ApplyBy::Drop).people, QStringList{"Rex Pets"});

    const OptionEffect park = optionEffect(*find(roots, {"Place", "USA", "Texas", "Austin", "Zilker Park"}), ApplyBy::Drop);
    EXPECT_TRUE(park.people.isEmpty());
    ASSERT_TRUE(park.place);
    EXPECT_EQ(*park.place, (std::array<QString, 4>{"Zilker Park", "Austin", "Texas", "USA"}));

    // Groups and categories give nothing.
    for (const QStringList& path : {QStringList{"Person"}, QStringList{"Person", "Family"}, QStringList{"Place", "USA"}}) {
        const OptionEffect none = optionEffect(*find(roots, path), ApplyBy::Drop);
        EXPECT_TRUE(none.people.isEmpty());
        EXPECT_FALSE(none.place);
        EXPECT_FALSE(find(roots, path)->draggable());
    }

    // Ctrl+F5 (116) finds both records that carry it, in tree order.
    const auto hot = recordsWithHotkey(roots, 116);
    ASSERT_EQ(hot.size(), 2u);
    EXPECT_EQ(hot[0]->text, "Olaf");
    EXPECT_EQ(hot[1]->text, "Rex");
    EXPECT_TRUE(recordsWithHotkey(roots, 117).empty());
}
