#pragma once
// "Export Data": writes the data report of the browser's events and pictures to a text file and
// opens it in the desktop's text editor.

#include <QDialog>
#include <QList>

#include <functional>

#include "datareport.h"
#include "entrylistview.h"

class Prompter;
class QLineEdit;
class QRadioButton;

class CExportDataDlg : public QDialog {
    Q_OBJECT
public:
    // `entries`: events each followed by their pictures.
    CExportDataDlg(const QList<OutputEntry>& entries, Prompter& prompter, QWidget* parent = nullptr);

    // Opens a written file; the desktop's handler for text unless a test sets another.
    using Opener = std::function<bool(const QString& path)>;
    void setOpener(Opener opener) { opener_ = std::move(opener); }

    ReportKind kind() const;
    QString fileName() const;

    void save();
    void view();

private:
    void browse();

    QList<OutputEntry> entries_;
    Prompter& prompter_;
    Opener opener_;
    QLineEdit* fileName_;
    QList<QRadioButton*> kinds_;
};
