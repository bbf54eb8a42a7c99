#pragma once
// The frame's EntryListView: the browser's entries read off its model, and the grouping of pictures
// under events read off its tree, so the outputs group pictures exactly as the user sees them.

#include "entrylistview.h"

class CFileBrowserView;

class FrameEntryList : public EntryListView {
public:
    explicit FrameEntryList(CFileBrowserView& browser) : browser_(browser) {}
    QList<OutputEntry> entries() const override;
    QStringList leftOut() const override;

private:
    CFileBrowserView& browser_;
};
