#pragma once
// The work behind the picture save commands: Save with its lock questions, and Save Next / Save Copy
// Next. The frame wires the commands; the pictures come and go through the document.

#include <QString>

#include "snaploredoc.h"

class CPicDataView;
class FrameContext;

namespace picturecommands {

// Writes the open picture after the lock questions; the form then shows the lock as it is. The file
// keeps its times unless the form's box says otherwise (`Keep`: whatever it says).
bool save(FrameContext& frame, CPicDataView& form, CSnaploreDoc::FileTimes times);
// Saves the open picture and opens `next` (found before the save, which may change the strip); with
// `copyData` the saved picture's data go to the next one.
void saveAndMoveOn(FrameContext& frame, CPicDataView& form, const QString& next, bool copyData);

}  // namespace picturecommands
