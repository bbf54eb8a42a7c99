#pragma once
// "CD Burning Options": what Burn CD adds to the disc and where the pictures go in it. The Burn CD
// instance of the Save As dialog keeps one, so the choices last as long as that instance.

#include <QDialog>

class QCheckBox;
class QRadioButton;

struct CdBurnOptions {
    bool addAutorun = true;       // "Add Autorun to CD"
    bool createCatalogs = true;   // "Create Catalogs"
    bool root = false;            // "Put files in": "Root"
    bool datedSubFolders = true;  // "Put files in": "Dated Sub Folders"
};

class CCBBurnDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCBBurnDlg(QWidget* parent = nullptr);

    // The choices of the last "Burn CD"; Cancel leaves them as they were.
    const CdBurnOptions& options() const { return options_; }
    void setOptions(const CdBurnOptions& options) { options_ = options; }

    // Shows the choices as they stand, then runs.
    int exec() override;
    void accept() override;

private:
    void load();

    CdBurnOptions options_;
    QCheckBox* addAutorun_;
    QCheckBox* createCatalogs_;
    QRadioButton* root_;
    QRadioButton* dated_;
};
