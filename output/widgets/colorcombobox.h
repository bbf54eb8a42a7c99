#pragma once
// A drop-down of colours, each shown with a swatch and its name: the named colours of the index
// print, then "Custom...", whose colour the user picks in the colour chooser.

#include <QColor>
#include <QComboBox>

#include <functional>

class ColorComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ColorComboBox(QWidget* parent = nullptr);

    // The chooser behind "Custom...": gets the current custom colour, returns the chosen one or an
    // invalid colour when cancelled. QColorDialog unless a test sets another.
    using Chooser = std::function<QColor(const QColor& initial)>;
    void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }

    QColor color() const;
    QColor customColor() const { return custom_; }
    int customIndex() const { return count() - 1; }

private:
    void chosen(int index);
    void setCustom(const QColor& color);

    Chooser chooser_;
    QColor custom_{255, 255, 255};
};
