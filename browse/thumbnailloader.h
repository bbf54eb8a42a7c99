#pragma once
// Makes the strip's thumbnails on worker threads, so that a folder of thousands of pictures shows
// at once and fills in as the images arrive. Workers never see a BrowserEntry or a PictureRecord:
// everything they need is copied into a ThumbnailJob on the owner's thread just before the job
// starts, and results of a list that was replaced in the meantime are dropped.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class PictureRecord;

// A copy of what making one thumbnail needs.
struct ThumbnailJob {
    QString key;               // names the result; equal keys give equal images
    QByteArray exifThumbnail;  // the camera's JPEG thumbnail, or empty
    QByteArray iptcThumbnail;  // the stored 2:224 JPEG, or empty
    QImage iptcImage;          // a 2:224 thumbnail replaced in memory (no bytes yet), or null
    QString decodePath;        // the picture file for a reduced decode; empty: no decode (archived)
    int rotation = 0;          // degrees clockwise
    QSize display;             // the picture as displayed
};

namespace thumbnailjobs {

// The cache key of a picture: its thumbnail changes with its path, turn and stored bytes.
QString keyOf(const PictureRecord& picture);
// The job for a picture, taken on the thread that owns the picture.
ThumbnailJob jobFor(const PictureRecord& picture);
// The thumbnail as the picture's drawing shows it, from the cheapest source: the camera's EXIF
// thumbnail (turned, without the camera's bars), the stored IPTC thumbnail, then a reduced decode
// of the picture. Null when none gives an image. Safe on any thread.
QImage make(const ThumbnailJob& job);

}  // namespace thumbnailjobs

class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    // Gives the job for one index on the owner's thread, just before it starts; nothing skips it.
    using JobSource = std::function<std::optional<ThumbnailJob>(int index)>;

    explicit ThumbnailLoader(JobSource source, QObject* parent = nullptr);
    ~ThumbnailLoader() override;

    // A new list of `count` pictures, queued in list order. Queued work of the old list is dropped
    // and what still runs for it is ignored when it ends.
    void reset(int count);
    // Moves these indexes to the head of the queue (the boxes on screen), keeping their order.
    void prefer(const QList<int>& indexes);
    // Drops everything: queued work and the results still to come.
    void cancel();
    // No work queued or running.
    bool idle() const { return pending_.empty() && running_ == 0; }
    int running() const { return running_; }

signals:
    // A thumbnail of the current list; `image` may be null when no source gave one.
    void thumbnailReady(int index, const QString& key, const QImage& image);
    // The queue ran empty and nothing runs any more.
    void allDone();

private:
    void startMore();

    JobSource source_;
    std::deque<int> pending_;
    std::vector<bool> started_;
    int generation_ = 0;
    int running_ = 0;
    // Last member: destroyed first, so the destructor waits for the workers before the rest goes.
    QThreadPool pool_;
};
