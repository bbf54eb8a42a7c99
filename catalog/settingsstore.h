#pragma once
// The program's per-user settings: one INI file that stands where the registry key "Software\Snaplore"
// would be. The file's top-level groups are the key's sections ("Settings", "Options", "MemoryCard",
// "SplitterWnd", "Tool", "MessageBoxes").
//
// The class gives the file the registry behaviour the program relies on: a created key exists even
// without values; subkeys enumerate in ascending order without regard to case, and key and value
// names match without regard to case (they are stored as first written); values are typed (32-bit
// numbers, strings, bytes) and a value read as the wrong type, like an absent one, gives the default;
// deleting a key deletes its subtree.
//
// Key paths are relative to the program's key and separate their parts with "\" or "/", for example
// "Options\Person\Family\00Anna". Every user of settings takes a SettingsStore&; nothing reaches
// for a global one, and tests point the store at a temporary file.

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class SettingsStore {
public:
    explicit SettingsStore(const QString& iniPath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // ~/.config/Snaplore/Snaplore.conf: the store of the user who runs the program.
    static QString defaultPath();

    QString fileName() const;

    // Creates the key and every missing key above it. Always succeeds for a valid path.
    bool createKey(const QString& path);
    bool keyExists(const QString& path) const;
    // Names of the direct subkeys, ascending without regard to case.
    QStringList subKeys(const QString& path) const;
    QStringList valueNames(const QString& path) const;
    bool valueExists(const QString& path, const QString& name) const;

    // Writing a value creates its key as the registry's "create key, set value" does.
    std::optional<quint32> dword(const QString& path, const QString& name) const;
    quint32 readDword(const QString& path, const QString& name, quint32 defaultValue = 0) const;
    void writeDword(const QString& path, const QString& name, quint32 value);

    std::optional<QString> string(const QString& path, const QString& name) const;
    QString readString(const QString& path, const QString& name, const QString& defaultValue = {}) const;
    void writeString(const QString& path, const QString& name, const QString& value);

    // Opaque bytes, such as a saved toolbar layout.
    std::optional<QByteArray> binary(const QString& path, const QString& name) const;
    void writeBinary(const QString& path, const QString& name, const QByteArray& value);

    bool deleteValue(const QString& path, const QString& name);
    // Deletes the key with all its subkeys and values. The root key cannot be deleted.
    bool deleteKey(const QString& path);

    // Writes pending changes to the file; false when the file cannot be written.
    bool sync();

private:
    struct Resolved {
        QString group;  // the stored group path, "A/B/C"
        bool exists = false;
    };
    Resolved resolveKey(const QString& path) const;
    // The stored name of a value in an existing group, matched without regard to case.
    QString storedValueName(const QString& group, const QString& name) const;
    std::optional<QVariant> rawValue(const QString& path, const QString& name) const;
    void writeRaw(const QString& path, const QString& name, const QVariant& value);
    void ensureKey(const QString& group);
    QStringList childGroups(const QString& group) const;
    QStringList childKeys(const QString& group) const;

    std::unique_ptr<QSettings> settings_;
};
