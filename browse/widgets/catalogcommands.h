#pragma once
// The work behind File > Catalog > Create and Remove on the frame's current folder. The frame wires
// the commands and lets the browser read the folder again afterwards.

class FrameContext;

namespace catalogcommands {

// Creates the catalog of the current folder and its sub-folders and says how it went, naming in one
// message the pictures and folders whose names a catalog cannot hold.
void create(FrameContext& frame);
// Empties the catalog of the current folder, when it has one, and says how it went.
void remove(FrameContext& frame);

}  // namespace catalogcommands
