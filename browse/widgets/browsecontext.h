#pragma once
// The frame as the browsing views see it: everything a view may ask of the frame, and the two
// browsing views themselves, which hand each other the strip's list and the flags.

#include "framecontext.h"

class CFileBrowserView;
class CThumbView;

class BrowseContext : public FrameContext {
public:
    virtual CFileBrowserView* browser() = 0;
    virtual CThumbView* thumbView() = 0;
    // File > Save As... on the open picture, which the popups' "Save as..." runs.
    virtual void runSaveAs() = 0;
    // File > Print... (or Print Preview with `preview`), which the popups' "Print..." and "Print
    // Preview..." run, and whether those commands are enabled now.
    virtual void runPrint(bool preview) = 0;
    virtual bool printEnabled() const = 0;
};
