#pragma once
// The user's people, places and things, kept as keys below "Options" in the settings store:
// Person\group\family name\00first name, Place\country\state\city\00location, Thing\group\00thing.
// Each key may carry the 32-bit values "icon", "type", "hotkey" (and "sort", which means nothing).
// A key name that starts with two decimal digits carries an order prefix that is not shown.
//
// This unit reads the store into records, removes keys, fills the Add Options dialog's lists and
// writes its new entries, and says what applying a record puts into the picture data form. The tree
// control and the dialog only show it.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class SettingsStore;

// The "type" value of a key.
enum class OptionKind : quint32 { Group = 0, NameEntry = 1, PlaceEntry = 2, NameEntryAlt = 3, Category = 4 };

// The tree's image list, in the order the images are loaded; each is the normal and the selected image.
enum OptionImage : int { ImageThing = 0, ImagePerson = 1, ImageGroup = 2, ImagePlace = 3 };

// One key of the store, as the tree shows it.
struct OptionRecord {
    QString keyName;  // the name as stored, order prefix included
    QString text;     // the shown text: the name without its order prefix
    int order = -1;   // the two-digit prefix, -1 without one
    quint32 kind = 0;
    quint32 hotkey = 0;  // a key code 112..123 (F1..F12), 0 for none
    quint32 icon = 0;
    OptionRecord* parent = nullptr;
    std::vector<std::unique_ptr<OptionRecord>> children;

    bool draggable() const { return kind != quint32(OptionKind::Group) && kind != quint32(OptionKind::Category); }
    // Shown texts from the category down to this record.
    QStringList shownPath() const;
    // The key's path in the store, from "Options" down, with the stored names.
    QString storePath() const;
};

using OptionRecords = std::vector<std::unique_ptr<OptionRecord>>;

struct SplitName {
    QString text;
    int order = -1;
};
// "00Anna" is Anna with order 0; "1Main" keeps its text and has no order.
SplitName splitKeyName(const QString& name);
// The stored name of a shown text: "%02d%s" with an order, the text itself without one.
QString joinKeyName(const QString& text, int order);

// The shown texts of one tree item and its ancestors, root first, joined by ":::".
QString OptionPath(const QStringList& shownTexts);

// What applying a record puts into the form.
struct OptionEffect {
    QStringList people;  // AddPerson, in this order
    // SetPlace: location, city, state, country.
    std::optional<std::array<QString, 4>> place;
};
enum class ApplyBy { Drop, Hotkey };
// Family names dropped give every first name under them; a hot key always gives one entry.
OptionEffect optionEffect(const OptionRecord& record, ApplyBy how);
// Every record, in tree order, whose hot key is `keyCode`.
std::vector<const OptionRecord*> recordsWithHotkey(const OptionRecords& roots, quint32 keyCode);

class OptionsStore {
public:
    static inline const QString kRoot = QStringLiteral("Options");
    // Shown, without records, when the store holds no category.
    static QStringList defaultCategories() {
        return {QStringLiteral("Person"), QStringLiteral("Place"), QStringLiteral("Thing")};
    }

    explicit OptionsStore(SettingsStore& store) : store_(store) {}

    // Every key below "Options", in the store's order (ascending without regard to case). Top-level
    // keys are categories whatever their "type" says. Empty when the store holds no key.
    OptionRecords load() const;

    // Deletes the record's key with its whole subtree. A category cannot be removed.
    bool remove(const OptionRecord& record);

    // The key codes of the hot keys Ctrl+F1 to Ctrl+F12.
    static constexpr quint32 kFirstHotkey = 112, kLastHotkey = 123;
    // "F5" for 116; empty for a code outside F1..F12.
    static QString hotkeyName(quint32 keyCode);
    // Gives the record's key the hot key `keyCode` (F1..F12), or none for 0. Only entries that
    // applying puts into the form take one. The record follows.
    bool setHotkey(OptionRecord& record, quint32 keyCode);

    // The Add Options dialog's lists: the shown names `depth` levels below a category, one for every
    // parent under which they occur, in store order. Person: 1 group, 2 family name, 3 first name;
    // Place: 1 country .. 4 location; Thing: 1 group, 2 thing.
    QStringList namesAt(const QString& category, int depth) const;

    // A name the store can hold as one key: not empty, no "/" or "\".
    static bool isValidKeyName(const QString& name);

    // Save of the Add Options dialog. The three categories are created first, whatever is added;
    // existing keys are reused and their values written again. False when a name cannot be a key.
    bool addPerson(const QString& group, const QString& lastName, const QString& firstName);
    bool addPlace(const QString& country, const QString& state, const QString& city, const QString& location);
    bool addThing(const QString& group, const QString& thing);

    // The stored name for a typed name. Leaves always get the prefix "00"; a name above them gets one
    // only when it starts with two digits itself, so that it is shown as typed.
    static QString keyNameFor(const QString& typed, bool leaf);

private:
    void readChildren(OptionRecord& parent, const QString& path) const;
    void createCategories();
    // Creates `path` below "Options" and writes the values when given.
    void createKey(const QString& path, std::optional<std::pair<quint32, quint32>> iconAndType);

    SettingsStore& store_;
};
