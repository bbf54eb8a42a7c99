#pragma once
// A splitter of two panes in which each pane holds alternative views, one visible at a time. Its pane
// sizes, and a pane collapsed away, persist under "SplitterWnd"/"Panes_<level>" as the text
// "<hidden column> <size 0> <hidden row> <size 1>"; a nested splitter in a pane saves and restores
// with its parent.

#include <QSplitter>
#include <QString>
#include <array>
#include <optional>

class QStackedWidget;
class SettingsStore;

class PaneSplitter : public QSplitter {
    Q_OBJECT
public:
    struct Layout {
        int hiddenColumn = -1;
        int size0 = 150;
        int hiddenRow = -1;
        int size1 = 150;
        bool operator==(const Layout&) const = default;
    };
    static QString formatLayout(const Layout& layout);
    // Four whole numbers separated by white space; anything else is no layout.
    static std::optional<Layout> parseLayout(const QString& text);
    static inline const QString kDefaultLayout = QStringLiteral("-1 150 -1 150");
    static constexpr int kMinimumPaneSize = 10;

    // Qt::Horizontal: one row, two columns; Qt::Vertical: two rows, one column.
    PaneSplitter(Qt::Orientation orientation, SettingsStore& store, PaneSplitter* parentSplitter = nullptr,
                 QWidget* parent = nullptr);

    int level() const { return level_; }
    // The layout used while none is saved; kDefaultLayout unless set.
    void setDefaultLayout(const Layout& layout) { default_ = layout; }
    QString settingsKey() const;

    // Appends a view to pane `pane` and makes it the current one.
    int addView(int pane, QWidget* view);
    // Places a nested splitter as the view of a pane; it saves and restores with this one.
    void addNested(int pane, PaneSplitter* nested);
    // Shows view `index` of the pane; -1 shows the next one, wrapping to the first.
    void showView(int pane, int index);
    int currentView(int pane) const;
    QWidget* view(int pane, int index) const;
    QStackedWidget* pane(int pane) const { return panes_[pane]; }
    PaneSplitter* nested(int pane) const { return nested_[pane]; }

    // Hides pane k when no pane is hidden, or shows it again when it is the hidden one.
    void togglePane(int k);
    int hiddenPane() const { return hidden_; }

    // The layout as it stands now: the current sizes, or the ideal ones of a pane not laid out.
    Layout currentLayout() const;
    void restoreLayout();  // this splitter, then the nested ones
    void saveLayout();     // this splitter, then the nested ones

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyLayout(const Layout& layout);

    SettingsStore& store_;
    int level_ = 0;
    std::array<QStackedWidget*, 2> panes_{};
    std::array<PaneSplitter*, 2> nested_{};
    std::array<int, 2> ideal_{100, 100};
    int hidden_ = -1;
    Layout default_;
    bool laidOut_ = false;  // sizes() means something only once the splitter had a size
};
