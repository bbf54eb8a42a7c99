#include "optionsstore.h"

#include "settingsstore.h"

namespace {

const QString kSeparator = QStringLiteral("\\");
const QString kIcon = QStringLiteral("icon");
const QString kType = QStringLiteral("type");
const QString kHotkey = QStringLiteral("hotkey");

QString childPath(const QString& path, const QString& name) { return path + kSeparator + name; }

void collectHotkeys(const OptionRecords& records, quint32 keyCode, std::vector<const OptionRecord*>& found) {
    for (const auto& record : records) {
        if (record->hotkey == keyCode) found.push_back(record.get());
        collectHotkeys(record->children, keyCode, found);
    }
}

bool isNameKind(quint32 kind) {
    return kind == quint32(OptionKind::NameEntry) || kind == quint32(OptionKind::NameEntryAlt);
}

}  // namespace

QStringList OptionRecord::shownPath() const {
    QStringList texts;
    for (const OptionRecord* record = this; record; record = record->parent) texts.prepend(record->text);
    return texts;
}

QString OptionRecord::storePath() const {
    QStringList names;
    for (const OptionRecord* record = this; record; record = record->parent) names.prepend(record->keyName);
    names.prepend(OptionsStore::kRoot);
    return names.join(kSeparator);
}

SplitName splitKeyName(const QString& name) {
    if (name.size() >= 2 && name[0].isDigit() && name[1].isDigit() && name[0].unicode() < 128 &&
        name[1].unicode() < 128)
        return {name.mid(2), (name[0].unicode() - '0') * 10 + (name[1].unicode() - '0')};
    return {name, -1};
}

QString joinKeyName(const QString& text, int order) {
    return order >= 0 ? QStringLiteral("%1%2").arg(order, 2, 10, QLatin1Char('0')).arg(text) : text;
}

QString OptionPath(const QStringList& shownTexts) { return shownTexts.join(QStringLiteral(":::")); }

OptionEffect optionEffect(const OptionRecord& record, ApplyBy how) {
    OptionEffect effect;
    const QString parentText = record.parent ? record.parent->text : QString();
    if (isNameKind(record.kind)) {
        if (how == ApplyBy::Drop && !record.children.empty()) {
            for (const auto& child : record.children) effect.people.append(child->text + QLatin1Char(' ') + record.text);
        } else {
            effect.people.append(record.text + QLatin1Char(' ') + parentText);
        }
    } else if (record.kind == quint32(OptionKind::PlaceEntry)) {
        std::array<QString, 4> place;
        const OptionRecord* level = &record;
        for (QString& field : place) {
            if (!level) break;
            field = level->text;
            level = level->parent;
        }
        effect.place = place;
    }
    return effect;
}

std::vector<const OptionRecord*> recordsWithHotkey(const OptionRecords& roots, quint32 keyCode) {
    std::vector<const OptionRecord*> found;
    collectHotkeys(roots, keyCode, found);
    return found;
}

OptionRecords OptionsStore::load() const {
    OptionRecords roots;
    if (!store_.keyExists(kRoot)) return roots;
    OptionRecord top;
    readChildren(top, kRoot);
    for (auto& record : top.children) {
        record->parent = nullptr;
        record->kind = quint32(OptionKind::Category);
        if (record->keyName == QLatin1String("Person")) record->icon = ImageGroup;
        roots.push_back(std::move(record));
    }
    return roots;
}

void OptionsStore::readChildren(OptionRecord& parent, const QString& path) const {
    // Every name is shown, however long: a long name must not hide the keys listed after it.
    for (const QString& name : store_.subKeys(path)) {
        const QString keyPath = childPath(path, name);
        auto record = std::make_unique<OptionRecord>();
        record->keyName = name;
        const SplitName split = splitKeyName(name);
        record->text = split.text;
        record->order = split.order;
        record->icon = store_.readDword(keyPath, kIcon);
        record->kind = store_.readDword(keyPath, kType);
        record->hotkey = store_.readDword(keyPath, kHotkey);
        record->parent = &parent;
        readChildren(*record, keyPath);
        parent.children.push_back(std::move(record));
    }
}

