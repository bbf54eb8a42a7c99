#pragma once
// Making the copies: SaveScaledPicture renders one picture (re-cropped, resized, perhaps with the info
// strip) to a JPEG file, SavePictureCopy sizes one picture from a dialog's options and renders or
// copies it, and RunSaveAs is the whole save of a dialog over its picture selection, with the
// overwrite questions, progress, and one report of what could not be written at the end.
//
// Every file is written through safeWrite: a failed write leaves an existing file at the target as it
// was. A target that is the source picture itself (also through a link or another spelling of its
// path) is refused and never touched.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "entrylistview.h"
#include "pictureselection.h"
#include "safewrite.h"
#include "samefile.h"
#include "saveasoptions.h"
#include "writeerror.h"

class IptcBlock;
class PictureRecord;
class Prompter;

// What became of one picture. Declined (0) and Written (1) keep the values the callers test.
enum class SaveOutcome { Declined = 0, Written = 1, Failed = 2 };

// A picture that could not be rendered, copied or written, and why.
struct SaveFailure {
    QString picture;  // the source's file name (its path when it has no name)
    QString target;   // where it was to go; empty when no target was reached
    QString reason;
};

// Where a running save reports to. Both are optional.
struct SaveProgress {
    // The status text and whether the wait cursor is on: "Creating image %d of %d..." while working,
    // "Ready" (not busy) when a picture is done.
    std::function<void(const QString& text, bool busy)> status;
    // After each picture handled (written, declined or failed): the progress bar's position.
    std::function<void(int done, int total)> step;
};

// One picture's copy as decided before any pixel is read; the same for the window and snaplore-cli.
struct CopyPlan {
    bool plainCopy = false;  // copy the file byte for byte; nothing below applies
    QRect sourceRect;        // the part of the picture drawn, in pixels as displayed (already fitted)
    QSize outputSize;        // the picture's part of the output, without the info strip
    int quality = saveas::kDefaultQuality;
    int infoStrip = 0;       // rows added under the picture
    QString infoText;        // drawn in the strip
    bool originalTimes = true;
    bool keepPictureData = false;
    // The target's name is the program's choice inside a folder: a link standing there is replaced
    // itself, never written through.
    bool chosenName = false;
    QString problem;         // why no copy can be made (unknown size); empty when one can
};

// Plans the copy of `picture` with `options` as picture `number` of `total` (for the info text).
// "Orginal" size means the picture's own long side (of its crop rectangle when cropped).
CopyPlan PlanPictureCopy(const PictureRecord& picture, const SaveAsOptions& options, int number, int total);
// The same for SaveScaledPicture's own arguments: the output is (long, short) when `landscape`, else
// (short, long), drawn from the source rectangle fitted to the ratio row and the picture's CropTo.
// When the fitted rectangle stands the other way (a square source trimmed to an upright part), its
// shape wins, so that nothing is stretched.
CopyPlan PlanScaledPicture(const PictureRecord& picture, const SaveAsOptions& options, bool landscape,
                           int longSide, int shortSide, int number, int total);

// The info strip's text for picture `number` of `total`.
QString PictureInfoText(const PictureRecord& picture, int number, int total);

// The source's picture data as a rendered copy carries it: without the rotation and crop instruction
// text and without the stored thumbnail, since the copy is already turned and cropped.
IptcBlock PictureDataForCopy(const IptcBlock& source);

// Writes the copy; no questions. Safe to run for different targets on several threads at once. The
// picture's decoded image is used when it is loaded at full size; otherwise the file is decoded here,
// at reduced scale when the output is smaller, and freed again.
WriteResult WritePictureCopy(const PictureRecord& picture, const CopyPlan& plan, const QString& target);

// The two halves of WritePictureCopy, for callers that render on several threads and write on one:
// the encoded copy in memory (thread-safe), then the write (with an optional batch that flushes many
// files together).
struct RenderedCopy {
    QByteArray jpeg;
    WriteResult result;  // why there is no copy
};
RenderedCopy RenderPictureCopy(const PictureRecord& picture, const CopyPlan& plan);
WriteResult WriteRenderedCopy(const PictureRecord& picture, const CopyPlan& plan, const QByteArray& jpeg,
                              const QString& target, SafeWriteBatch* batch = nullptr);
// The plain copy: the picture's file byte for byte, every segment kept. `how` says how the target is
// taken (createOnly, replaceLink, nativeName); the times and the batch come from the other arguments.
WriteResult CopyPictureFile(const PictureRecord& picture, const QString& target, bool originalTimes,
                            SafeWriteBatch* batch = nullptr, SafeWriteOptions how = {});
// How a copy takes its target: with `chosenName` (the program chose the name inside a folder) a link
// there is replaced itself, never written through.
inline SafeWriteOptions chosenNameOptions(bool chosenName) {
    SafeWriteOptions how;
    how.replaceLink = chosenName;
    return how;
}


// Decides output paths so that one run never writes two pictures to one path: a path already given
// out gets "_2", "_3", ... before its extension, the first that is still free in this run.
class OutputNames {
public:
    QString claim(const QString& path);

private:
    QStringList used_;
};

