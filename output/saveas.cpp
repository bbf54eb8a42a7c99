#include "saveas.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "filename.h"
#include "iptcblock.h"
#include "photoshopresources.h"
#include "pictureheader.h"
#include "picturerecord.h"
#include "prompter.h"
#include "safewrite.h"
#include "thumbnailmaker.h"

namespace {

constexpr qint64 kCopyChunk = 256 * 1024;

QString infoDate(const QDateTime& dateTime) {
    // "%b %d, %Y at %I:%M %p": English month names whatever the user's language.
    return QLocale::c().toString(dateTime, QStringLiteral("MMM dd, yyyy 'at' hh:mm AP"));
}

// The part `rect` of the picture as displayed, scaled to `size`. The decoder clips and scales while
// decoding, so a picture that ends up smaller than its file is never held at full size.
QImage decodePart(const PictureRecord& picture, QRect rect, QSize size, QString& error) {
    const QSize display(picture.displayWidth(), picture.displayHeight());
    if (picture.imageLoaded() && picture.image().size() == display) {
        QImage part = picture.image().copy(rect);
        if (part.size() != size) part = part.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return part;
    }
    thumbnails::TurnedDecoder decoder(picture.filePath(), thumbnails::quarterTurns(picture.rotation()));
    const QSize storedDisplay = decoder.size();
    if (!storedDisplay.isValid()) {
        error = QFileInfo::exists(picture.filePath()) ? decoder.errorString()
                                                      : QStringLiteral("the picture's file is missing");
        return {};
    }
    if (storedDisplay != display) {
        // The file is not the size its header said: take the same share of what is there.
        const double fx = double(storedDisplay.width()) / display.width();
        const double fy = double(storedDisplay.height()) / display.height();
        rect = QRect(int(rect.x() * fx), int(rect.y() * fy), std::max(1, int(rect.width() * fx)),
                     std::max(1, int(rect.height() * fy)))
                   .intersected(QRect(QPoint(0, 0), storedDisplay));
        if (rect.isEmpty()) {
            error = QStringLiteral("the picture's size is unknown");
            return {};
        }
    }
    // Decoded at the size drawn, four bytes a pixel.
    if (qint64(size.width()) * size.height() * 4 > saveas::pictureMemoryLimit()) {
        error = QStringLiteral("the picture is too large for this machine's memory at %1 x %2 pixels")
                    .arg(size.width())
                    .arg(size.height());
        return {};
    }
    QImage image = decoder.read(rect, size);
    if (image.isNull()) error = decoder.errorString();
    return image;
}

QImage withInfoStrip(const QImage& picture, int strip, const QString& text) {
    QImage canvas(picture.width(), picture.height() + strip, QImage::Format_RGB32);
    canvas.setDotsPerMeterX(picture.dotsPerMeterX());
    canvas.setDotsPerMeterY(picture.dotsPerMeterY());
    canvas.fill(0xFFFFFFFF);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, picture);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xFF000000u));
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawText(QRect(0, picture.height() + 1, std::max(1, picture.width()), strip - 1),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, text);
    painter.end();
    return canvas;
}

// The encoded picture with the picture data in a Photoshop segment after the JFIF header.
QByteArray withPictureData(const QByteArray& jpeg, const IptcBlock& data, WriteResult& result) {
    WriteError error = WriteError::None;
    const QByteArray list = data.BuildDatasetList(&error);
    if (error != WriteError::None) {
        result = {error, QStringLiteral("picture data")};
        return {};
    }
    if (list.size() <= 2) return jpeg;
    const QByteArray segments = psd::segmentsFor(psd::replaceIptc({}, QByteArrayView(list).sliced(2)));
    qsizetype at = 2;
    if (jpeg.size() >= 6 && uchar(jpeg[2]) == 0xFF && uchar(jpeg[3]) == 0xE0)
        at = 4 + ((uchar(jpeg[4]) << 8) | uchar(jpeg[5]));
    if (at > jpeg.size()) at = 2;
    QByteArray out;
    out.reserve(jpeg.size() + segments.size());
    out.append(jpeg.first(at));
    out.append(segments);
    out.append(QByteArrayView(jpeg).sliced(at));
    return out;
}

