// Every dialog used from the keyboard: Tab walks the controls in the order they are read, line by line,
// so a field typed after a Tab is the field the user sees next. And every title shows whole.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QPrinter>
#include <QTest>

#include <functional>
#include <limits>
#include <memory>

#include "addoptionsdlg.h"
#include "archiveidxdlg.h"
#include "ccbburndlg.h"
#include "copyfrommemcard.h"
#include "copytoalldlg.h"
#include "picdataview.h"
#include "exportdatadlg.h"
#include "exporthtmldlg.h"
#include "fakeframe.h"
#include "filesaveasdlg.h"
#include "indexprintdlg.h"
#include "printoptionsdlg.h"
#include "saveascommand.h"
#include "scriptedprompter.h"
#include "searchdlg.h"
#include "settingsstore.h"
#include "slidshowpropdlg.h"
#include "testsupport.h"
#include "tipsdlg.h"
#include "updatedlg.h"

namespace {

QString describe(const QWidget* w) {
    QString text = w->property("text").toString();
    return QStringLiteral("%1 '%2' %3").arg(QString::fromLatin1(w->metaObject()->className()), text, w->objectName());
}

// The controls Tab reaches, in the order it reaches them.
QList<QWidget*> tabChain(QWidget* dialog) {
    QList<QWidget*> chain;
    for (QWidget* w = dialog->nextInFocusChain(); w && w != dialog; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(dialog) && w->isEnabled() && !w->focusProxy())
            chain.append(w);
    return chain;
}

QGroupBox* groupOf(QWidget* w) {
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* box = qobject_cast<QGroupBox*>(p)) return box;
    return nullptr;
}

// b comes before a in reading order: wholly above it, or beside it on its line and to its left.
bool readBefore(const QRect& b, const QRect& a) {
    if (b.bottom() < a.top()) return true;
    const bool sameLine = b.top() <= a.bottom() && a.top() <= b.bottom();
    return sameLine && b.right() < a.left();
}

// `columnAt`: where a window laid out in two columns starts its right one, read after the left one.
void expectReadingOrder(QWidget* dialog, const char* name, int columnAt = std::numeric_limits<int>::max()) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog)) << name;
    const QList<QWidget*> chain = tabChain(dialog);
    for (qsizetype i = 1; i < chain.size(); ++i) {
        const QRect a(chain[i - 1]->mapTo(dialog, QPoint(0, 0)), chain[i - 1]->size());
        const QRect b(chain[i]->mapTo(dialog, QPoint(0, 0)), chain[i]->size());
        // Boxes side by side are read one after the other, each from its top; so are columns.
        if (groupOf(chain[i - 1]) != groupOf(chain[i])) continue;
        const bool rightA = a.left() >= columnAt, rightB = b.left() >= columnAt;
        if (rightA != rightB) {
            EXPECT_TRUE(rightB) << name << ": Tab goes from " << describe(chain[i - 1]).toStdString()
                                << " back to the left column, to " << describe(chain[i]).toStdString();
            continue;
        }
        EXPECT_FALSE(readBefore(b, a)) << name << ": Tab goes from " << describe(chain[i - 1]).toStdString()
                                       << " back to " << describe(chain[i]).toStdString();
    }
    dialog->hide();
}

}  // namespace

TEST(DialogKeys, TabFollowsTheLayoutAndTheTitleShowsWhole) {
    testsupport::SandBox box;
    SettingsStore store(box.filePath("s.ini"));
    ScriptedPrompter prompter;
    FakeFrame frame(box.filePath("frame.ini"));
    QPrinter printer;
    const QList<OutputEntry> entries;

    const std::vector<std::pair<const char*, std::function<QDialog*()>>> dialogs = {
        {"search", [] { return new CSearchDlg; }},
        {"add options", [&] { return new CAddOptionsDlg(store, prompter); }},
        {"copy to all", [&] { return new CCopyToAllDlg(prompter, {}); }},
        {"slide show", [] { return new CSlidShowPropDlg; }},
        {"archive", [&] { return new CArchiveIdxDlg(box.path(), "CD1", "Shelf", prompter); }},
        {"burn options", [] { return new CCBBurnDlg; }},
        {"memory card", [&] { return new CCopyFromMemCard(store, prompter); }},
        {"export data", [&] { return new CExportDataDlg(entries, prompter); }},
        {"export html", [&] { return new CExportHTMLDlg(entries, prompter); }},
        {"index print", [&] { return new CIndexPrintDlg(prompter); }},
        {"print", [&] { return new CPrintOptionsDlg(CPrintOptionsDlg::Variant::Print, printer); }},
        {"tips", [&] { return new CTipsDlg(store); }},
        {"update", [&] { return new CUpdateDlg(store, prompter); }},
        {"save as", [&] { return saveascommand::create(SaveAsMode::SaveAs, frame, box.filePath("tmp"), nullptr); }},
    };
    {
        CPicDataView form(frame);
        form.resize(900, 700);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        const int rightColumn = form.findChild<QWidget*>("ctl1036")->mapTo(&form, QPoint(0, 0)).x();
        expectReadingOrder(&form, "picture data", rightColumn);
    }
    for (const auto& [name, make] : dialogs) {
        std::unique_ptr<QDialog> dialog(make());
        expectReadingOrder(dialog.get(), name);
        // The whole title shows in a window manager's title bar, whose font is often bold.
        const int title = dialog->fontMetrics().horizontalAdvance(dialog->windowTitle());
        EXPECT_GE(dialog->width(), title * 3 / 2 + 96) << name << ": the title is cut short";
    }
}
