#include "tipstable.h"

#include <QStringList>

#include "settingsstore.h"

namespace tips {

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kEmptySlot = QStringLiteral("-");

const QStringList& table() {
    static const QStringList strings = {
        QStringLiteral("#1 Select a folder in the browser to see its pictures as thumbnails. Click a thumbnail to "
                       "fill in its headline, caption, people and place."),
        QStringLiteral("#2 Picture data is written into the JPEG file itself as IPTC data, so your captions travel "
                       "with the picture and other photo programs can read them."),
        QStringLiteral("#3 Drag people, places and things from the options tree onto the picture data form instead "
                       "of typing them. Right-click the tree to add new entries."),
        QStringLiteral("#4 Save Next stores the data of the current picture and opens the next one, so a whole "
                       "folder can be captioned one picture after another."),
        QStringLiteral("#5 Create a catalog for a folder to browse its pictures by event. The catalog is a single "
                       "index file kept in the folder beside the pictures."),
        QStringLiteral("#6 Search finds pictures by headline, caption, people, place or date in a catalog, "
                       "including the catalogs of its subfolders."),
        QStringLiteral("#7 Crop a picture to a print size such as 4x6 or 5x7 in the large picture view. The crop is "
                       "kept with the picture data; the picture's pixels are never changed."),
        QStringLiteral("#8 Archive a catalog to CD: after the pictures have left the disk, the catalog still shows "
                       "their thumbnails and data and tells you on which CD each one lies."),
        QStringLiteral("#9 Copy from Memory Card brings new pictures from your camera's card into folders named "
                       "after the date each picture was taken."),
        QStringLiteral("#10 Flag pictures in the thumbnail strip, then print, e-mail or save resized copies of just "
                       "the flagged ones."),
        kEmptySlot,
        kEmptySlot,
        kEmptySlot,
        kEmptySlot,
        kEmptySlot,
        kEmptySlot,
        kEmptySlot,
        kEmptySlot,
        kEmptySlot,
        kEmptySlot,
    };
    return strings;
}

}  // namespace

QString tipString(int id) {
    const int slot = id - kFirstString;
    return slot >= 0 && slot < table().size() ? table()[slot] : QString();
}

bool showAtStartup(const SettingsStore& store) {
    return store.readDword(kSettings, QStringLiteral("ShowTips"), 1) != 0;
}

void setShowAtStartup(SettingsStore& store, bool show) {
    store.writeDword(kSettings, QStringLiteral("ShowTips"), show ? 1 : 0);
}

TipCursor::TipCursor(SettingsStore& store) : store_(store) {
    // "LastTips" is signed: its default of -1 makes the first start show tip 0.
    const auto last = static_cast<qint32>(store.readDword(kSettings, QStringLiteral("LastTips"), 0xFFFFFFFFu));
    const qint64 next = qint64(last) + 1;
    index_ = next >= 0 && next < kSlots ? int(next) : 0;
}

QString TipCursor::current() {
    // Past the last real tip (or past the table) the tips start again from the first.
    if (index_ < 0 || index_ >= kSlots || tipString(kFirstString + index_) == kEmptySlot) index_ = 0;
    store_.writeDword(kSettings, QStringLiteral("LastTips"), static_cast<quint32>(index_));
    return tipString(kFirstString + index_);
}

QString TipCursor::next() {
    ++index_;
    return current();
}

QString TipCursor::previous() {
    if (--index_ < 0) {
        index_ = kSlots - 1;
        while (index_ > 0 && tipString(kFirstString + index_) == kEmptySlot) --index_;
    }
    return current();
}

}  // namespace tips
