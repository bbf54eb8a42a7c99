#pragma once
// The plain-text data report over the browser's events and pictures: a summary of dates, places and
// people, the events with their place and count, or every picture under its event. Text is UTF-8.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include "entrylistview.h"

enum class ReportKind { Summary, EventsOnly, PictureAndEvents, All };

// "summary", "events", "pictures", "all"; false for anything else.
bool reportKindFromName(const QString& name, ReportKind* kind);

// The reports over `entries` (events each followed by their pictures). `now` is the Summary's
// starting point for the earliest date (the time the report starts).
QString SummaryReport(const QList<OutputEntry>& entries, const QDateTime& now);
QString EventsOnlyReport(const QList<OutputEntry>& entries);
QString PictureAndEventsReport(const QList<OutputEntry>& entries);
// All: the Summary, then Events Only, then Picture and Events, each after a blank line.
QString DataReport(const QList<OutputEntry>& entries, ReportKind kind, const QDateTime& now);

struct DataReportResult {
    bool written = false;
    QString message;  // on success "Exporting of data is complete", else what failed and why
};

// Writes the report of `kind` to `path` (UTF-8) through the safe write.
DataReportResult WriteDataReport(const QList<OutputEntry>& entries, ReportKind kind, const QString& path,
                                 const QDateTime& now = QDateTime::currentDateTime());
