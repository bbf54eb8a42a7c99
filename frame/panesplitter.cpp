#include "panesplitter.h"

#include <QResizeEvent>
#include <QStackedWidget>
#include <QStringList>

#include "settingsstore.h"

namespace {
const QString kSection = QStringLiteral("SplitterWnd");
}

QString PaneSplitter::formatLayout(const Layout& layout) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(layout.hiddenColumn)
        .arg(layout.size0)
        .arg(layout.hiddenRow)
        .arg(layout.size1);
}

std::optional<PaneSplitter::Layout> PaneSplitter::parseLayout(const QString& text) {
    const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4) return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toInt(&ok);
        if (!ok) return std::nullopt;
    }
    return Layout{values[0], values[1], values[2], values[3]};
}

PaneSplitter::PaneSplitter(Qt::Orientation orientation, SettingsStore& store, PaneSplitter* parentSplitter,
                           QWidget* parent)
    : QSplitter(orientation, parent), store_(store), level_(parentSplitter ? parentSplitter->level() + 1 : 0) {
    setChildrenCollapsible(false);
    for (int i = 0; i < 2; ++i) {
        panes_[i] = new QStackedWidget(this);
        panes_[i]->setMinimumSize(kMinimumPaneSize, kMinimumPaneSize);
        addWidget(panes_[i]);
    }
    // The first pane keeps its ideal size when the window grows; the second takes the rest.
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
}

QString PaneSplitter::settingsKey() const { return QStringLiteral("Panes_%1").arg(level_); }

int PaneSplitter::addView(int pane, QWidget* view) {
    const int index = panes_[pane]->addWidget(view);
    showView(pane, index);
    return index;
}

void PaneSplitter::addNested(int pane, PaneSplitter* nested) {
    nested_[pane] = nested;
    addView(pane, nested);
}

void PaneSplitter::showView(int pane, int index) {
    QStackedWidget* stack = panes_[pane];
    if (stack->count() == 0) return;
    if (index < 0) index = (stack->currentIndex() + 1) % stack->count();
    if (index >= stack->count()) return;
    stack->setCurrentIndex(index);
    stack->currentWidget()->show();
}

int PaneSplitter::currentView(int pane) const { return panes_[pane]->currentIndex(); }

QWidget* PaneSplitter::view(int pane, int index) const { return panes_[pane]->widget(index); }

void PaneSplitter::togglePane(int k) {
    if (k < 0 || k > 1) return;
    if (hidden_ < 0) {
        ideal_ = {sizes().value(0, ideal_[0]), sizes().value(1, ideal_[1])};
        panes_[k]->hide();
        hidden_ = k;
    } else if (hidden_ == k) {
        panes_[k]->show();
        hidden_ = -1;
        setSizes({ideal_[0], ideal_[1]});
    }
}

void PaneSplitter::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    if (!size().isEmpty()) laidOut_ = true;
}

PaneSplitter::Layout PaneSplitter::currentLayout() const {
    const QList<int> now = sizes();
    int size[2];
    for (int i = 0; i < 2; ++i) {
        // A pane that is hidden or was never laid out keeps the size it is meant to have.
        const int current = (hidden_ == i || !laidOut_) ? 0 : now.value(i, 0);
        size[i] = current > 0 ? current : ideal_[i];
        if (size[i] <= 0) size[i] = 100;
    }
    const bool columns = orientation() == Qt::Horizontal;
    return Layout{columns ? hidden_ : -1, size[0], columns ? -1 : hidden_, size[1]};
}

void PaneSplitter::applyLayout(const Layout& layout) {
    ideal_ = {qMax(layout.size0, kMinimumPaneSize), qMax(layout.size1, kMinimumPaneSize)};
    const int hidden = orientation() == Qt::Horizontal ? layout.hiddenColumn : layout.hiddenRow;
    if (hidden_ >= 0) panes_[hidden_]->show();
    hidden_ = -1;
    if (hidden == 0 || hidden == 1) {
        panes_[hidden]->hide();
        hidden_ = hidden;
    } else {
        setSizes({ideal_[0], ideal_[1]});
    }
}

void PaneSplitter::restoreLayout() {
    applyLayout(parseLayout(store_.readString(kSection, settingsKey())).value_or(default_));
    for (PaneSplitter* nested : nested_)
        if (nested) nested->restoreLayout();
}

void PaneSplitter::saveLayout() {
    store_.writeString(kSection, settingsKey(), formatLayout(currentLayout()));
    for (PaneSplitter* nested : nested_)
        if (nested) nested->saveLayout();
}
