#pragma once
// The window's catalog upkeep: the pictures a save or a delete changed are handed over here, and
// their folders' catalogs are written on a thread of their own, so that the window never waits for
// a catalog. Changes that come close together are written together, one catalog write for a burst of
// saves. Whatever waits is written before the folder is left, another write of a catalog starts or
// the program ends: finish().

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>
#include <vector>

#include "catalogupdate.h"

class CatalogUpkeep : public QObject {
    Q_OBJECT
public:
    // `delayMs`: how long a change waits for others before its catalog is written.
    explicit CatalogUpkeep(int delayMs = 300, QObject* parent = nullptr);
    // Writes what waits; failures are no longer told then.
    ~CatalogUpkeep() override;

    void add(PictureChanges changes);
    // Writes what waits and returns once no catalog write is waiting or running; failures are told
    // (failed) before it returns.
    void finish();
    bool idle() const { return pending_.empty() && !running_.isRunning() && !collecting_; }
    // Catalog files written so far.
    int catalogsWritten() const { return catalogsWritten_; }

signals:
    // A catalog could not be written; `removalsOnly` when only deleted pictures were handed over for it.
    void failed(const CatalogUpdateReport& report, bool removalsOnly);

private:
    void start();
    // On this object's thread, once the running write ended: its failures are told, and what came
    // meanwhile is started.
    void collect();
    void tell(const std::vector<CatalogUpdateReport>& reports, const PictureChanges& changes);

    QTimer timer_;
    PictureChanges pending_;
    PictureChanges runningChanges_;
    // The write on a pool thread; its end comes back through the watcher, on this object's thread.
    QFutureWatcher<std::vector<CatalogUpdateReport>> running_;
    bool collecting_ = false;  // a write was started and its reports are not taken yet
    int catalogsWritten_ = 0;
};
