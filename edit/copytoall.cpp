#include "copytoall.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <deque>

#include "catalogupdate.h"
#include "picdatamapping.h"
#include "picturerecord.h"
#include "safewrite.h"

namespace copytoall {

namespace {

// The fields the form shows that a tick chooses, in the form's order; the people list has no text.
struct ChosenText {
    bool Choice::*tick;
    QString IptcBlock::*member;
    const char* name;
};
const ChosenText kChosenTexts[] = {
    {&Choice::event, &IptcBlock::event, "event"},          {&Choice::headline, &IptcBlock::headline, "headline"},
    {&Choice::people, nullptr, "people"},
    {&Choice::rating, &IptcBlock::rating, "rating"},       {&Choice::caption, &IptcBlock::caption, "caption"},
    {&Choice::place, &IptcBlock::location, "location"},    {&Choice::place, &IptcBlock::city, "city"},
    {&Choice::place, &IptcBlock::state, "state"},          {&Choice::place, &IptcBlock::country, "country"},
};

// The fields the form does not show: they go only with a value.
struct HiddenText {
    QString IptcBlock::*member;
    const char* name;
};
const HiddenText kHiddenTexts[] = {
    {&IptcBlock::byline, "by-line"},        {&IptcBlock::bylineTitle, "by-line title"},
    {&IptcBlock::credit, "credit"},         {&IptcBlock::source, "source"},
    {&IptcBlock::copyright, "copyright notice"}, {&IptcBlock::writer, "writer"},
    {&IptcBlock::category, "category"},     {&IptcBlock::transmissionReference, "transmission reference"},
};

struct ChoiceWord {
    const char* word;
    bool Choice::*tick;
};
const ChoiceWord kChoiceWords[] = {
    {"event", &Choice::event},     {"headline", &Choice::headline}, {"people", &Choice::people},
    {"rating", &Choice::rating},   {"caption", &Choice::caption},   {"place", &Choice::place},
};

}  // namespace

bool parseChoice(const QString& list, Choice& choice, QString* unknown) {
    Choice parsed{false, false, false, false, false, false};
    for (const QString& part : list.split(u',')) {
        const QString word = part.trimmed().toLower();
        if (word.isEmpty()) continue;
        const auto it = std::find_if(std::begin(kChoiceWords), std::end(kChoiceWords),
                                     [&](const ChoiceWord& w) { return word == QLatin1String(w.word); });
        if (it == std::end(kChoiceWords)) {
            if (unknown) *unknown = part.trimmed();
            return false;
        }
        parsed.*(it->tick) = true;
    }
    choice = parsed;
    return true;
}

void applyData(IptcBlock& target, const IptcBlock& source, const Choice& choice) {
    // The date and time, rotation and crop stay the target's own: with the source's, a target would
    // be dated and turned like another picture.
    for (const ChosenText& f : kChosenTexts)
        if (choice.*(f.tick) && f.member) target.*(f.member) = source.*(f.member);
    if (choice.people) target.people = source.people;
    for (const HiddenText& f : kHiddenTexts)
        if (!(source.*(f.member)).isEmpty()) target.*(f.member) = source.*(f.member);
    if (!source.supplementalCategories.isEmpty()) target.supplementalCategories = source.supplementalCategories;
}

QStringList copiedFields(const IptcBlock& source, const Choice& choice) {
    QStringList names;
    for (const ChosenText& f : kChosenTexts)
        if (choice.*(f.tick)) names << QString::fromLatin1(f.name);
    for (const HiddenText& f : kHiddenTexts)
        if (!(source.*(f.member)).isEmpty()) names << QString::fromLatin1(f.name);
    if (!source.supplementalCategories.isEmpty()) names << QStringLiteral("supplemental categories");
    return names;
}

QString question(const QStringList& fields, int targets) {
    QString list = fields.value(0);
    if (fields.size() > 1) list = fields.mid(0, fields.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + fields.last();
    return QStringLiteral("Copy the %1 of this picture to all %2 pictures? Their own values are replaced.")
        .arg(list)
        .arg(targets);
}

Report writeAll(const IptcBlock& source, const QList<PictureRecord*>& targets, const Choice& choice,
                const std::function<void(int done)>& step) {
    // A copy: the source may be one of the targets' own blocks.
    const IptcBlock data = source;
    Report report;
    // The targets are flushed to disk together, a batch at a time; each outcome comes with its commit.
    struct Staged {
        PictureRecord* target;
        IptcBlock before;
        PictureChange change;
    };
    std::deque<Staged> staged;  // in the batch's order
    SafeWriteBatch batch([&](const std::vector<SafeWriteBatch::Outcome>& outcomes) {
        for (const SafeWriteBatch::Outcome& outcome : outcomes) {
            Staged& done = staged.front();
            if (outcome.result) {
                ++report.written;
                done.target->updateHasData();
                done.target->setFileSize(done.change.fileSize);
                report.changes.push_back(std::move(done.change));
            } else {
                // The file is as it was, and the browser must not show data the file does not hold.
                done.target->iptc() = done.before;
                report.pictures.append({done.target->filePath(), describe(outcome.result)});
            }
            staged.pop_front();
        }
    });
    int done = 0;
    for (PictureRecord* target : targets) {
        if (!target) {
            ++report.skipped;
        } else if (!target->fileExists() && !target->archiveName.isEmpty()) {
            // Only the catalog holds this picture: its file lies on an archive disc.
            report.archived.append({target->filePath(), QStringLiteral("on the archive disc \"%1\"").arg(target->archiveName)});
        } else {
            // A picture listed twice is read again after its first write is in place.
            if (batch.holds(target->filePath())) batch.commit();
            staged.push_back({target, target->iptc(), {}});
            applyData(target->iptc(), data, choice);
            // A picture without a stored date gets the camera's on its first save, as from the form.
            picdata::giveCameraDate(picdata::cameraDateTime(target->reader().exif().dateTimeOriginal), target->iptc());
            // A commit may come inside the write that stages this picture: its entry is in place first.
            const WriteResult result = target->iptc().WriteIptc({}, &batch, true, &staged.back().change);
            if (!result) {
                target->iptc() = staged.back().before;
                staged.pop_back();
                report.pictures.append({target->filePath(), describe(result)});
            }
        }
        if (step) step(++done);
    }
    batch.commit();
    return report;
}

void updateCatalogs(Report& report) {
    for (const CatalogUpdateReport& catalog : catalogupdate::apply(report.changes))
        if (!catalog.ok()) report.catalogs.append({catalog.folder, describe(catalog.write)});
}

QString failureMessage(const Report& report, int maxLines) {
    const bool noted = std::any_of(report.changes.begin(), report.changes.end(),
                                   [](const PictureChange& change) { return !change.note.isEmpty(); });
    if (report.complete() && report.archived.isEmpty() && !noted) return {};
    QStringList lines;
    const auto add = [&](const QList<Failure>& failures, const QString& heading) {
        if (failures.isEmpty()) return;
        if (!lines.isEmpty()) lines.append(QString());
        lines.append(heading);
        const int shown = int(std::min<qsizetype>(failures.size(), maxLines));
        for (int i = 0; i < shown; ++i)
            lines.append(QDir::toNativeSeparators(failures[i].path) + QStringLiteral(": ") + failures[i].reason);
        if (failures.size() > shown) lines.append(QStringLiteral("... and %1 more").arg(failures.size() - shown));
    };
    add(report.pictures, QStringLiteral("%1 of the pictures could not be written:").arg(report.pictures.size()));
    add(report.catalogs, QStringLiteral("These catalogs could not be written again:"));
    add(report.archived, QStringLiteral("%1 of the pictures are only in a catalog and kept their data:").arg(report.archived.size()));
    QList<Failure> notes;
    for (const PictureChange& change : report.changes)
        if (!change.note.isEmpty()) notes.append({change.path, change.note});
    add(notes, QStringLiteral("%1 of the pictures were written, but:").arg(notes.size()));
    return lines.join(u'\n');
}

}  // namespace copytoall
