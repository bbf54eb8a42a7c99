#pragma once
// The work behind File > Catalog > Archive: the dialog that asks for the disc's name and place,
// then the rewrite of the current folder's catalog.

#include <QString>

class FrameContext;
class QWidget;

namespace archivecommand {

// Returns false when the user cancels the dialog and nothing was done.
bool run(FrameContext& frame, const QString& cdName, const QString& location, QWidget* parent);

}  // namespace archivecommand
