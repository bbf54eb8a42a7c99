#pragma once
// "Copy to All Pictures": saves the open picture and gives its data to every picture of the strip.
// The main frame keeps one dialog for the run, so the ticks keep their states between uses; before
// each use it names the targets. Targets are held by path and looked up only after the save, because
// saving the open picture gives the browser's entry a new picture object.

#include <QDialog>
#include <QStringList>
#include <functional>

#include "copytoall.h"

class IptcBlock;
class PictureRecord;
class Prompter;
class QCheckBox;
class QProgressBar;

class CCopyToAllDlg : public QDialog {
    Q_OBJECT
public:
    // What the dialog needs from the frame.
    struct Hooks {
        std::function<bool()> savePicture;                           // the frame's save, lock questions and all
        std::function<const IptcBlock*()> source;                    // the open picture's data after the save
        std::function<PictureRecord*(const QString& path)> picture;  // a target's picture object, or null
        std::function<void()> refreshBrowser;                        // after the writes
        // Takes the written pictures for their folders' catalogs (the window's keeps them current in
        // the background and reports its own failures); empty: the catalogs are written here.
        std::function<void(const PictureChanges&)> catalogs;
    };

    CCopyToAllDlg(Prompter& prompter, Hooks hooks, QWidget* parent = nullptr);

    void clearTargets() { targets_.clear(); }
    void addTarget(const QString& path) { targets_.append(path); }
    const QStringList& targets() const { return targets_; }

    // Shows the kept ticks and runs the dialog.
    int exec() override;

    const copytoall::Choice& choice() const { return choice_; }
    // The result of the last run that wrote pictures.
    const copytoall::Report& lastReport() const { return report_; }

    QCheckBox* eventBox() const { return event_; }
    QCheckBox* headlineBox() const { return headline_; }
    QCheckBox* peopleBox() const { return people_; }
    QCheckBox* ratingBox() const { return rating_; }
    QCheckBox* captionBox() const { return caption_; }
    QCheckBox* placeBox() const { return place_; }
    QProgressBar* progressBar() const { return progress_; }

    // OK: the question, the save, the copy, the refresh and the catalogs; the dialog closes whatever
    // the outcome and forgets its targets.
    void accept() override;
    void reject() override;

private:
    void showChoice();
    bool run();

    Prompter& prompter_;
    Hooks hooks_;
    QStringList targets_;
    copytoall::Choice choice_;
    copytoall::Report report_;
    QCheckBox* event_ = nullptr;
    QCheckBox* headline_ = nullptr;
    QCheckBox* people_ = nullptr;
    QCheckBox* rating_ = nullptr;
    QCheckBox* caption_ = nullptr;
    QCheckBox* place_ = nullptr;
    QProgressBar* progress_ = nullptr;
};
