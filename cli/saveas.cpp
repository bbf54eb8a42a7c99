// snaplore-cli saveas: resized and re-cropped copies of pictures, as the Save As dialog makes them.

#include "commands.h"
#include "filename.h"
#include "picturerecord.h"
#include "safewrite.h"
#include "saveas.h"

#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace {

const char kSaveAsUsage[] =
    "Usage: snaplore-cli saveas --out PATH [OPTIONS] FILE...\n"
    "Writes a resized, re-cropped JPEG copy of each picture.\n"
    "  --out PATH            the file to write; with several files, or when PATH ends in \"/\" or is a\n"
    "                        folder, the folder (made when missing) where each copy keeps its name\n"
    "  --size SIZE           orginal (each picture's own), 6mp, 5mp, 4mp, 3mp, 2mp, 1mp, .5mp or\n"
    "                        thumbnail (default orginal)\n"
    "  --ratio RATIO         orginal, 2.5x3.25, 3x4, 3.5x5, 4x6, 5x7 or 8x10 (default orginal)\n"
    "  --no-crop             the whole picture, not its crop rectangle\n"
    "  --quality N           JPEG quality from 0 to 100 (default 75)\n"
    "  --info                add the picture's data in a strip under it\n"
    "  --no-original-dates   give the copies the time of writing, not the picture's file times\n"
    "  --keep-picture-data   carry the picture data (IPTC) into the copy\n"
    "  --overwrite           replace existing files (otherwise they are skipped)\n"
    "\"original\" is accepted for \"orginal\". --size orginal --ratio orginal --no-crop copies each file\n"
    "as it is. Each file written is named on standard output; the exit status is 0 only when every\n"
    "picture was written.\n";

