#pragma once
// "Export HTML": the two templates and the folder that receives the site, and the Create button;
// once the site is written, the offer to look at it in the desktop's web browser.

#include <QDialog>
#include <QList>

#include <functional>

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
    // Opens the written main page; the desktop's web browser unless a test sets another.
    using Opener = std::function<bool(const QString& path)>;
    void setOpener(Opener opener) { opener_ = std::move(opener); }
    // The templates the fields start with (the examples the program ships); the choosers open there.
    void setTemplates(const QString& mainTemplate, const QString& eventTemplate);

    QLineEdit* mainTemplateEdit() const { return main_; }
    QLineEdit* eventTemplateEdit() const { return event_; }
    QLineEdit* saveToEdit() const { return saveTo_; }
    QProgressBar* progressBar() const { return progress_; }

    void create();

private:
    void browseTemplate(QLineEdit* edit);
    void browseFolder();

    QList<OutputEntry> entries_;
    Prompter& prompter_;
    std::function<void(const QString&, bool)> status_;
    Opener opener_;
    QLineEdit* main_;
    QLineEdit* event_;
    QLineEdit* saveTo_;
    QProgressBar* progress_;
};