WriteResult writeBytes(const QString& target, const QByteArray& bytes, const QString& timesFrom, bool originalTimes,
                       SafeWriteBatch* batch, bool chosenName) {
    auto produce = [&](QFile& out) { return out.write(bytes) == bytes.size(); };
    auto verify = [&](const QString& temp) -> WriteResult {
        QFile check(temp);
        if (!check.open(QIODevice::ReadOnly) || check.size() != bytes.size() || check.readAll() != bytes)
            return {WriteError::VerifyFailed, target};
        return {};
    };
    SafeWriteOptions options;
    options.timesFrom = timesFrom;
    options.keepTimes = originalTimes;
    options.batch = batch;
    options.replaceLink = chosenName;
    return safeWrite(target, produce, verify, options);
}

QString refusedOntoSource() { return QStringLiteral("the target is the picture itself; it was left as it is"); }

}  // namespace

CopyPlan PlanScaledPicture(const PictureRecord& picture, const SaveAsOptions& options, bool landscape, int longSide,
                           int shortSide, int number, int total) {
    CopyPlan plan;
    plan.quality = std::clamp(options.quality, 0, 100);
    plan.originalTimes = options.useOriginalDateTime;
    plan.keepPictureData = options.keepPictureData;
    const int w = picture.displayWidth(), h = picture.displayHeight();
    if (w <= 0 || h <= 0) {
        plan.problem = QStringLiteral("the picture's size is unknown");
        return plan;
    }
    if (longSide <= 0 || shortSide <= 0) {
        plan.problem = QStringLiteral("no output size can be computed");
        return plan;
    }
    const double ratio = options.pictureRatio == 0 ? double(std::min(w, h)) / double(std::max(w, h))
                                                   : saveas::fixedRatio(options.pictureRatio);
    const QRect source = PictureSourceRect(picture, options.saveCropped);
    plan.sourceRect = FitRectToRatio(source.left(), source.top(), source.left() + source.width(),
                                     source.top() + source.height(), ratio, picture.cropTo());
    if (plan.sourceRect.isEmpty()) {
        plan.problem = QStringLiteral("the picture is too small for the chosen ratio");
        return plan;
    }
    // A square source is trimmed to an upright part; the output takes the shape of what is drawn,
    // never the other one, so that nothing is stretched.
    if (plan.sourceRect.width() != plan.sourceRect.height()) landscape = plan.sourceRect.width() > plan.sourceRect.height();
    plan.outputSize = landscape ? QSize(longSide, shortSide) : QSize(shortSide, longSide);
    if (options.appendInfo) {
        plan.infoStrip = saveas::kInfoStripHeight;
        plan.infoText = PictureInfoText(picture, number, total);
    }
    return plan;
}

CopyPlan PlanPictureCopy(const PictureRecord& picture, const SaveAsOptions& options, int number, int total) {
    if (options.isPlainCopy()) {
        CopyPlan plan;
        plan.plainCopy = true;
        plan.originalTimes = options.useOriginalDateTime;
        return plan;
    }
    const int w = picture.displayWidth(), h = picture.displayHeight();
    if (w <= 0 || h <= 0) {
        CopyPlan plan;
        plan.problem = QStringLiteral("the picture's size is unknown");
        return plan;
    }
    const QRect source = PictureSourceRect(picture, options.saveCropped);
    const bool landscape = source.width() >= source.height();
    // "Orginal" is each picture's own size, never that of the picture the dialog was opened on.
    const int longSide = options.pictureSize == 0 ? std::max(source.width(), source.height())
                                                  : saveas::fixedLongSide(options.pictureSize);
    const double ratio = options.pictureRatio == 0 ? double(std::min(w, h)) / double(std::max(w, h))
                                                   : saveas::fixedRatio(options.pictureRatio);
    const OutputSides sides = OutputSidesFor(longSide, ratio);
    return PlanScaledPicture(picture, options, landscape, sides.longSide, sides.shortSide, number, total);
}

