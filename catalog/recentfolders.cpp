#include "recentfolders.h"

#include <QDir>

#include "settingsstore.h"

namespace {

QString valueName(int index) { return QStringLiteral("File%1").arg(index + 1); }

// Folders compare as the file system names them: "/a/b/" and "/a/b" are one folder.
QString normalized(const QString& folder) {
    return folder.trimmed().isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(folder.trimmed()));
}

}  // namespace

QStringList RecentFolders::folders() const {
    QStringList list;
    for (int i = 0; i < kSize; ++i) {
        const QString folder = normalized(store_.readString(kSection, valueName(i)));
        if (!folder.isEmpty() && !list.contains(folder)) list.append(folder);
    }
    return list;
}

void RecentFolders::add(const QString& folder) {
    const QString added = normalized(folder);
    if (added.isEmpty()) return;
    QStringList list = folders();
    if (!list.isEmpty() && list.first() == added) return;
    list.removeAll(added);
    list.prepend(added);
    write(list.mid(0, kSize));
}

void RecentFolders::remove(const QString& folder) {
    QStringList list = folders();
    if (list.removeAll(normalized(folder)) > 0) write(list);
}

void RecentFolders::write(const QStringList& list) {
    for (int i = 0; i < kSize; ++i) {
        if (i < list.size())
            store_.writeString(kSection, valueName(i), list[i]);
        else
            store_.deleteValue(kSection, valueName(i));
    }
}
