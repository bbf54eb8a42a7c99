#include "catalogupkeep.h"

#include <QDir>
#include <QFileInfo>

CatalogUpkeep::CatalogUpkeep(int delayMs, QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setInterval(delayMs);
    connect(&timer_, &QTimer::timeout, this, &CatalogUpkeep::start);
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
    if (!running_.valid()) timer_.start();
}

void CatalogUpkeep::start() {
    if (running_.valid() || pending_.empty()) return;
    runningChanges_ = std::move(pending_);
    pending_.clear();
    running_ = std::async(std::launch::async, [this, changes = runningChanges_] {
        std::vector<CatalogUpdateReport> reports = catalogupdate::apply(changes);
        QMetaObject::invokeMethod(this, &CatalogUpkeep::collect, Qt::QueuedConnection);
        return reports;
    });
}

void CatalogUpkeep::collect() {
    if (!running_.valid()) return;  // finish() took it already
    const std::vector<CatalogUpdateReport> reports = running_.get();
    const PictureChanges changes = std::move(runningChanges_);
    runningChanges_.clear();
    tell(reports, changes);
    if (!pending_.empty()) timer_.start();
}

void CatalogUpkeep::finish() {
    timer_.stop();
    if (running_.valid()) {
        running_.wait();
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