QString PictureInfoText(const PictureRecord& picture, int number, int total) {
    const IptcBlock& iptc = picture.iptc();
    const QString head = QStringLiteral("Picture %1 of %2").arg(number).arg(total);
    if (iptc.event.isEmpty()) return head + '\t' + picture.fileName() + '\n' + infoDate(picture.dateTime());
    const qsizetype separator = iptc.event.indexOf(QStringLiteral(":::"));
    const QString eventName = separator > 0 ? iptc.event.mid(separator + 3) : iptc.event;
    return head + QStringLiteral(" taken on ") + infoDate(iptc.dateTime) + '\n' + iptc.location + QStringLiteral(", ") +
           iptc.city + QStringLiteral(" , ") + iptc.state + '\n' + eventName + '\t' + iptc.headline + '\n' +
           iptc.people.join(QStringLiteral(", "));
}

IptcBlock PictureDataForCopy(const IptcBlock& source) {
    // A fresh block holds nothing as read, so every field given to it is written out; the stored
    // thumbnail is no field and stays behind.
    IptcBlock copy;
    copy.Copy(source);
    copy.instructions.clear();
    copy.UnknownDatasets = source.UnknownDatasets;
    copy.otherRecordsBefore = source.otherRecordsBefore;
    copy.otherRecordsAfter = source.otherRecordsAfter;
    copy.RefreshDateTexts();
    return copy;
}

RenderedCopy RenderPictureCopy(const PictureRecord& picture, const CopyPlan& plan) {
    RenderedCopy rendered;
    if (!plan.problem.isEmpty()) {
        rendered.result = {WriteError::NotWalkable, plan.problem};
        return rendered;
    }
    QString error;
    QImage image = decodePart(picture, plan.sourceRect, plan.outputSize, error);
    if (image.isNull()) {
        rendered.result = {WriteError::OpenFailed, error};
        return rendered;
    }
    if (plan.infoStrip > 0) image = withInfoStrip(image, plan.infoStrip, plan.infoText);
    QBuffer buffer(&rendered.jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(plan.quality);
    if (!writer.write(image)) {
        rendered.result = {WriteError::WriteFailed, writer.errorString()};
        rendered.jpeg.clear();
        return rendered;
    }
    buffer.close();
    image = QImage();
    if (plan.keepPictureData) {
        rendered.jpeg = withPictureData(rendered.jpeg, PictureDataForCopy(picture.iptc()), rendered.result);
        if (!rendered.result) rendered.jpeg.clear();
    }
    return rendered;
}

WriteResult WriteRenderedCopy(const PictureRecord& picture, const CopyPlan& plan, const QByteArray& jpeg,
                              const QString& target, SafeWriteBatch* batch) {
    if (IsSameFile(picture.filePath(), target)) return {WriteError::Locked, refusedOntoSource()};
    return writeBytes(target, jpeg, picture.filePath(), plan.originalTimes, batch, plan.chosenName);
}

WriteResult CopyPictureFile(const PictureRecord& picture, const QString& target, bool originalTimes,
                            SafeWriteBatch* batch, SafeWriteOptions how) {
    if (IsSameFile(picture.filePath(), target)) return {WriteError::Locked, refusedOntoSource()};
    QFile source(picture.filePath());
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {WriteError::OpenFailed, source.exists() ? source.errorString() : QStringLiteral("the picture's file is missing")};
    qint64 size = 0;
    bool shortRead = false;
    // Buffers used for the whole file: a new one for each piece would cost a page fault per page.
    std::vector<char> buffer(kCopyChunk), again(kCopyChunk);
    auto produce = [&](QFile& out) {
        source.seek(0);
        size = 0;
        for (;;) {
            const qint64 n = source.read(buffer.data(), kCopyChunk);
            if (n <= 0) return !(shortRead = n < 0 || source.error() != QFileDevice::NoError);
            if (out.write(buffer.data(), n) != n) return false;
            size += n;
        }
    };
    // The copy as written, read back, against the picture read again: byte for byte.
    auto verify = [&](const QString& temp) -> WriteResult {
        QFile check(temp);
        if (!check.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || check.size() != size || !source.seek(0))
            return {WriteError::VerifyFailed, target};
        for (;;) {
            const qint64 n = check.read(buffer.data(), kCopyChunk);
            const qint64 m = source.read(again.data(), kCopyChunk);
            if (n < 0 || n != m || std::memcmp(buffer.data(), again.data(), size_t(n)) != 0)
                return {WriteError::VerifyFailed, target};
            if (n == 0) return {};
        }
    };
    SafeWriteOptions options = std::move(how);
    options.timesFrom = picture.filePath();
    options.keepTimes = originalTimes;
    options.batch = batch;
    WriteResult result = safeWrite(target, produce, verify, options);
    if (!result && shortRead) result = {WriteError::ShortRead, source.errorString()};
    return result;
}

WriteResult WritePictureCopy(const PictureRecord& picture, const CopyPlan& plan, const QString& target) {
    if (!plan.problem.isEmpty()) return {WriteError::NotWalkable, plan.problem};
    if (IsSameFile(picture.filePath(), target)) return {WriteError::Locked, refusedOntoSource()};
    if (plan.plainCopy) return CopyPictureFile(picture, target, plan.originalTimes, nullptr, chosenNameOptions(plan.chosenName));
    const RenderedCopy rendered = RenderPictureCopy(picture, plan);
    if (!rendered.result) return rendered.result;
    return WriteRenderedCopy(picture, plan, rendered.jpeg, target);
}

QString OutputNames::claim(const QString& path) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!used_.contains(clean)) {
        used_.append(clean);
        return path;
    }
    const QFileInfo info(clean);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = info.dir().filePath(QStringLiteral("%1_%2%3").arg(stem).arg(n).arg(extension));
        if (!used_.contains(candidate)) {
            used_.append(candidate);
            return candidate;
        }
    }
}

