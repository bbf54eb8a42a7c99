#pragma once
// "Print Options" / "Print Preview Options": what to print and how. The frame keeps one for the run,
// shared by Print and Print Preview, so the choices last until the program ends and a choice made
// for the one is what the other shows next.

#include <QDialog>
#include <QList>

#include "entrylistview.h"
#include "pictureselection.h"
#include "printlayout.h"

class PictureRecord;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QSpinBox;

class CPrintOptionsDlg : public QDialog {
    Q_OBJECT
public:
    enum class Variant { Print, Preview };

    CPrintOptionsDlg(Variant variant, QPrinter& printer, QWidget* parent = nullptr);

    // Before each opening: the picture shown, the browser's entries and whether they are search
    // results. The Pictures list is filled again and the entry chosen last time is chosen again.
    void setPictures(PictureRecord* current, const QList<OutputEntry>& entries, bool searchResults);
    // The printer's name and paper size, read again.
    void readPrinter();

    // The title and the controls of the command about to run: Quick Preview only for the preview.
    void setVariant(Variant variant);
    Variant variant() const { return variant_; }
    const print::PrintOptions& options() const { return options_; }
    PictureSelection selection() const { return selection_; }
    // The Pictures list's text: the document title's first part.
    QString selectionText() const;
    // The pictures to print in order, each "Copies:" times.
    QList<PictureRecord*> picturesToPrint() const;
    int pictureCount() const;  // "# of Pictures:"
    int pageCount() const;     // "# of Pages:"

private:
    void choosePictures(int index);
    void readControls();
    void refresh();
    void runSetup();

    Variant variant_;
    QPrinter& printer_;
    print::PrintOptions options_;
    PictureSelection selection_ = PictureSelection::Picture;
    bool selectionChosen_ = false;  // a choice of an earlier opening to come back to
    PictureRecord* current_ = nullptr;
    QList<OutputEntry> entries_;
    PictureSelectionList list_;

    QLineEdit* name_ = nullptr;
    QLineEdit* paper_ = nullptr;
    QComboBox* pictures_ = nullptr;
    QLabel* selectionCount_ = nullptr;
    QComboBox* layout_ = nullptr;
    QComboBox* size_ = nullptr;
    QSpinBox* copies_ = nullptr;
    QCheckBox* quickPreview_ = nullptr;
    QCheckBox* infoBorder_ = nullptr;
    QButtonGroup* pages_ = nullptr;
    QLineEdit* pictureTotal_ = nullptr;
    QLineEdit* pageTotal_ = nullptr;
    QWidget* layoutPicture_ = nullptr;
};
