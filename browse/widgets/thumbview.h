#pragma once
// The thumbnail view of the lower left pane: a title band naming the folder, event or search with
// the count and size of its pictures, and under it the strip of thumbnails. It carries the picture
// navigation commands First, Last, Next and Prev, and tells Save Next which picture comes next.

#include <QString>
#include <QWidget>

#include "browserentry.h"
#include "thumbstrip.h"

class BrowseContext;
class CThumbScrollWnd;
class QLabel;

class CThumbView : public QWidget {
    Q_OBJECT
public:
    explicit CThumbView(BrowseContext& frame, QWidget* parent = nullptr);
    ~CThumbView() override;

    // Shows the picture entries of `list` (the browser keeps owning them); `searchFlag` marks
    // search results. The browser calls it again with a new list before it frees the old entries.
    void ShowList(const ThumbList& list, bool searchFlag);

    // Navigation: each first lets the document save or discard its changes and stops when the
    // document declines. Next at the last picture and Prev at the first do nothing.
    void First();
    void Last();
    void Next();
    void Prev();
    bool hasPictures() const { return !list_.isEmpty(); }
    // The picture Save Next opens: the one after the open picture, the first after the last one.
    // Empty when no picture is open.
    QString NextPath() const;

    // The open picture changed: scroll the strip to it and repaint. Connected to the document's
    // updateAllViews by the constructor.
    void documentChanged();

    const ThumbList& list() const { return list_; }
    // The title band's text as it is drawn.
    QString titleText() const;
    thumbstrip::TitleIcon titleIcon() const { return title_.icon; }
    CThumbScrollWnd* strip() const { return strip_; }

signals:
    // ShowList gave the view a new list: the open picture's place and the count may have changed.
    void listShown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    void activate();
    bool prepareToMove();
    void open(std::optional<int> index);

    BrowseContext& frame_;
    thumbstrip::ListTitle title_;
    quint64 totalSize_ = 0;
    ThumbList list_;
    QLabel* icon_ = nullptr;
    CThumbScrollWnd* strip_ = nullptr;
};