SaveAsRun::SaveAsRun(const SaveAsOptions& options, Prompter* prompter, SaveProgress progress)
    : options_(options), prompter_(prompter), progress_(std::move(progress)) {}

void SaveAsRun::status(const QString& text, bool busy) const {
    if (progress_.status) progress_.status(text, busy);
}

bool SaveAsRun::mayReplace(const QString& path) {
    if (skipAll_) return false;
    if (overwriteAll_) return true;
    if (!prompter_) return false;
    const unsigned answer =
        prompter_->choiceMessageBox(QDir::toNativeSeparators(path) + QStringLiteral(" already exists.\nDo you want to replace it?"),
                                    QStringLiteral("Save As"), mb::YesNo | mb::IconExclamation | mb::YesToAll | mb::NoToAll,
                                    ChoiceParams()) &
        0xFFFFu;
    switch (int(answer)) {
        case id::YesToAll: overwriteAll_ = true; return true;
        case id::NoToAll: skipAll_ = true; return false;
        case id::Yes: return true;
        default: return false;
    }
}

SaveOutcome SaveAsRun::save(const PictureRecord& picture, const QString& path, CopyPlan plan) {
    const QString name = picture.fileName().isEmpty() ? picture.filePath() : picture.fileName();
    auto fail = [&](const QString& reason) {
        failures_.append({name, path, reason});
        status(QStringLiteral("Ready"), false);
        return SaveOutcome::Failed;
    };
    // Refused before anything is asked: replacing the picture with its own copy would destroy it.
    if (IsSameFile(picture.filePath(), path)) {
        failures_.append({name, path, refusedOntoSource()});
        return SaveOutcome::Failed;
    }
    if (nameTaken(path) && !mayReplace(path)) return SaveOutcome::Declined;
    plan.chosenName = chosenNames_;
    ++done_;
    status(QStringLiteral("Creating image %1 of %2...").arg(done_).arg(total_), true);
    if (!plan.problem.isEmpty()) return fail(plan.problem);
    const WriteResult result = WritePictureCopy(picture, plan, path);
    if (!result) return fail(describe(result));
    written_.append(path);
    status(QStringLiteral("Ready"), false);
    return SaveOutcome::Written;
}

