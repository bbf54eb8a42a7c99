#pragma once
// Copy to all without its dialog: gives one picture's data to many pictures, each written at once
// through the safe rewrite, and brings the catalogs of their folders up to date afterwards. The
// caption and the place fields always go; the event, headline, people and rating only when chosen.
// Every target keeps everything else: its date and time (a target without one gets its camera's),
// rotation and crop, embedded thumbnail, the fields the form does not show and the datasets the
// program does not interpret.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "iptcblock.h"
#include "writeerror.h"

class PictureRecord;

namespace copytoall {

// What goes besides the fields that always go (caption and place fields).
struct Choice {
    bool event = true;
    bool headline = false;
    bool people = false;
    bool rating = false;
};

// Gives `target` the source's fields that go; no other field is assigned.
void applyData(IptcBlock& target, const IptcBlock& source, const Choice& choice);

struct Failure {
    QString path;    // the picture or the catalog's folder
    QString reason;  // for a person
};

struct Report {
    int written = 0;
    int skipped = 0;          // targets without a picture object
    QList<Failure> pictures;  // targets that could not be written; their data stay as they were
    QStringList folders;      // folders of the written pictures, each once, in list order
    QList<Failure> catalogs;  // catalogs that could not be rebuilt
    bool complete() const { return pictures.isEmpty() && catalogs.isEmpty(); }
};

// Writes the source's data into every target in order; null targets are skipped. A target without a
// stored date gets its camera's date. The file times are kept. `step` runs after each target,
// written or not, with the number done so far.
Report writeAll(const IptcBlock& source, const QList<PictureRecord*>& targets, const Choice& choice,
                const std::function<void(int done)>& step = {});

struct CatalogHooks {
    // Default: the folder holds a catalog (version 2 or 3).
    std::function<bool(const QString& folder)> hasCatalog;
    // Default: the catalog is created again from the folder's pictures and its subfolders' catalogs.
    std::function<WriteResult(const QString& folder)> rebuild;
};

// Rebuilds the catalog of every folder of the report that has one, each once; subfolders come before
// the folders above them, whose catalogs take theirs in. Failures go into the report.
void rebuildCatalogs(Report& report, const CatalogHooks& hooks = {});

// The one message that names the pictures and catalogs that were not written and why; empty when
// everything was written. Long lists are cut after `maxLines` names.
QString failureMessage(const Report& report, int maxLines = 20);

}  // namespace copytoall
