#pragma once
// Decodes the slide show's next picture in the background while the current one shows, so that the
// change to it is instant. One decode is kept: asking for another picture drops the one before.
// The worker touches only the file and its own image, never a PictureRecord.

#include <QFuture>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

class SlidePrefetch {
public:
    // What a decode is for: the file, the quarter turns it is shown with, and the size it is fitted to.
    struct Key {
        QString path;
        int quarters = 0;
        QSize size;
        bool operator==(const Key&) const = default;
    };

    SlidePrefetch() = default;
    ~SlidePrefetch();
    SlidePrefetch(const SlidePrefetch&) = delete;
    SlidePrefetch& operator=(const SlidePrefetch&) = delete;

    // Starts decoding `key` unless that decode is already under way or done.
    void request(const Key& key);
    // The image decoded for the picture of `key` (its file and turns; the size it was fitted to may
    // differ, as a window may have changed its size since: the caller judges whether it is enough),
    // handed over once, waiting for a decode still under way, which is quicker than starting again.
    // Nothing when another picture was asked for, or the decode failed.
    std::optional<QImage> take(const Key& key);
    // Drops whatever is pending or decoded.
    void clear();

    const std::optional<Key>& pending() const { return key_; }

private:
    std::optional<Key> key_;
    QFuture<QImage> future_;
};