SaveOutcome SaveAsRun::SavePictureCopy(const PictureRecord& picture, const QString& path) {
    return save(picture, path, PlanPictureCopy(picture, options_, done_ + 1, total_));
}

SaveOutcome SaveAsRun::SaveScaledPicture(const PictureRecord& picture, const QString& path, bool landscape,
                                         int longSide, int shortSide) {
    return save(picture, path, PlanScaledPicture(picture, options_, landscape, longSide, shortSide, done_ + 1, total_));
}

SaveOutcome SaveAsRun::PlainCopy(const PictureRecord& picture, const QString& path) {
    CopyPlan plan;
    plan.plainCopy = true;
    plan.originalTimes = options_.useOriginalDateTime;
    return save(picture, path, plan);
}

QString SaveAsRun::failureReport() const {
    if (failures_.isEmpty()) return {};
    QString text = failures_.size() == 1 ? QStringLiteral("One picture could not be saved:\n")
                                         : QStringLiteral("%1 pictures could not be saved:\n").arg(failures_.size());
    for (const SaveFailure& f : failures_) {
        text += '\n' + f.picture;
        if (!f.target.isEmpty()) text += QStringLiteral(" to ") + QDir::toNativeSeparators(f.target);
        text += QStringLiteral(": ") + f.reason;
    }
    return text;
}

namespace {

bool endsWithSeparator(const QString& path) {
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator());
}

// Makes `folder` when it is missing; the reason when it cannot be had as a folder.
QString ensureFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (info.isDir()) return {};
    if (info.exists()) return QStringLiteral("it is a file, not a folder");
    if (!QDir().mkpath(folder)) return QStringLiteral("the folder could not be created");
    return {};
}

QString datedFolder(const QString& base, const PictureRecord& picture) {
    const QDateTime when = picture.dateTime();
    if (!when.isValid()) return base;
    return QDir(base).filePath(when.toString(QStringLiteral("yyyy_MM_dd")));
}

}  // namespace

