#pragma once
// The work behind Picture > Del Picture: after the question, the strip moves away from the open
// picture, the file goes, and the browser and the folder's catalog forget it.

class BrowseContext;

namespace deletecommand {

void run(BrowseContext& frame);

}  // namespace deletecommand
