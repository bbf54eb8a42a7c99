#include "thumbnailloader.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include "picturerecord.h"
#include "thumbnailmaker.h"

namespace thumbnailjobs {

QString keyOf(const PictureRecord& picture) {
    return QStringLiteral("%1|%2|%3|%4")
        .arg(picture.filePath())
        .arg(picture.rotation())
        .arg(picture.fileSize())
        .arg(picture.headerSize());
}

ThumbnailJob jobFor(const PictureRecord& picture) {
    ThumbnailJob job;
    job.key = keyOf(picture);
    job.exifThumbnail = picture.exifThumbnail();
    job.iptcThumbnail = picture.iptc().thumbnailJpeg();
    // Without stored bytes the block decodes nothing; an image set in memory comes back at once.
    if (job.iptcThumbnail.isEmpty()) job.iptcImage = picture.iptc().thumbnail();
    // A catalog entry whose picture is on the disk is decoded as in a folder without a catalog; an
    // archived one shows what the catalog keeps, as its disc may be slow or gone.
    if (!picture.fromCatalog() || (picture.archiveLocation.isEmpty() && picture.fileExists()))
        job.decodePath = picture.filePath();
    job.rotation = picture.rotation();
    job.display = QSize(picture.displayWidth(), picture.displayHeight());
    return job;
}

QImage make(const ThumbnailJob& job) {
    const int quarters = thumbnails::quarterTurns(job.rotation);
    // A thumbnail lying on its side (the pixels were turned, the thumbnail was not) is passed over.
    const QImage camera = thumbnails::TurnedDecoder(job.exifThumbnail, quarters).read();
    if (!camera.isNull() && thumbnails::standsLikePicture(camera.size(), job.display))
        return camera.copy(thumbnails::pictureBand(camera.size(), job.display));
    // The stored IPTC thumbnail was made by this program from the picture as displayed.
    const QImage stored = job.iptcImage.isNull() ? thumbnails::TurnedDecoder(job.iptcThumbnail, 0).read() : job.iptcImage;
    if (!stored.isNull() && thumbnails::standsLikePicture(stored.size(), job.display)) return stored;

    const QSize size = thumbnails::thumbnailSize(job.display);
    if (job.decodePath.isEmpty() || size.isEmpty()) return {};
    return thumbnails::TurnedDecoder(job.decodePath, quarters).read(size);
}

}  // namespace thumbnailjobs

ThumbnailLoader::ThumbnailLoader(JobSource source, QObject* parent) : QObject(parent), source_(std::move(source)) {
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    // Decoding must not slow down the user-interface thread's painting and input.
    pool_.setThreadPriority(QThread::LowPriority);
}

ThumbnailLoader::~ThumbnailLoader() {
    cancel();
    pool_.waitForDone();
}

void ThumbnailLoader::reset(int count) {
    cancel();
    started_.assign(std::max(0, count), false);
    for (int i = 0; i < count; ++i) pending_.push_back(i);
    startMore();
}

void ThumbnailLoader::prefer(const QList<int>& indexes) {
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
        if (*it >= 0 && size_t(*it) < started_.size() && !started_[*it]) pending_.push_front(*it);
    startMore();
}

void ThumbnailLoader::cancel() {
    ++generation_;
    pending_.clear();
    started_.clear();
}

void ThumbnailLoader::startMore() {
    // Only as many jobs as threads are handed out, so that a later prefer() still comes first.
    while (running_ < pool_.maxThreadCount() && !pending_.empty()) {
        const int index = pending_.front();
        pending_.pop_front();
        if (started_[index]) continue;  // preferred earlier and queued twice
        started_[index] = true;
        std::optional<ThumbnailJob> job = source_(index);
        if (!job) continue;

        ++running_;
        auto* watcher = new QFutureWatcher<QImage>(this);
        const int generation = generation_;
        const QString key = job->key;
        connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, generation, index, key] {
            --running_;
            const QImage image = watcher->result();
            watcher->deleteLater();
            if (generation == generation_) emit thumbnailReady(index, key, image);
            startMore();
        });
        watcher->setFuture(QtConcurrent::run(&pool_, &thumbnailjobs::make, *std::move(job)));
    }
    if (idle()) emit allDone();
}