bool OptionsStore::remove(const OptionRecord& record) {
    if (!record.parent) return false;
    return store_.deleteKey(record.storePath());
}

QString OptionsStore::hotkeyName(quint32 keyCode) {
    if (keyCode < kFirstHotkey || keyCode > kLastHotkey) return {};
    return QStringLiteral("F%1").arg(keyCode - kFirstHotkey + 1);
}

bool OptionsStore::setHotkey(OptionRecord& record, quint32 keyCode) {
    if (!record.parent || !record.draggable()) return false;
    if (keyCode != 0 && hotkeyName(keyCode).isEmpty()) return false;
    const QString path = record.storePath();
    if (!store_.keyExists(path)) return false;
    if (keyCode == 0)
        store_.deleteValue(path, kHotkey);
    else
        store_.writeDword(path, kHotkey, keyCode);
    store_.sync();
    record.hotkey = keyCode;
    return true;
}

QStringList OptionsStore::namesAt(const QString& category, int depth) const {
    QStringList level{childPath(kRoot, category)};
    QStringList names;
    for (int d = 1; d <= depth; ++d) {
        QStringList next;
        names.clear();
        for (const QString& path : level) {
            for (const QString& name : store_.subKeys(path)) {
                next.append(childPath(path, name));
                names.append(splitKeyName(name).text);
            }
        }
        level = next;
    }
    return names;
}

bool OptionsStore::isValidKeyName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QString OptionsStore::keyNameFor(const QString& typed, bool leaf) {
    if (leaf || splitKeyName(typed).order >= 0) return joinKeyName(typed, 0);
    return typed;
}

void OptionsStore::createCategories() {
    for (const QString& category : defaultCategories()) store_.createKey(childPath(kRoot, category));
}

void OptionsStore::createKey(const QString& path, std::optional<std::pair<quint32, quint32>> iconAndType) {
    const QString full = childPath(kRoot, path);
    store_.createKey(full);
    if (iconAndType) {
        store_.writeDword(full, kIcon, iconAndType->first);
        store_.writeDword(full, kType, iconAndType->second);
    }
}

bool OptionsStore::addPerson(const QString& group, const QString& lastName, const QString& firstName) {
    if (!isValidKeyName(group) || !isValidKeyName(lastName) || !isValidKeyName(firstName)) return false;
    createCategories();
    const QString person = QStringLiteral("Person");
    const QString groupPath = childPath(person, keyNameFor(group, false));
    const QString familyPath = childPath(groupPath, keyNameFor(lastName, false));
    createKey(person, std::pair{quint32(ImageGroup), quint32(OptionKind::Group)});
    createKey(groupPath, std::pair{quint32(ImageGroup), quint32(OptionKind::Group)});
    createKey(familyPath, std::pair{quint32(ImageGroup), quint32(OptionKind::NameEntry)});
    createKey(childPath(familyPath, keyNameFor(firstName, true)),
              std::pair{quint32(ImagePerson), quint32(OptionKind::NameEntry)});
    store_.sync();
    return true;
}

bool OptionsStore::addPlace(const QString& country, const QString& state, const QString& city,
                            const QString& location) {
    for (const QString& name : {country, state, city, location})
        if (!isValidKeyName(name)) return false;
    createCategories();
    QString path = QStringLiteral("Place");
    for (const QString& name : {country, state, city}) {
        path = childPath(path, keyNameFor(name, false));
        createKey(path, std::nullopt);
    }
    createKey(childPath(path, keyNameFor(location, true)),
              std::pair{quint32(ImagePlace), quint32(OptionKind::PlaceEntry)});
    store_.sync();
    return true;
}

bool OptionsStore::addThing(const QString& group, const QString& thing) {
    if (!isValidKeyName(group) || !isValidKeyName(thing)) return false;
    createCategories();
    const QString groupPath = childPath(QStringLiteral("Thing"), keyNameFor(group, false));
    createKey(groupPath, std::nullopt);
    createKey(childPath(groupPath, keyNameFor(thing, true)),
              std::pair{quint32(ImageThing), quint32(OptionKind::NameEntry)});
    store_.sync();
    return true;
}
