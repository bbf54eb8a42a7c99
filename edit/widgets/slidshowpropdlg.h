#pragma once
// "Slide Show Properties": the seconds between two pictures of the slide show (0: the pictures move
// on only when the user clicks). The large picture view keeps one, so the value lasts while the
// program runs.

#include <QDialog>

class QSpinBox;

class CSlidShowPropDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSlidShowPropDlg(QWidget* parent = nullptr);

    int timeBetween() const;
    void setTimeBetween(int seconds);
    QSpinBox* timeBetweenBox() const { return seconds_; }

private:
    QSpinBox* seconds_;
};
