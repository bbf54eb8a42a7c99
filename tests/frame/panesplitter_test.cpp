// The pane layout text under "SplitterWnd" and what restoring it does to the panes.
#include "panesplitter.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QStackedWidget>
#include <QTest>

#include "settingsstore.h"
#include "testsupport.h"

TEST(SplitterLayout, TextFormat) {
    struct Case {
        QString text;
        std::optional<PaneSplitter::Layout> layout;
    };
    const Case cases[] = {
        {"-1 150 -1 150", PaneSplitter::Layout{-1, 150, -1, 150}},
        {"1 220 -1 100", PaneSplitter::Layout{1, 220, -1, 100}},
        {"  -1   300 0 80 ", PaneSplitter::Layout{-1, 300, 0, 80}},
        {"-1 150 -1", std::nullopt},
        {"-1 150 -1 150 7", std::nullopt},
        {"a b c d", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PaneSplitter::parseLayout(c.text), c.layout) << c.text.toStdString();
        if (c.layout) {
            EXPECT_EQ(PaneSplitter::parseLayout(PaneSplitter::formatLayout(*c.layout)), c.layout);
        }
    }
    EXPECT_EQ(PaneSplitter::formatLayout({-1, 150, -1, 150}), PaneSplitter::kDefaultLayout);
}

TEST(SplitterLayout, NestedSplittersSaveUnderTheirLevels) {
    testsupport::SandBox box;
    SettingsStore store(box.filePath("settings.ini"));
    store.writeString("SplitterWnd", "Panes_0", "-1 240 -1 500");
    store.writeString("SplitterWnd", "Panes_1", "garbage");

    QWidget window;
    window.resize(800, 600);
    auto* outer = new PaneSplitter(Qt::Horizontal, store, nullptr, &window);
    auto* inner = new PaneSplitter(Qt::Vertical, store, outer);
    outer->addNested(0, inner);
    inner->addView(0, new QLabel("browser"));
    inner->addView(1, new QLabel("thumbnails"));
    outer->addView(1, new QLabel("picture"));
    outer->setGeometry(0, 0, 745, 600);
    EXPECT_EQ(inner->level(), 1);
    EXPECT_EQ(inner->settingsKey(), "Panes_1");

    outer->restoreLayout();
    // Before the window was ever shown the ideal sizes stand; an unreadable text gives the default.
    outer->saveLayout();
    EXPECT_EQ(store.readString("SplitterWnd", "Panes_0"), "-1 240 -1 500");
    EXPECT_EQ(store.readString("SplitterWnd", "Panes_1"), "-1 150 -1 150");

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    outer->setSizes({300, 440});
    outer->saveLayout();
    const auto saved = PaneSplitter::parseLayout(store.readString("SplitterWnd", "Panes_0"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size0, 300);
    EXPECT_EQ(saved->hiddenColumn, -1);
    EXPECT_EQ(saved->hiddenRow, -1);
}

TEST(SplitterLayout, ASavedHiddenPaneIsCollapsedAndComesBack) {
    testsupport::SandBox box;
    SettingsStore store(box.filePath("settings.ini"));
    store.writeString("SplitterWnd", "Panes_0", "-1 200 1 300");  // a hidden row means nothing to columns
    store.writeString("SplitterWnd", "Panes_1", "-1 120 0 400");  // rows: the upper pane is hidden

    QWidget window;
    auto* outer = new PaneSplitter(Qt::Horizontal, store, nullptr, &window);
    auto* inner = new PaneSplitter(Qt::Vertical, store, outer);
    outer->addNested(0, inner);
    inner->addView(0, new QLabel("browser"));
    inner->addView(1, new QLabel("thumbnails"));
    outer->addView(1, new QLabel("picture"));
    outer->restoreLayout();
    window.show();

    EXPECT_EQ(outer->hiddenPane(), -1);
    EXPECT_EQ(inner->hiddenPane(), 0);
    EXPECT_FALSE(inner->pane(0)->isVisible());
    inner->saveLayout();
    const auto saved = PaneSplitter::parseLayout(store.readString("SplitterWnd", "Panes_1"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->hiddenColumn, -1);
    EXPECT_EQ(saved->size0, 120);  // the hidden pane keeps its size for when it comes back
    EXPECT_EQ(saved->hiddenRow, 0);

    inner->togglePane(1);  // another pane than the hidden one: nothing happens
    EXPECT_EQ(inner->hiddenPane(), 0);
    inner->togglePane(0);
    EXPECT_EQ(inner->hiddenPane(), -1);
    EXPECT_TRUE(inner->pane(0)->isVisible());
}

TEST(SplitterLayout, AlternativeViewsOfAPane) {
    testsupport::SandBox box;
    SettingsStore store(box.filePath("settings.ini"));
    PaneSplitter splitter(Qt::Horizontal, store);
    auto* a = new QLabel("large picture");
    auto* b = new QLabel("picture data");
    EXPECT_EQ(splitter.addView(1, a), 0);
    EXPECT_EQ(splitter.addView(1, b), 1);
    EXPECT_EQ(splitter.currentView(1), 1);  // the view added last is shown
    splitter.showView(1, -1);               // the next one wraps to the first
    EXPECT_EQ(splitter.currentView(1), 0);
    splitter.showView(1, 1);
    EXPECT_EQ(splitter.pane(1)->currentWidget(), b);
    splitter.showView(1, 5);  // no such view
    EXPECT_EQ(splitter.currentView(1), 1);
}
