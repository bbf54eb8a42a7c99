#include "colorcombobox.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

#include "indexprint.h"

namespace {

QIcon swatch(const QColor& color) {
    QPixmap pixmap(24, 14);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
    return QIcon(pixmap);
}

}  // namespace

ColorComboBox::ColorComboBox(QWidget* parent) : QComboBox(parent) {
    setIconSize(QSize(24, 14));
    for (const indexprint::NamedColor& named : indexprint::colors()) addItem(swatch(named.color), named.name, named.color);
    addItem(swatch(custom_), tr("Custom..."), custom_);
    chooser_ = [this](const QColor& initial) { return QColorDialog::getColor(initial, this); };
    connect(this, &QComboBox::activated, this, &ColorComboBox::chosen);
}

QColor ColorComboBox::color() const { return currentData().value<QColor>(); }

void ColorComboBox::chosen(int index) {
    if (index != customIndex()) return;
    const QColor picked = chooser_ ? chooser_(custom_) : QColor();
    if (picked.isValid()) setCustom(picked);
}

void ColorComboBox::setCustom(const QColor& color) {
    custom_ = color;
    setItemData(customIndex(), color);
    setItemIcon(customIndex(), swatch(color));
}
