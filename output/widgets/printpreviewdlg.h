#pragma once
// The Print Preview window: the pages as the options lay them out, with paging, zoom and page setup.
// Its Print button does not print what it shows (the preview may draw from thumbnails): it hands the
// print to the caller, which prints as File > Print does, and the window closes once that went ahead.

#include <QDialog>

#include <functional>

class QAction;
class QLabel;
class QPrinter;
class QPrintPreviewWidget;

class CPrintPreviewDlg : public QDialog {
    Q_OBJECT
public:
    // `drawPages` draws the preview's pages on the printer it is given. `printPages` prints for real,
    // its dialogs over the window it is given; it returns false when the user stopped before anything
    // was printed, and the window stays.
    CPrintPreviewDlg(QPrinter& printer, std::function<void(QPrinter&)> drawPages, std::function<bool(QWidget*)> printPages,
                     QWidget* parent = nullptr);

    QAction* printAction() const { return print_; }
    QPrintPreviewWidget* preview() const { return preview_; }
    int currentPage() const;
    int pageCount() const;

private:
    void printRequested();
    void pageSetup();
    void updatePageText();

    QPrinter& printer_;
    std::function<bool(QWidget*)> printPages_;
    QPrintPreviewWidget* preview_ = nullptr;
    QAction* print_ = nullptr;
    QLabel* pageText_ = nullptr;
};
