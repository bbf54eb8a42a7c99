#pragma once
// The work behind Picture > Del Picture: after the question, the file goes to the user's trash (or,
// where the trash cannot take it and the user agrees, is deleted for good), the strip moves away from
// the open picture, and the browser and the folder's catalog forget it.

class BrowseContext;

namespace deletecommand {

void run(BrowseContext& frame);

}  // namespace deletecommand
