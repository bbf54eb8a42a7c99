#include "frameentrylist.h"

#include <QHash>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "browsermodel.h"
#include "filebrowserview.h"

QList<OutputEntry> FrameEntryList::entries() const {
    const EntryList& list = browser_.model().entryList();
    QHash<const BrowserEntry*, int> index;
    for (int i = 0; i < int(list.size()); ++i) index.insert(list[size_t(i)].get(), i);

    // The tree decides which event a picture belongs to: the event item it hangs under.
    QHash<const BrowserEntry*, const BrowserEntry*> eventOf;
    for (QTreeWidgetItemIterator it(browser_.tree()); *it; ++it) {
        const BrowserEntry* entry = CFileBrowserView::entryOf(*it);
        const BrowserEntry* parent = (*it)->parent() ? CFileBrowserView::entryOf((*it)->parent()) : nullptr;
        if (entry && parent && parent->kind == EntryKind::Event) eventOf.insert(entry, parent);
    }

    QList<OutputEntry> entries;
    entries.reserve(qsizetype(list.size()));
    for (const auto& owned : list) {
        const BrowserEntry& entry = *owned;
        OutputEntry out;
        out.kind = OutputEntry::Kind(int(entry.kind));
        out.picture = entry.picture.get();
        // An event shows its title and is told apart by its text.
        out.fileName = entry.kind == EntryKind::Event ? browser::eventTitle(entry.text) : entry.text;
        out.path = entry.path;
        out.shown = entry.included;
        out.flagged = entry.flagged;
        if (entry.kind == EntryKind::Event) {
            out.eventText = entry.text;
            out.eventPath = entry.path;
        } else if (const BrowserEntry* event = eventOf.value(&entry)) {
            out.eventText = event->text;
            out.eventPath = event->path;
            out.event = index.value(event, -1);
        }
        entries.append(out);
    }
    return entries;
}

QStringList FrameEntryList::leftOut() const { return browser_.model().leftOutLines(); }
