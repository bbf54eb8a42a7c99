#pragma once

#include <QFontMetrics>
#include <QWidget>

#include <algorithm>

namespace ui {

// A small dialog is as wide as its controls, and the window manager then cuts its title short
// ("Slide S...erties"). Give it room for the whole title beside the title bar's buttons; the title
// bar's font is usually bold, hence the half again.
inline void makeRoomForTitle(QWidget& window) {
    const int titleWidth = window.fontMetrics().horizontalAdvance(window.windowTitle());
    window.setMinimumWidth(std::max(window.minimumWidth(), titleWidth * 3 / 2 + 96));
}

}  // namespace ui
