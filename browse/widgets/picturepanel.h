#pragma once
// The picture column's current content: the open picture's thumbnail and picture data, read only.
// The picture data form and the large picture view take this place when they arrive; until then this
// panel shows that selecting a picture opened it.

#include <QWidget>

class CSnaploreDoc;
class IptcBlock;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class PicturePanel : public QWidget {
    Q_OBJECT
public:
    explicit PicturePanel(CSnaploreDoc& document, QWidget* parent = nullptr);

    // Shows the document's open picture, or an empty panel.
    void documentChanged();
    // Gives the open picture the picture data `data` (not its date taken, which is the picture's
    // own) and marks the document modified: what Save Copy Next hands to the next picture.
    void loadFields(const IptcBlock& data);

    // The texts shown, for tests: "file", "size", "date", "event", "headline", "caption", "people",
    // "place", "rating", "state".
    QString field(const QString& name) const;

private:
    QLineEdit* addLine(const QString& name, const QString& label);

    CSnaploreDoc& document_;
    QLabel* thumbnail_;
    QLabel* heading_;
    QPlainTextEdit* caption_;
    QList<QPair<QString, QLineEdit*>> lines_;
};