// The state of one running save of a dialog instance: the counts of the progress text, the "to All"
// answers, and the failures met.
class SaveAsRun {
public:
    // `prompter` asks before replacing a file; without one an existing file is replaced only when
    // overwrite all is set, else skipped (declined).
    SaveAsRun(const SaveAsOptions& options, Prompter* prompter, SaveProgress progress = {});

    const SaveAsOptions& options() const { return options_; }
    void setTotal(int total) { total_ = total; }
    int total() const { return total_; }
    int done() const { return done_; }
    // "Y&es to All" / "N&o to All" answered (or set up front, as Send Email and Burn CD do).
    bool overwriteAll() const { return overwriteAll_; }
    void setOverwriteAll(bool on) { overwriteAll_ = on; }
    bool skipAll() const { return skipAll_; }
    // The targets handed in next are names the program chose inside a folder (see CopyPlan).
    void setChosenNames(bool on) { chosenNames_ = on; }

    // Sizes `picture` from the options and renders it, or copies it when the options ask for the
    // plain copy. The current picture of the options stands for nothing here: every picture gets its
    // own "Orginal" size and ratio.
    SaveOutcome SavePictureCopy(const PictureRecord& picture, const QString& path);
    // Renders `picture` at (long, short) - turned to (short, long) when not `landscape`.
    SaveOutcome SaveScaledPicture(const PictureRecord& picture, const QString& path, bool landscape, int longSide,
                                  int shortSide);
    // Copies the picture's file byte for byte, with the same question before replacing.
    SaveOutcome PlainCopy(const PictureRecord& picture, const QString& path);

    // Files written in this run, in order.
    const QStringList& written() const { return written_; }
    const QList<SaveFailure>& failures() const { return failures_; }
    // One message naming every failure with its reason; empty when there was none.
    QString failureReport() const;
    // Records a failure met outside the copy itself (a folder that could not be made).
    void addFailure(const SaveFailure& failure) { failures_.append(failure); }

private:
    SaveOutcome save(const PictureRecord& picture, const QString& path, CopyPlan plan);
    // The question before replacing; true to go on.
    bool mayReplace(const QString& path);
    void status(const QString& text, bool busy) const;

    SaveAsOptions options_;
    Prompter* prompter_;
    SaveProgress progress_;
    int total_ = 0;
    int done_ = 0;
    bool overwriteAll_ = false;
    bool skipAll_ = false;
    bool chosenNames_ = false;
    QStringList written_;
    QList<SaveFailure> failures_;
};

// One press of a dialog's Save button.
struct SaveAsRequest {
    PictureRecord* current = nullptr;  // the current picture of the dialog
    QList<OutputEntry> entries;        // the browser's entries, as handed over when the dialog opened
    PictureSelection selection = PictureSelection::Picture;
    QString selectionText;             // the Pictures list's text: the e-mail's subject
    // Send Email: the program's temporary folder; Burn CD: the staging folder. Save As uses the
    // options' Save As path.
    QString outputFolder;
};

struct SaveAsResult {
    int total = 0;                     // pictures in the run
    QStringList written;               // files written
    QList<SaveFailure> failures;
    QString failureReport;             // shown already when a prompter was given; empty when none
    bool noPathGiven = false;          // Save As with pictures chosen and an empty path (told already)
    SaveOutcome lastSingle = SaveOutcome::Written;  // of a single-picture save
    // The dialog closes unless a single-picture save was declined or no path was given.
    bool closeDialog = true;
    // What the Save As text becomes: cut back to its folder, or emptied after Send Email.
    QString saveAsPath;
    // Send Email: the attachments in order (rendered copies, or the pictures' own files for the plain
    // copy) and the subject.
    QStringList mailAttachments;
    QString mailSubject;
};

// The Save button of a Save As, Send Email or Burn CD instance (Drag and Drop only keeps its
// options: nothing is written). Folder rules: several pictures, or a path that ends in "/" or names
// an existing folder, make the path a folder (created when missing) and each picture keeps its file
// name; Send Email and Burn CD replace existing files without asking. Failures are reported through
// `prompter` in one message at the end.
SaveAsResult RunSaveAs(const SaveAsOptions& options, const SaveAsRequest& request, Prompter& prompter,
                       const SaveProgress& progress = {});

namespace saveas {
// The most memory one decoded picture may take: a quarter of the machine's physical memory, read
// once. A copy at a size that needs more is refused as too large for this machine's memory.
qint64 pictureMemoryLimit();
// Lets the image decoder take pictures up to that limit instead of its own 128 MB, which refuses a
// 100-megapixel picture at full size. Called once at start, before any picture is decoded.
void allowLargePictures();
}  // namespace saveas

// The part `rect` (in pixels of the picture as displayed) of a picture, scaled to `size`, decoded at
// the smallest scale that still covers it. Thread-safe. Null with `error` set when it cannot be read.
QImage RenderPicturePart(const PictureRecord& picture, const QRect& rect, const QSize& size, QString* error);
