#include "copytoall.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "catalog.h"
#include "picdatamapping.h"
#include "picturerecord.h"

namespace copytoall {

void applyData(IptcBlock& target, const IptcBlock& source, const Choice& choice) {
    const IptcBlock own = target;
    target.Copy(source);  // the thumbnail and the uninterpreted datasets are not fields: they stay
    // The target's own date and time: with the source's, a target would be dated by another picture.
    target.dateText = own.dateText;
    target.timeText = own.timeText;
    target.dateTime = own.dateTime;
    target.instructions = own.instructions;
    if (!choice.event) target.event = own.event;
    if (!choice.headline) target.headline = own.headline;
    if (!choice.people) target.people = own.people;
    if (!choice.rating) target.rating = own.rating;
}

Report writeAll(const IptcBlock& source, const QList<PictureRecord*>& targets, const Choice& choice,
                const std::function<void(int done)>& step) {
    // A copy: the source may be one of the targets' own blocks.
    const IptcBlock data = source;
    Report report;
    int done = 0;
    for (PictureRecord* target : targets) {
        if (!target) {
            ++report.skipped;
        } else {
            const IptcBlock before = target->iptc();
            applyData(target->iptc(), data, choice);
            // A picture without a stored date gets the camera's on its first save, as from the form.
            picdata::giveCameraDate(picdata::cameraDateTime(target->reader().exif().dateTimeOriginal), target->iptc());
            const WriteResult result = target->save();
            if (result) {
                ++report.written;
                const QString folder = QFileInfo(target->filePath()).absolutePath();
                if (!report.folders.contains(folder)) report.folders.append(folder);
            } else {
                // The file is as it was, and the browser must not show data the file does not hold.
                target->iptc() = before;
                report.pictures.append({target->filePath(), describe(result)});
            }
        }
        if (step) step(++done);
    }
    return report;
}

void rebuildCatalogs(Report& report, const CatalogHooks& hooks) {
    const std::function<bool(const QString&)> hasCatalog =
        hooks.hasCatalog ? hooks.hasCatalog : [](const QString& folder) { return Catalog::version(folder) != 0; };
    const std::function<WriteResult(const QString&)> rebuild =
        hooks.rebuild ? hooks.rebuild : [](const QString& folder) { return Catalog().create(folder, true).write; };
    QStringList folders = report.folders;
    const auto depth = [](const QString& folder) { return folder.count(u'/'); };
    std::stable_sort(folders.begin(), folders.end(),
                     [&](const QString& a, const QString& b) { return depth(a) > depth(b); });
    for (const QString& folder : folders) {
        if (!hasCatalog(folder)) continue;
        const WriteResult result = rebuild(folder);
        if (!result) report.catalogs.append({folder, describe(result)});
    }
}

QString failureMessage(const Report& report, int maxLines) {
    if (report.complete()) return {};
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
    return lines.join(u'\n');
}

}  // namespace copytoall
