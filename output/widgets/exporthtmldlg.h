#pragma once
// "Export HTML": the two templates and the folder that receives the site, and the Create button.

#include <QDialog>
#include <QList>

#include "entrylistview.h"

class Prompter;
class QLineEdit;
class QProgressBar;

class CExportHTMLDlg : public QDialog {
    Q_OBJECT
public:
    // `entries`: events each followed by their pictures, as the tree shows them.
    CExportHTMLDlg(const QList<OutputEntry>& entries, Prompter& prompter, QWidget* parent = nullptr);

    void setStatusSink(std::function<void(const QString&, bool)> sink) { status_ = std::move(sink); }

    QLineEdit* mainTemplateEdit() const { return main_; }
    QLineEdit* eventTemplateEdit() const { return event_; }
    QLineEdit* saveToEdit() const { return saveTo_; }

    void create();

private:
    void browseTemplate(QLineEdit* edit);
    void browseFolder();

    QList<OutputEntry> entries_;
    Prompter& prompter_;
    std::function<void(const QString&, bool)> status_;
    QLineEdit* main_;
    QLineEdit* event_;
    QLineEdit* saveTo_;
    QProgressBar* progress_;
};
