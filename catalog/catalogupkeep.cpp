#include "catalogupkeep.h"

#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

CatalogUpkeep::CatalogUpkeep(int delayMs, QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setInterval(delayMs);
    connect(&timer_, &QTimer::timeout, this, &CatalogUpkeep::start);
    connect(&running_, &QFutureWatcherBase::finished, this, &CatalogUpkeep::collect);
}

CatalogUpkeep::~CatalogUpkeep() {
    const QSignalBlocker quiet(this);
    finish();
}

void CatalogUpkeep::add(PictureChanges changes) {
    if (changes.empty()) return;
    for (PictureChange& change : changes) pending_.push_back(std::move(change));
    // A running write takes what came meanwhile when it ends; otherwise the wait starts again, so
    // that a burst of saves gives one write.
    if (!collecting_) timer_.start();
}

void CatalogUpkeep::start() {
    if (collecting_ || pending_.empty()) return;
    runningChanges_ = std::move(pending_);
    pending_.clear();
    collecting_ = true;
    running_.setFuture(QtConcurrent::run([changes = runningChanges_] { return catalogupdate::apply(changes); }));
}

void CatalogUpkeep::collect() {
    if (!collecting_) return;  // finish() took it already
    collecting_ = false;
    const std::vector<CatalogUpdateReport> reports = running_.future().result();
    running_.setFuture(QFuture<std::vector<CatalogUpdateReport>>());
    const PictureChanges changes = std::move(runningChanges_);
    runningChanges_.clear();
    tell(reports, changes);
    if (!pending_.empty()) timer_.start();
}

void CatalogUpkeep::finish() {
    timer_.stop();
    if (collecting_) {
        running_.waitForFinished();
        collect();
        timer_.stop();
    }
    if (pending_.empty()) return;
    const PictureChanges changes = std::move(pending_);
    pending_.clear();
    tell(catalogupdate::apply(changes), changes);
}

void CatalogUpkeep::tell(const std::vector<CatalogUpdateReport>& reports, const PictureChanges& changes) {
    for (const CatalogUpdateReport& report : reports) {
        if (report.written) ++catalogsWritten_;
        if (report.ok()) continue;
        bool removalsOnly = true;
        for (const PictureChange& change : changes)
            if (!change.removed && QDir::cleanPath(QFileInfo(change.path).absolutePath()) == report.folder) removalsOnly = false;
        emit failed(report, removalsOnly);
    }
}
