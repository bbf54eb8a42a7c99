#include "slideprefetch.h"

#include <QtConcurrent/QtConcurrentRun>

#include "picturerecord.h"

SlidePrefetch::~SlidePrefetch() { clear(); }

void SlidePrefetch::request(const Key& key) {
    if (key_ == key) return;
    clear();
    key_ = key;
    future_ = QtConcurrent::run(&PictureRecord::decodeImage, key.path, key.quarters, key.size);
}

std::optional<QImage> SlidePrefetch::take(const Key& key) {
    if (!key_ || key_->path != key.path || key_->quarters != key.quarters) return std::nullopt;
    QImage image = future_.result();
    key_.reset();
    future_ = {};
    if (image.isNull()) return std::nullopt;
    return image;
}

void SlidePrefetch::clear() {
    // A decode under way is not waited for: it holds its own copies of what it reads, and its result
    // is dropped with the last future that refers to it.
    key_.reset();
    future_ = {};
}
