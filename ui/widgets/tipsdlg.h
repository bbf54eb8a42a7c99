#pragma once
// "Tips": one numbered usage tip at a time. The main window keeps one instance for the whole run, so
// each opening shows the current tip again and ticks the box from the stored setting.

#include <QDialog>

#include "tipstable.h"

class QCheckBox;
class QTextBrowser;
class SettingsStore;

class CTipsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTipsDlg(SettingsStore& store, QWidget* parent = nullptr);

    int tipIndex() const { return cursor_.index(); }
    QString tipText() const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    SettingsStore& store_;
    tips::TipCursor cursor_;
    QTextBrowser* text_;
    QCheckBox* showAtStartup_;
};