SaveAsResult RunSaveAs(const SaveAsOptions& options, const SaveAsRequest& request, Prompter& prompter,
                       const SaveProgress& progress) {
    SaveAsResult result;
    result.saveAsPath = options.saveAsPath;
    if (options.dragAndDrop()) return result;

    SaveAsRun run(options, &prompter, progress);
    QString path = options.saveAsPath;
    if (options.email() || options.burn()) {
        // The pictures go to a folder of the program's own: what an earlier run left there is replaced.
        run.setOverwriteAll(true);
        path = request.outputFolder;
    }
    const bool single = request.selection == PictureSelection::Picture;
    const QList<PictureRecord*> pictures =
        CollectSelectedPictures(request.current, request.entries, request.selection, 1);
    result.total = int(pictures.size());
    run.setTotal(result.total);
    if (pictures.isEmpty()) return result;
    if (path.isEmpty()) {
        prompter.messageBox(QStringLiteral("No file or folder was given to save the pictures to.\n"
                                           "Please type one in Save As or choose one with \"...\"."),
                            QStringLiteral("Save As"), mb::Ok | mb::IconExclamation);
        result.noPathGiven = true;
        result.closeDialog = false;
        return result;
    }

    // Send Email attaches the picture's own file when nothing is to be rendered.
    const bool attachOwnFile = options.email() && options.isPlainCopy();
    OutputNames names;
    int handled = 0;
    auto handle = [&](PictureRecord& picture, const QString& target) {
        SaveOutcome outcome;
        if (attachOwnFile) {
            ++handled;
            if (QFileInfo(picture.filePath()).isFile()) {
                result.mailAttachments.append(picture.filePath());
                outcome = SaveOutcome::Written;
            } else {
                run.addFailure({picture.fileName(), {}, QStringLiteral("the picture's file is missing")});
                outcome = SaveOutcome::Failed;
            }
        } else {
            outcome = run.SavePictureCopy(picture, target);
            ++handled;
            if (outcome == SaveOutcome::Written && options.email()) result.mailAttachments.append(target);
        }
        if (progress.step) progress.step(handled, result.total);
        return outcome;
    };

    if (single) {
        PictureRecord& picture = *pictures.first();
        QString target = path;
        QString folderProblem;
        if (options.burn() && options.datedSubFolders) {
            target = datedFolder(target, picture);
            folderProblem = ensureFolder(target);
        } else if (endsWithSeparator(target)) {
            folderProblem = ensureFolder(target);
        }
        if (!folderProblem.isEmpty()) {
            run.addFailure({picture.fileName(), target, folderProblem});
            result.lastSingle = SaveOutcome::Failed;
        } else {
            if (QFileInfo(target).isDir()) {
                target = QDir(target).filePath(SuggestedFileName(picture.fileName()));
                run.setChosenNames(true);
            }
            result.lastSingle = handle(picture, target);
        }
        result.closeDialog = result.lastSingle != SaveOutcome::Declined;
    } else {
        const QString folderProblem = attachOwnFile ? QString() : ensureFolder(path);
        run.setChosenNames(true);
        if (!folderProblem.isEmpty()) {
            for (PictureRecord* picture : pictures) run.addFailure({picture->fileName(), path, folderProblem});
        } else {
            for (PictureRecord* picture : pictures) {
                QString folder = path;
                if (options.burn() && options.datedSubFolders) {
                    folder = datedFolder(path, *picture);
                    if (const QString problem = ensureFolder(folder); !problem.isEmpty()) {
                        run.addFailure({picture->fileName(), folder, problem});
                        if (progress.step) progress.step(++handled, result.total);
                        continue;
                    }
                }
                handle(*picture, names.claim(QDir(folder).filePath(SuggestedFileName(picture->fileName()))));
            }
        }
    }

    result.written = run.written();
    result.failures = run.failures();
    result.failureReport = run.failureReport();
    if (!result.failureReport.isEmpty())
        prompter.messageBox(result.failureReport, QStringLiteral("Error!"), mb::Ok | mb::IconExclamation);
    if (progress.status) progress.status(QStringLiteral("Ready"), false);

    if (options.email()) {
        result.mailSubject = request.selectionText;
        result.saveAsPath.clear();
    } else if (!options.burn() && result.closeDialog && !QFileInfo(path).isDir()) {
        // The next opening shows the folder the picture went to.
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        result.saveAsPath = slash >= 0 ? path.left(slash) : QString();
    }
    return result;
}

namespace saveas {

qint64 pictureMemoryLimit() {
    static const qint64 limit = [] {
        const long pages = ::sysconf(_SC_PHYS_PAGES);
        const long pageSize = ::sysconf(_SC_PAGESIZE);
        // Unknown: the decoder's own limit.
        if (pages <= 0 || pageSize <= 0) return qint64(QImageReader::allocationLimit()) << 20;
        return qint64(pages) * pageSize / 4;
    }();
    return limit;
}

void allowLargePictures() {
    const qint64 megabytes = pictureMemoryLimit() >> 20;
    if (megabytes > QImageReader::allocationLimit())
        QImageReader::setAllocationLimit(int(std::min<qint64>(megabytes, std::numeric_limits<int>::max())));
}

}  // namespace saveas

QImage RenderPicturePart(const PictureRecord& picture, const QRect& rect, const QSize& size, QString* error) {
    QString reason;
    QImage image = decodePart(picture, rect, size, reason);
    if (error) *error = reason;
    return image;
}
