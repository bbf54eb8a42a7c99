#include "picturedrag.h"

#include <QDir>
#include <QUrl>

#include "filename.h"
#include "picturerecord.h"

namespace {
const QString kUriList = QStringLiteral("text/uri-list");
int gDragCounter = 0;  // counts from the program's start
}  // namespace

PictureDragData::PictureDragData(const PictureRecord& picture, Renderer renderer)
    : source_(sourcePath(picture)), renderer_(std::move(renderer)) {}

QString PictureDragData::sourcePath(const PictureRecord& picture) {
    if (picture.archiveLocation.isEmpty()) return picture.filePath();
    return QDir(picture.archiveLocation).filePath(picture.fileName());
}

QString PictureDragData::renderedCopyPath(const QString& temporaryFolder, const QString& path, int dragNumber) {
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    name.chop(4);  // ".jpg"
    return QDir(temporaryFolder).filePath(SuggestedFileName(QStringLiteral("%1.%2.jpg").arg(name).arg(dragNumber)));
}

int PictureDragData::dragCount() { return gDragCounter; }

QStringList PictureDragData::formats() const { return {kUriList}; }

bool PictureDragData::hasFormat(const QString& mimeType) const { return mimeType == kUriList; }

void PictureDragData::render() const {
    if (asked_) return;
    asked_ = true;
    number_ = ++gDragCounter;
    rendered_ = renderer_ ? renderer_(source_, number_) : source_;
}

QVariant PictureDragData::retrieveData(const QString& mimeType, QMetaType type) const {
    if (mimeType != kUriList || source_.isEmpty()) return {};
    render();
    if (rendered_.isEmpty()) return {};
    const QUrl url = QUrl::fromLocalFile(rendered_);
    if (type.id() == QMetaType::QUrl) return url;
    if (type.id() == QMetaType::QVariantList) return QVariantList{url};
    return QByteArray(url.toEncoded() + "\r\n");
}
