#pragma once
// "Catalog Archive": asks under which CD name and location the pictures of the current catalog are
// archived. The main window then records both in every entry of the catalog.

#include <QDialog>

class Prompter;
class QLineEdit;

class CArchiveIdxDlg : public QDialog {
    Q_OBJECT
public:
    CArchiveIdxDlg(const QString& catalogFolder, const QString& cdName, const QString& location, Prompter& prompter,
                   QWidget* parent = nullptr);

    // The size of a catalog file as the dialog shows it: kilobytes below 1024 of them, else megabytes.
    static QString sizeText(qint64 bytes);
    static const QString kInformation;

    QString cdName() const;
    // Ends in "/" once the dialog was accepted with a location.
    QString location() const;

    void accept() override;

private:
    void browse();

    Prompter& prompter_;
    QLineEdit* cdName_;
    QLineEdit* location_;
};
