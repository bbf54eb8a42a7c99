#include "htmlexport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

#include <functional>

#include "filename.h"
#include "picturerecord.h"
#include "safewrite.h"
#include "saveas.h"
#include "saveasoptions.h"
#include "shippedfiles.h"

namespace {

// A new file gets the time of writing, never that of a file it replaces.
SafeWriteOptions siteFileOptions() {
    SafeWriteOptions options;
    options.keepTimes = false;
    options.replaceLink = true;  // every name in the site is the program's choice
    return options;
}

const QString kBeginEvents = QStringLiteral("<!--BeginEvents-->");
const QString kEndEvents = QStringLiteral("<!--EndEvents-->");
const QString kBeginPictures = QStringLiteral("<!--BeginPictures-->");
const QString kEndPictures = QStringLiteral("<!--EndPictures-->");

// The renderings of each picture: suffix, long side, short side.
struct Rendering {
    const char* suffix;
    int longSide;
    int shortSide;
};
constexpr Rendering kRenderings[] = {{"_th.jpg", 160, 120}, {"_sm.jpg", 1024, 768}, {"_lg.jpg", 2272, 1704}};

QString escaped(const QString& value) {
    QString out = value.toHtmlEscaped();  // & < > "
    out.replace(QLatin1Char('\''), QStringLiteral("&#39;"));
    return out;
}

// A link to a file name: percent-encoded, then escaped for the page.
QString link(const QString& name) { return escaped(QString::fromLatin1(QUrl::toPercentEncoding(name))); }

// The last part of a path, whichever separator it uses.
QString lastName(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

bool readLines(const QString& path, QStringList& lines, QString& error) {
    QFile file(path);
    if (path.isEmpty()) {
        error = QStringLiteral("no template was given");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return true;
}

}  // namespace

QList<EventPageRecord> BuildEventPageRecords(const QList<OutputEntry>& source) {
    QList<EventPageRecord> records;
    for (int i = 0; i < source.size(); ++i) {
        if (source[i].kind != OutputEntry::Kind::Event) continue;
        EventPageRecord record;
        for (int j = i + 1; j < source.size() && source[j].kind != OutputEntry::Kind::Event; ++j)
            if (source[j].kind == OutputEntry::Kind::Picture && source[j].picture) record.pictures << j;
        if (record.pictures.isEmpty()) continue;
        const IptcBlock& data = source[record.pictures.first()].picture->iptc();
        record.pageName = SuggestedFileName(QStringLiteral("%1_%2").arg(lastName(source[i].path)).arg(records.size()));
        const qsizetype colons = data.event.indexOf(QLatin1String(":::"));
        record.dates = colons < 0 ? data.event : data.event.left(colons);
        record.title = colons < 0 ? data.event : data.event.mid(colons + 3);
        // Pictures without an event: the event's own text ("Unknown"), so that its link has a name.
        if (data.event.isEmpty()) record.title = source[i].fileName;
        record.city = data.city;
        record.state = data.state;
        record.country = data.country;
        record.numPictures = QString::number(record.pictures.size());
        records << record;
    }
    return records;
}

QList<EventPagePicture> EventPagePictures(const QList<OutputEntry>& source, const EventPageRecord& record) {
    QList<EventPagePicture> pictures;
    QStringList bases, names;
    const auto unique = [](QStringList& used, const QString& wanted, const auto& withNumber) {
        QString name = wanted;
        for (int n = 2; used.contains(name, Qt::CaseInsensitive); ++n) name = withNumber(n);
        used << name;
        return name;
    };
    for (int index : record.pictures) {
        EventPagePicture picture;
        picture.picture = source[index].picture;
        const QString fileName = SuggestedFileName(lastName(
            picture.picture->fileName().isEmpty() ? picture.picture->filePath() : picture.picture->fileName()));
        const QString base = fileName.left(fileName.indexOf(QLatin1Char('.')) < 0 ? fileName.size()
                                                                                 : fileName.indexOf(QLatin1Char('.')));
        picture.base = unique(bases, base, [&](int n) { return QStringLiteral("%1_%2").arg(base).arg(n); });
        const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
        const QString stem = dot <= 0 ? fileName : fileName.left(dot), ext = dot <= 0 ? QString() : fileName.mid(dot);
        picture.fileName = unique(names, fileName, [&](int n) { return QStringLiteral("%1_%2%3").arg(stem).arg(n).arg(ext); });
        // A name that is only dots would name a folder.
        if (picture.fileName == QLatin1String(".") || picture.fileName == QLatin1String("..")) picture.fileName += "_";
        pictures << picture;
    }
    return pictures;
}

QString ReplaceTemplateTags(const QString& line, const EventPageRecord* event, const EventPagePicture* picture) {
    QString out = line;
    if (event) {
        out.replace(QStringLiteral("<!--EventPage-->"), link(event->pageName) + QStringLiteral("/index.html"));
        out.replace(QStringLiteral("<!--EventDates-->"), escaped(event->dates));
        out.replace(QStringLiteral("<!--EventTitle-->"), escaped(event->title));
        out.replace(QStringLiteral("<!--EventCity-->"), escaped(event->city));
        out.replace(QStringLiteral("<!--EventState-->"), escaped(event->state));
        out.replace(QStringLiteral("<!--EventNumOfPictures-->"), escaped(event->numPictures));
    }
    if (picture && picture->picture) {
        const IptcBlock& data = picture->picture->iptc();
        const QLocale c = QLocale::c();
        out.replace(QStringLiteral("<!--PictureImg-->"), link(picture->fileName));
        out.replace(QStringLiteral("<!--PictureImgThumb-->"), link(picture->base + "_th.jpg"));
        out.replace(QStringLiteral("<!--PictureImgLarge-->"), link(picture->base + "_lg.jpg"));
        out.replace(QStringLiteral("<!--PictureImgSmall-->"), link(picture->base + "_sm.jpg"));
        out.replace(QStringLiteral("<!--PictureDate-->"),
                    data.dateTime.isValid() ? escaped(c.toString(data.dateTime, QStringLiteral("MM/dd/yyyy"))) : QString());
        out.replace(QStringLiteral("<!--PictureTime-->"),
                    data.dateTime.isValid() ? escaped(c.toString(data.dateTime, QStringLiteral("hh:mm AP"))) : QString());
        out.replace(QStringLiteral("<!--PictureTitle-->"), escaped(data.headline));
        out.replace(QStringLiteral("<!--PicturePeople-->"), escaped(data.people.join(QStringLiteral(", "))));
    }
    return out;
}

namespace {

class HtmlRun {
public:
    HtmlRun(const QList<OutputEntry>& source, const HtmlExportRequest& request)
        : source_(source), request_(request), saveAs_(SaveAsOptions(SaveAsMode::SaveAs), request.prompter, SaveProgress{request.status, {}}) {
        saveAs_.setOverwriteAll(!request.prompter && request.overwrite);
        saveAs_.setChosenNames(true);
    }

    HtmlExportResult run();

private:
    void step() {
        ++done_;
        if (request_.step) request_.step(done_, total_);
    }
    void fail(const QString& what) { result_.failures << what; }
    // Pages and copies: replaced without asking in the window, only with --overwrite elsewhere.
    bool mayWrite(const QString& path) {
        if (request_.prompter || request_.overwrite || !nameTaken(path)) return true;
        fail(QStringLiteral("%1 exists and was left as it is").arg(path));
        return false;
    }
    void writeText(const QString& path, const QString& text) {
        if (!mayWrite(path)) return;
        const QByteArray bytes = text.toUtf8();
        const WriteResult write = safeWrite(path, [&](QFile& file) { return file.write(bytes) == bytes.size(); }, {},
                                            siteFileOptions());
        if (write)
            result_.written << path;
        else
            fail(QStringLiteral("%1: %2").arg(path, describe(write)));
    }
    void writeMainPage(const QStringList& lines);
    void writeEventPage(const QStringList& lines, const EventPageRecord& record);
    void writeImages(const EventPagePicture& picture, const QString& folder);

    const QList<OutputEntry>& source_;
    const HtmlExportRequest& request_;
    SaveAsRun saveAs_;
    QList<EventPageRecord> records_;
    QString folder_;
    HtmlExportResult result_;
    int done_ = 0;
    int total_ = 0;
};

// The lines between `begin` and `end` stand once for each of `count` items, filled by `fill(line,
// item)`; `item` is -1 where there is none (after the block, or for a block without items, whose lines
// are then left out). Lines before the block see the first item. `blockDone(item)` runs at each end
// of the block. An end without its beginning is only dropped.
QString expandRepeatedBlock(const QStringList& lines, const QString& begin, const QString& end, int count,
                            const std::function<QString(const QString&, int)>& fill,
                            const std::function<void(int)>& blockDone) {
    QString page;
    int current = count > 0 ? 0 : -1;
    int blockStart = -1;
    bool inBlock = false;
    for (int pos = 0; pos < lines.size();) {
        const QString& line = lines[pos++];
        if (line.contains(begin)) {
            blockStart = pos;
            inBlock = true;
            continue;
        }
        if (line.contains(end)) {
            if (inBlock && current >= 0) {
                blockDone(current);
                if (current + 1 < count) {
                    ++current;
                    pos = blockStart;
                    continue;
                }
            }
            if (inBlock) current = -1;
            inBlock = false;
            blockStart = -1;
            continue;
        }
        if (inBlock && current < 0) continue;
        page += fill(line, current) + QLatin1Char('\n');
    }
    return page;
}

void HtmlRun::writeMainPage(const QStringList& lines) {
    const QString page = expandRepeatedBlock(
        lines, kBeginEvents, kEndEvents, records_.size(),
        [this](const QString& line, int item) {
            return ReplaceTemplateTags(line, item >= 0 ? &records_[item] : nullptr, nullptr);
        },
        [](int) {});
    writeText(QDir(folder_).filePath(QStringLiteral("index.html")), page);
}

void HtmlRun::writeImages(const EventPagePicture& picture, const QString& folder) {
    const PictureRecord& record = *picture.picture;
    const QString name = record.fileName().isEmpty() ? record.filePath() : record.fileName();
    if (!QFileInfo::exists(record.filePath())) {
        fail(QStringLiteral("%1: the picture's file is missing (archived?); its images were not written").arg(name));
        return;
    }
    const bool landscape = record.displayWidth() >= record.displayHeight();
    for (const Rendering& r : kRenderings) {
        const QString path = QDir(folder).filePath(picture.base + QLatin1String(r.suffix));
        // Without anyone to ask, an existing rendering is kept and named.
        if (saveAs_.SaveScaledPicture(record, path, landscape, r.longSide, r.shortSide) == SaveOutcome::Declined &&
            !request_.prompter)
            fail(QStringLiteral("%1 exists and was left as it is").arg(path));
    }
    const QString copy = QDir(folder).filePath(picture.fileName);
    if (!mayWrite(copy)) return;
    if (IsSameFile(record.filePath(), copy)) {
        fail(QStringLiteral("%1 is the picture itself; it was left as it is").arg(copy));
        return;
    }
    const WriteResult write = CopyPictureFile(record, copy, true, nullptr, chosenNameOptions(true));
    if (write)
        result_.written << copy;
    else
        fail(QStringLiteral("%1: %2").arg(copy, describe(write)));
}

void HtmlRun::writeEventPage(const QStringList& lines, const EventPageRecord& record) {
    step();
    const QString folder = QDir(folder_).filePath(record.pageName);
    if (!QDir().mkpath(folder)) {
        fail(QStringLiteral("%1: the folder could not be created").arg(folder));
        return;
    }
    const QList<EventPagePicture> pictures = EventPagePictures(source_, record);
    const QString page = expandRepeatedBlock(
        lines, kBeginPictures, kEndPictures, pictures.size(),
        [&](const QString& line, int item) {
            return ReplaceTemplateTags(line, &record, item >= 0 ? &pictures[item] : nullptr);
        },
        [&](int item) {
            step();
            writeImages(pictures[item], folder);
        });
    writeText(QDir(folder).filePath(QStringLiteral("index.html")), page);
}

HtmlExportResult HtmlRun::run() {
    folder_ = request_.outputFolder;
    if (folder_.trimmed().isEmpty()) {
        fail(QStringLiteral("No output folder was given; nothing was written."));
    } else {
        QStringList mainLines, eventLines;
        QString error;
        if (!readLines(request_.mainTemplate, mainLines, error))
            fail(QStringLiteral("The main template %1 cannot be read: %2").arg(request_.mainTemplate, error));
        if (!readLines(request_.eventTemplate, eventLines, error))
            fail(QStringLiteral("The event template %1 cannot be read: %2").arg(request_.eventTemplate, error));
        if (result_.failures.isEmpty() && !QDir().mkpath(folder_))
            fail(QStringLiteral("The folder %1 could not be created; nothing was written.").arg(folder_));
        if (result_.failures.isEmpty()) {
            records_ = BuildEventPageRecords(source_);
            total_ = int(records_.size());
            for (const EventPageRecord& record : records_) total_ += int(record.pictures.size());
            saveAs_.setTotal(3 * (total_ - int(records_.size())));
            if (records_.isEmpty())
                fail(QStringLiteral("There are no events with pictures: the main page was written without its list of "
                                    "events."));
            writeMainPage(mainLines);
            for (const EventPageRecord& record : records_) writeEventPage(eventLines, record);
            result_.written << saveAs_.written();
            for (const SaveFailure& failure : saveAs_.failures())
                fail(QStringLiteral("%1: %2").arg(failure.target.isEmpty() ? failure.picture : failure.target, failure.reason));
        }
    }
    if (request_.status) request_.status(QStringLiteral("Ready"), false);
    if (!result_.failures.isEmpty())
        result_.message = QStringLiteral("Not everything of the HTML pages was written:\n") +
                          result_.failures.join(QLatin1Char('\n'));
    return result_;
}

}  // namespace

HtmlExportResult RunHtmlExport(const QList<OutputEntry>& source, const HtmlExportRequest& request) {
    return HtmlRun(source, request).run();
}

HtmlTemplates ExampleHtmlTemplates(const QString& programFolder) {
    return {findShippedFile(programFolder, QStringLiteral("examples/html/main.html")),
            findShippedFile(programFolder, QStringLiteral("examples/html/event.html"))};
}
