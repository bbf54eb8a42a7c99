#pragma once
// "Index Print": the choices of a contact sheet (which pictures, file, columns, cell size, colours)
// and its Create button. The main window keeps one for the run, so the choices last.

#include <QDialog>
#include <QList>

#include "entrylistview.h"
#include "pictureselection.h"

class ColorComboBox;
class Prompter;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class PictureRecord;

class CIndexPrintDlg : public QDialog {
    Q_OBJECT
public:
    explicit CIndexPrintDlg(Prompter& prompter, QWidget* parent = nullptr);

    // What the main window hands over before showing the dialog: the current picture (may be null),
    // the browser's entries (events each followed by their pictures) and whether they are search
    // results. Fills the Pictures list again.
    void setSource(PictureRecord* current, const QList<OutputEntry>& entries, bool searchResults);

    // Status texts of the work, for the main window's status bar.
    void setStatusSink(std::function<void(const QString&, bool)> sink) { status_ = std::move(sink); }

    int pictureCount() const { return pictures_; }
    QString rowsText() const;
    QString sizeText() const;
    ColorComboBox* backgroundBox() const { return background_; }
    ColorComboBox* lineBox() const { return line_; }

    void create();

private:
    void browse();
    void selectionChanged();
    void recompute();
    QSize cell() const;

    Prompter& prompter_;
    PictureRecord* current_ = nullptr;
    QList<OutputEntry> entries_;
    PictureSelectionList selection_;
    int pictures_ = 0;
    std::function<void(const QString&, bool)> status_;

    QComboBox* picturesBox_;
    QLabel* count_;
    QLineEdit* fileName_;
    QPushButton* browse_;
    QSpinBox* cols_;
    QLineEdit* rows_;
    QLineEdit* size_;
    QList<QRadioButton*> cells_;
    ColorComboBox* background_;
    ColorComboBox* line_;
    QProgressBar* progress_;
    QPushButton* create_;
    QPushButton* close_;
};
