#pragma once
// The start-up tips: string-table entries 300 to 319 ("-" marks an empty slot) and the walk through
// them that the tips dialog shows. The index shown last is kept as "Settings"/"LastTips", so each
// start of the program begins with the tip after it.

#include <QString>

class SettingsStore;

namespace tips {

constexpr int kFirstString = 300;
constexpr int kSlots = 20;

// The string-table entry `id`; empty outside 300..319.
QString tipString(int id);

// "Settings"/"ShowTips", on unless switched off.
bool showAtStartup(const SettingsStore& store);
void setShowAtStartup(SettingsStore& store, bool show);

class TipCursor {
public:
    // Starts at the tip after "LastTips".
    explicit TipCursor(SettingsStore& store);

    // Shows the tip at the current index: wraps to the first tip past the last real one, stores the
    // index as "LastTips" and returns the text.
    QString current();
    QString next();
    QString previous();
    int index() const { return index_; }

private:
    SettingsStore& store_;
    int index_ = 0;
};

}  // namespace tips
