#pragma once
// "File Save As": the dialog behind Save As, Send Email, Burn CD and the Drag and Drop options. The
// frame keeps one instance per command for the whole run, so each remembers its own options. Before
// an opening the frame hands over the current picture and the browser's entries; Save then runs the
// save over the chosen pictures (saveas.h) with the progress shown here, and hands the result to the
// command's own next step (the e-mail, the CD).

#include <QDialog>
#include <QList>

#include <functional>

#include "entrylistview.h"
#include "pictureselection.h"
#include "saveas.h"
#include "saveasoptions.h"

class FrameContext;
class PictureRecord;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

class CFileSaveAsDlg : public QDialog {
    Q_OBJECT
public:
    // What a command adds around the save. Both are optional.
    struct Hooks {
        // Before the run: where the pictures go when the mode has a folder of its own (Send Email: the
        // temporary folder; Burn CD: the staging folder). False keeps the dialog open and saves nothing.
        std::function<bool(QString& outputFolder)> prepare;
        // After the run, before the dialog closes: the e-mail or the CD.
        std::function<void(const SaveAsResult& result)> finish;
    };

    CFileSaveAsDlg(SaveAsMode mode, FrameContext& frame, QWidget* parent = nullptr);

    SaveAsMode mode() const { return options_.mode; }
    // The options as they stand; they last as long as the instance.
    SaveAsOptions& options() { return options_; }
    const SaveAsOptions& options() const { return options_; }
    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

    // What the frame hands over before an opening: the picture shown (may be null), which also sets
    // the "Orginal" rows, and the browser's entries with its search-results flag. The dialog does not
    // own the pictures; forget() drops them once the dialog is closed.
    void setCurrentPicture(PictureRecord* picture);
    void setEntries(const QList<OutputEntry>& entries, bool searchResults);
    void forget();

    // Fills the controls from the options and the handed-over pictures, as at every opening.
    void prepare();
    int exec() override;

    // The Pictures list's current choice and the count shown for it.
    PictureSelection selection() const;
    int pictureCount() const { return count_; }
    bool singlePicture() const { return single_; }
    // The texts shown, for the e-mail's subject and for tests.
    QString selectionText() const;
    QString outputSizeText() const;

    // Save: the options are kept and the pictures saved. Cancel: the options go back to what they
    // were at the opening.
    void accept() override;
    void reject() override;

    // The mode's title and the caption of its OK button.
    static QString titleFor(SaveAsMode mode);
    static QString okCaptionFor(SaveAsMode mode);

private:
    void applySelection();
    void updateOutputSize();
    void browse();

    FrameContext& frame_;
    SaveAsOptions options_;
    SaveAsOptions opened_;  // the options at the opening, for Cancel
    Hooks hooks_;
    PictureRecord* current_ = nullptr;
    QList<OutputEntry> entries_;
    bool searchResults_ = false;
    PictureSelectionList selections_;
    int count_ = 0;
    bool single_ = true;
    bool filling_ = false;  // the controls are being filled: their change signals are not the user's

    QComboBox* pictures_;
    QLabel* countLabel_;
    QLineEdit* saveAsPath_;
    QPushButton* browse_;
    QCheckBox* saveCropped_;
    QCheckBox* originalDateTime_;
    QComboBox* size_;
    QComboBox* ratio_;
    QLabel* outputSize_;
    QSlider* quality_;
    QLabel* qualityNumber_;
    QCheckBox* appendInfo_;
    QCheckBox* overlayDateTime_;
    QCheckBox* keepPictureData_;
    QProgressBar* progress_;
    QPushButton* ok_;
};
