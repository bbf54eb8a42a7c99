#pragma once
// A picture dragged out of the program. The data is made only when a drop target first asks for it
// (delayed rendering): then the file to hand over is chosen, and later requests of the same drag get
// the same file.

#include <QMimeData>
#include <QString>
#include <QStringList>
#include <functional>

class PictureRecord;

class PictureDragData : public QMimeData {
    Q_OBJECT
public:
    // Makes the file a drop receives, given the picture's path and the number of this drag; returns
    // the path to hand over, or nothing when no file could be made: the drop then gets no data rather
    // than a file other than the one asked for. Without a renderer the picture's own file is handed
    // over.
    using Renderer = std::function<QString(const QString& path, int dragNumber)>;

    explicit PictureDragData(const PictureRecord& picture, Renderer renderer = {});

    // The archive location followed by the file name for an archived picture, else its full path.
    static QString sourcePath(const PictureRecord& picture);
    // "<temporary folder>/<name without its last 4 characters>.<number>.jpg": the file a rendered
    // copy goes to, so that every drag writes a new file.
    static QString renderedCopyPath(const QString& temporaryFolder, const QString& path, int dragNumber);
    // Drags made since the program started.
    static int dragCount();

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;
    // The file handed over; empty until a drop target asked for the data, and when none could be made.
    QString renderedPath() const { return rendered_; }
    int dragNumber() const { return number_; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    void render() const;

    QString source_;
    Renderer renderer_;
    mutable bool asked_ = false;
    mutable QString rendered_;
    mutable int number_ = 0;
};
