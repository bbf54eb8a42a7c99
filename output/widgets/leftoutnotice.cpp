#include "leftoutnotice.h"

#include <QStringList>

#include "entrylistview.h"
#include "framecontext.h"
#include "prompter.h"

namespace leftoutnotice {

void tell(FrameContext& frame) {
    const QStringList lines = frame.entryList().leftOut();
    if (lines.isEmpty()) return;
    constexpr qsizetype kShown = 20;
    QStringList shown = lines.mid(0, kShown);
    if (lines.size() > kShown) shown << QStringLiteral("... and %1 more").arg(lines.size() - kShown);
    frame.prompter().messageBox(
        QStringLiteral("The output is made without these pictures of the folder:\n\n%1").arg(shown.join(u'\n')),
        QStringLiteral("Snaplore"), mb::Ok | mb::IconExclamation);
}

}  // namespace leftoutnotice
