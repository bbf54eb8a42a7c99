#pragma once
// The folders opened last, newest first, as the File menu lists them. They live where the
// recent-file list of the program's key always lived: the section "Recent File List" with the
// string values "File1" to "File4".

#include <QString>
#include <QStringList>

class SettingsStore;

class RecentFolders {
public:
    static constexpr int kSize = 4;
    static inline const QString kSection = QStringLiteral("Recent File List");

    explicit RecentFolders(SettingsStore& store) : store_(store) {}

    // The stored folders in order, empty and repeated values left out; at most kSize.
    QStringList folders() const;
    // `folder` becomes the first entry; an entry for the same folder further down goes, and the
    // oldest falls off the end.
    void add(const QString& folder);
    void remove(const QString& folder);

private:
    void write(const QStringList& folders);

    SettingsStore& store_;
};
