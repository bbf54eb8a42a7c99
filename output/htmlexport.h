#pragma once
// The HTML export: a main page listing the events and one page per event listing its pictures, made
// from two templates whose tags are HTML comments, and four image files per picture. Every value
// taken from a picture is HTML-escaped; the values that stand in links are percent-encoded as well.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include "entrylistview.h"

class PictureRecord;
class Prompter;

// One event of the site.
struct EventPageRecord {
    QString pageName;     // "<folder name>_<n>": the event page's folder under the output folder
    QString dates;        // the first picture's Object Name up to its first ":::" (all of it without one)
    QString title;        // what follows the ":::" (all of it without one); the event's text without an Object Name
    QString city, state, country;
    QString numPictures;  // "%d"
    QList<int> pictures;  // the event's picture entries (indices into the source list), in order
};

// One picture of an event page, with the names its files get there.
struct EventPagePicture {
    const PictureRecord* picture = nullptr;
    QString fileName;  // the copy's name: the picture's own file name (made unique on the page)
    QString base;      // the file name up to its first "."; "_2", "_3" ... when another picture has it
};

// The records of the events that have pictures, in order. `source` holds events each followed by
// their pictures.
QList<EventPageRecord> BuildEventPageRecords(const QList<OutputEntry>& source);

// The pictures of one event page with unique names.
QList<EventPagePicture> EventPagePictures(const QList<OutputEntry>& source, const EventPageRecord& record);

// Replaces the event tags when `event` is given and the picture tags when `picture` is given; tags of
// the missing kind stay as they are.
QString ReplaceTemplateTags(const QString& line, const EventPageRecord* event, const EventPagePicture* picture);

struct HtmlExportRequest {
    QString mainTemplate;
    QString eventTemplate;
    QString outputFolder;
    // The window asks before replacing a rendering; without a prompter existing renderings, pages and
    // copies are replaced only when `overwrite` is set.
    Prompter* prompter = nullptr;
    bool overwrite = false;
    // Progress: one step per event and one per picture, over `total` steps.
    std::function<void(int done, int total)> step;
    std::function<void(const QString& text, bool busy)> status;
};

struct HtmlExportResult {
    QStringList written;   // every file written
    QStringList failures;  // what was not written and why
    QString message;       // one message naming every failure; empty when everything was written
    bool ok() const { return failures.isEmpty(); }
};

// Writes the site for `source` (events each followed by their pictures).
HtmlExportResult RunHtmlExport(const QList<OutputEntry>& source, const HtmlExportRequest& request);

// The template pair shipped with the program (see findShippedFile); a path is empty when its file
// is not there.
struct HtmlTemplates {
    QString main;
    QString event;
};
HtmlTemplates ExampleHtmlTemplates(const QString& programFolder);
