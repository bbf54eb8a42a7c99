#pragma once
// Copy to all without its dialog: gives one picture's data to many pictures, flushed a batch at a time
// through the safe rewrite, and hands them to the catalogs of their folders afterwards. The
// event, headline, people, rating, caption and place go when chosen. A field the form does not show
// (by-line, credit, copyright notice and the like) goes only when the source has a value for it: the
// user cannot see it, so a target never loses its own value to an empty one. Every target keeps
// everything else: its date and time (a target without one gets its camera's), rotation and crop,
// embedded thumbnail and the datasets the program does not interpret.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "iptcblock.h"
#include "picturechange.h"
#include "writeerror.h"

class PictureRecord;

namespace copytoall {

// The fields of the form that go; the start values are the dialog's start ticks.
struct Choice {
    bool event = true;
    bool headline = false;
    bool people = false;
    bool rating = false;
    bool caption = true;
    bool place = true;  // location, city, state and country
};

// The words of a command line's list ("event,caption,place") as a choice; false, with the word in
// `unknown`, when a word is not one of event, headline, people, rating, caption, place.
bool parseChoice(const QString& list, Choice& choice, QString* unknown = nullptr);

// Gives `target` the source's fields that go; no other field is assigned.
void applyData(IptcBlock& target, const IptcBlock& source, const Choice& choice);

// The fields whose values replace the targets' own, in the form's order, then the fields the form
// does not show that the source holds ("event", "caption", ..., "copyright notice").
QStringList copiedFields(const IptcBlock& source, const Choice& choice);

// The question before the copy: "Copy the event, caption and location of this picture to all 30
// pictures? Their own values are replaced."
QString question(const QStringList& fields, int targets);

struct Failure {
    QString path;    // the picture or the catalog's folder
    QString reason;  // for a person
};

struct Report {
    int written = 0;
    int skipped = 0;          // targets without a picture object
    QList<Failure> pictures;  // targets that could not be written; their data stay as they were
    QList<Failure> archived;  // catalog entries whose pictures lie on an archive disc: skipped
    PictureChanges changes;   // the pictures written, for their folders' catalogs (with their notes)
    QList<Failure> catalogs;  // catalogs that could not be written
    bool complete() const { return pictures.isEmpty() && catalogs.isEmpty(); }
};

// Writes the source's data into every target in order; null targets are skipped, and so are catalog
// entries whose pictures went to an archive disc (named in the report). A target without a stored
// date gets its camera's date. The file times are kept. `step` runs after each target,
// written or not, with the number done so far.
Report writeAll(const IptcBlock& source, const QList<PictureRecord*>& targets, const Choice& choice,
                const std::function<void(int done)>& step = {});

// Brings the catalog of every folder a picture was written in up to date (catalogupdate.h); the
// catalogs that could not be written go into the report.
void updateCatalogs(Report& report);

// The one message that names the pictures and catalogs that were not written and why, archived
// pictures included; empty when everything was written. Long lists are cut after `maxLines` names.
QString failureMessage(const Report& report, int maxLines = 20);

}  // namespace copytoall