// The row of `value` in the list, matched without regard to case; -1 when it is not there.
int rowOf(const QStringList& texts, QString value) {
    if (value.compare(QStringLiteral("original"), Qt::CaseInsensitive) == 0) value = QStringLiteral("orginal");
    for (int i = 0; i < texts.size(); ++i)
        if (texts[i].compare(value, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

struct Job {
    QString source;  // as given
    std::unique_ptr<PictureRecord> picture;
    QString target;
    CopyPlan plan;
    QString problem;  // reported instead of writing
};

}  // namespace

int runSaveAs(const CliArgs& args, CliStreams io) {
    SaveAsOptions options(SaveAsMode::SaveAs);
    QString out;
    bool overwrite = false;
    const auto refuse = [&](const QString& reason) { return usageError(io, "saveas", reason, kSaveAsUsage); };
    CliOptions p;
    if (const auto status = parseCommandLine(args, io, "saveas", kSaveAsUsage, {"out", "size", "ratio", "quality"},
                                      {"no-crop", "info", "no-original-dates", "keep-picture-data", "overwrite"}, p)) return *status;
    const QList<QByteArray>& files = p.operands;
    for (const CliOptions::Option& option : p.options) {
        const QString& name = option.name;
        const QString& value = option.value;
        if (name == "no-crop") {
            options.saveCropped = false;
        } else if (name == "info") {
            options.appendInfo = true;
        } else if (name == "no-original-dates") {
            options.useOriginalDateTime = false;
        } else if (name == "keep-picture-data") {
            options.keepPictureData = true;
        } else if (name == "overwrite") {
            overwrite = true;
        } else if (name == "out") {
            out = value;
        } else if (name == "size") {
            options.pictureSize = rowOf(saveas::sizeTexts(), value);
            if (options.pictureSize < 0) return refuse(QStringLiteral("unknown size '%1'").arg(value));
        } else if (name == "ratio") {
            options.pictureRatio = rowOf(saveas::ratioTexts(), value);
            if (options.pictureRatio < 0) return refuse(QStringLiteral("unknown ratio '%1'").arg(value));
        } else {
            bool ok = false;
            options.quality = value.toInt(&ok);
            if (!ok || options.quality < 0 || options.quality > 100)
                return refuse(QStringLiteral("--quality wants a number from 0 to 100, not '%1'").arg(value));
        }
    }
    if (out.isEmpty()) return refuse(QStringLiteral("no --out given"));
    if (files.isEmpty()) return refuse(QStringLiteral("no file given"));

    int status = 0;
    const auto fail = [&](const QString& name, const QString& reason) {
        io.err << "snaplore-cli: " << name << ": " << reason << "\n";
        status = 1;
    };

    // Several pictures, or a folder named, make the output a folder; a folder and a name are always
    // joined with a separator.
    const bool toFolder = files.size() > 1 || out.endsWith(QLatin1Char('/')) || QFileInfo(out).isDir();
    if (toFolder && !QFileInfo(out).isDir()) {
        if (QFileInfo::exists(out) || !QDir().mkpath(out)) {
            fail(out, QFileInfo::exists(out) ? QStringLiteral("is a file, not a folder")
                                             : QStringLiteral("the folder could not be created"));
            return status;
        }
    }

    // Everything about each picture is decided up front, in the order given: its output name (two
    // pictures of the run never share one), whether it may be written, and its plan. Only the pixel
    // work runs on several threads afterwards.
    std::vector<Job> jobs;
    jobs.reserve(size_t(files.size()));
    OutputNames names;
    const int total = int(files.size());
    for (const QByteArray& raw : files) {
        Job job;
        job.source = printableName(raw);
        if (const QString problem = inputFileProblem(raw); !problem.isEmpty()) {
            job.problem = problem;
            jobs.push_back(std::move(job));
            continue;
        }
        const QString path = QFile::decodeName(raw);
        job.picture = std::make_unique<PictureRecord>(path);
        const QString wanted = toFolder ? QDir(out).filePath(SuggestedFileName(job.picture->fileName())) : out;
        job.target = names.claim(wanted);
        const int number = int(jobs.size()) + 1;
        if (!job.picture->isJpeg()) {
            job.problem = QStringLiteral("not a JPEG file");
        } else if (IsSameFile(path, job.target)) {
            job.problem = QStringLiteral("%1 is the picture itself; it was left as it is").arg(job.target);
        } else if (!overwrite && nameTaken(job.target)) {
            job.problem = QStringLiteral("%1 exists, skipped (--overwrite replaces it)").arg(job.target);
        } else {
            job.plan = PlanPictureCopy(*job.picture, options, number, total);
            job.plan.chosenName = toFolder;  // the copy's name in the folder is the program's choice
            job.problem = job.plan.problem;
        }
        jobs.push_back(std::move(job));
    }

    // The pictures to render, on every core, a chunk at a time so that only a few encoded copies wait
    // in memory: the next chunk renders while the one before is written.
    std::vector<const Job*> toRender;
    for (const Job& job : jobs)
        if (job.problem.isEmpty() && !job.plan.plainCopy) toRender.push_back(&job);
    constexpr size_t kChunk = 16;
    const auto renderChunk = [&](size_t first) {
        const size_t end = std::min(toRender.size(), first + kChunk);
        return QtConcurrent::mapped(std::vector<const Job*>(toRender.begin() + qsizetype(first), toRender.begin() + qsizetype(end)),
                                    [](const Job* job) { return RenderPictureCopy(*job->picture, job->plan); });
    };
    QFuture<RenderedCopy> current = renderChunk(0);
    std::optional<QFuture<RenderedCopy>> following;
    size_t chunkStart = 0;
    const auto takeRendered = [&](size_t index) {
        if (index >= chunkStart + kChunk) {
            current = following ? *following : renderChunk(chunkStart + kChunk);
            following.reset();
            chunkStart += kChunk;
        }
        if (!following && chunkStart + kChunk < toRender.size()) following = renderChunk(chunkStart + kChunk);
        return current.resultAt(int(index - chunkStart));
    };

    // A copy that could not be written names its picture and where it was to go.
    const auto notWritten = [&](const QString& source, const QString& target, const WriteResult& result) {
        fail(source, QStringLiteral("not written to %1: %2").arg(QDir::toNativeSeparators(target), describe(result)));
    };
    // Written in batches that are flushed to disk together.
    std::deque<QString> staged;  // the pictures of the copies waiting, in the batch's order
    SafeWriteBatch batch([&](const std::vector<SafeWriteBatch::Outcome>& outcomes) {
        for (const SafeWriteBatch::Outcome& outcome : outcomes) {
            if (outcome.result)
                io.out << QDir::toNativeSeparators(outcome.target) << "\n";
            else
                notWritten(staged.front(), outcome.target, outcome.result);
            staged.pop_front();
        }
        io.out.flush();
    });
    size_t next = 0;
    for (Job& job : jobs) {
        if (!job.problem.isEmpty()) {
            fail(job.source, job.problem);
            continue;
        }
        // The same target twice in a batch cannot happen: names are unique in the run.
        staged.push_back(job.source);
        WriteResult result;
        if (job.plan.plainCopy) {
            result = CopyPictureFile(*job.picture, job.target, job.plan.originalTimes, &batch, chosenNameOptions(job.plan.chosenName));
        } else {
            const RenderedCopy copy = takeRendered(next++);
            result = copy.result ? WriteRenderedCopy(*job.picture, job.plan, copy.jpeg, job.target, &batch) : copy.result;
        }
        if (!result) {
            staged.pop_back();
            notWritten(job.source, job.target, result);
        }
        job.picture.reset();
    }
    batch.commit();
    io.out.flush();
    io.err.flush();
    return status;
}
