#include "settingsstore.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

namespace {

// QSettings forgets a group that holds nothing, while a registry key outlives its values. Every key
// made through the store therefore carries this empty value, hidden from valueNames().
const QString kKeyMarker = QStringLiteral(".");

// INI text has no types of its own, so 32-bit numbers are tagged the way registry exports write
// them. A string that happens to start like a tag gets a tag of its own so that it reads back as text.
const QString kDwordTag = QStringLiteral("dword:");
const QString kStringTag = QStringLiteral("sz:");

QStringList splitPath(const QString& path) {
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    return path.split(separators, Qt::SkipEmptyParts);
}

QString joinGroup(const QString& group, const QString& name) {
    return group.isEmpty() ? name : group + QLatin1Char('/') + name;
}

// Prefers the exact spelling so that a hand-edited file with "Foo" and "foo" still finds each.
QString findName(const QStringList& names, const QString& wanted) {
    if (names.contains(wanted)) return wanted;
    for (const QString& name : names)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) return name;
    return {};
}

std::optional<quint32> decodeDword(const QVariant& raw) {
    if (raw.typeId() != QMetaType::QString) return std::nullopt;
    const QString text = raw.toString();
    if (!text.startsWith(kDwordTag)) return std::nullopt;
    bool ok = false;
    const quint32 value = text.mid(kDwordTag.size()).toUInt(&ok, 16);
    return ok ? std::optional<quint32>(value) : std::nullopt;
}

std::optional<QString> decodeString(const QVariant& raw) {
    QString text;
    if (raw.typeId() == QMetaType::QString)
        text = raw.toString();
    else if (raw.typeId() == QMetaType::QStringList)  // an unquoted comma in a hand-edited file
        text = raw.toStringList().join(QStringLiteral(", "));
    else
        return std::nullopt;
    if (text.startsWith(kStringTag)) return text.mid(kStringTag.size());
    if (text.startsWith(kDwordTag)) return std::nullopt;
    return text;
}

}  // namespace

SettingsStore::SettingsStore(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() { settings_->sync(); }

QString SettingsStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Snaplore/Snaplore.conf");
}

QString SettingsStore::fileName() const { return settings_->fileName(); }

QStringList SettingsStore::childGroups(const QString& group) const {
    if (group.isEmpty()) return settings_->childGroups();
    settings_->beginGroup(group);
    QStringList groups = settings_->childGroups();
    settings_->endGroup();
    return groups;
}

QStringList SettingsStore::childKeys(const QString& group) const {
    if (group.isEmpty()) return settings_->childKeys();
    settings_->beginGroup(group);
    QStringList keys = settings_->childKeys();
    settings_->endGroup();
    return keys;
}

SettingsStore::Resolved SettingsStore::resolveKey(const QString& path) const {
    Resolved resolved{QString(), true};
    for (const QString& part : splitPath(path)) {
        QString stored;
        if (resolved.exists) stored = findName(childGroups(resolved.group), part);
        if (stored.isEmpty()) {
            // Missing from here down: later parts are kept as given, ready to be created.
            resolved.exists = false;
            stored = part;
        }
        resolved.group = joinGroup(resolved.group, stored);
    }
    return resolved;
}

QString SettingsStore::storedValueName(const QString& group, const QString& name) const {
    if (name.isEmpty() || name == kKeyMarker) return {};
    return findName(childKeys(group), name);
}

void SettingsStore::ensureKey(const QString& group) {
    QString prefix;
    for (const QString& part : group.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        prefix = joinGroup(prefix, part);
        const QString marker = joinGroup(prefix, kKeyMarker);
        if (!settings_->contains(marker)) settings_->setValue(marker, QString());
    }
}

bool SettingsStore::createKey(const QString& path) {
    const Resolved key = resolveKey(path);
    if (key.group.isEmpty()) return true;  // the root always exists
    ensureKey(key.group);
    return true;
}

bool SettingsStore::keyExists(const QString& path) const { return resolveKey(path).exists; }

QStringList SettingsStore::subKeys(const QString& path) const {
    const Resolved key = resolveKey(path);
    if (!key.exists) return {};
    QStringList names = childGroups(key.group);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

QStringList SettingsStore::valueNames(const QString& path) const {
    const Resolved key = resolveKey(path);
    if (!key.exists) return {};
    QStringList names = childKeys(key.group);
    names.removeAll(kKeyMarker);
    return names;
}

std::optional<QVariant> SettingsStore::rawValue(const QString& path, const QString& name) const {
    const Resolved key = resolveKey(path);
    if (!key.exists) return std::nullopt;
    const QString stored = storedValueName(key.group, name);
    if (stored.isEmpty()) return std::nullopt;
    return settings_->value(joinGroup(key.group, stored));
}

void SettingsStore::writeRaw(const QString& path, const QString& name, const QVariant& value) {
    if (name.isEmpty() || name == kKeyMarker) return;
    const Resolved key = resolveKey(path);
    ensureKey(key.group);
    QString stored = storedValueName(key.group, name);
    if (stored.isEmpty()) stored = name;
    settings_->setValue(joinGroup(key.group, stored), value);
}

bool SettingsStore::valueExists(const QString& path, const QString& name) const {
    return rawValue(path, name).has_value();
}

std::optional<quint32> SettingsStore::dword(const QString& path, const QString& name) const {
    const auto raw = rawValue(path, name);
    return raw ? decodeDword(*raw) : std::nullopt;
}

quint32 SettingsStore::readDword(const QString& path, const QString& name, quint32 defaultValue) const {
    return dword(path, name).value_or(defaultValue);
}

void SettingsStore::writeDword(const QString& path, const QString& name, quint32 value) {
    writeRaw(path, name, kDwordTag + QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')));
}

std::optional<QString> SettingsStore::string(const QString& path, const QString& name) const {
    const auto raw = rawValue(path, name);
    return raw ? decodeString(*raw) : std::nullopt;
}

QString SettingsStore::readString(const QString& path, const QString& name, const QString& defaultValue) const {
    return string(path, name).value_or(defaultValue);
}

void SettingsStore::writeString(const QString& path, const QString& name, const QString& value) {
    const bool looksTagged = value.startsWith(kDwordTag) || value.startsWith(kStringTag);
    writeRaw(path, name, looksTagged ? kStringTag + value : value);
}

std::optional<QByteArray> SettingsStore::binary(const QString& path, const QString& name) const {
    const auto raw = rawValue(path, name);
    if (!raw || raw->typeId() != QMetaType::QByteArray) return std::nullopt;
    return raw->toByteArray();
}

void SettingsStore::writeBinary(const QString& path, const QString& name, const QByteArray& value) {
    writeRaw(path, name, value);
}

bool SettingsStore::deleteValue(const QString& path, const QString& name) {
    const Resolved key = resolveKey(path);
    if (!key.exists) return false;
    const QString stored = storedValueName(key.group, name);
    if (stored.isEmpty()) return false;
    settings_->remove(joinGroup(key.group, stored));
    ensureKey(key.group);  // a key read from a hand-made file may have had no marker
    return true;
}

bool SettingsStore::deleteKey(const QString& path) {
    const Resolved key = resolveKey(path);
    if (!key.exists || key.group.isEmpty()) return false;
    settings_->remove(key.group);
    const qsizetype cut = key.group.lastIndexOf(QLatin1Char('/'));
    if (cut > 0) ensureKey(key.group.left(cut));  // the parent stays, as in the registry
    return true;
}

bool SettingsStore::sync() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}
