#pragma once
// The picture data form of the picture column: the open picture's event with its dates, headline,
// caption, people, place, date and time taken and rating, with where its file lies, its sizes, a
// small preview and the buttons that save and move on. The form edits the fields only: each change
// is handed to the document (the changed fields as they now stand), and the document's save puts
// them into the picture and writes the file.
// The logic of the fields lives in picdatamapping.h.
//
// For the picture data toolbar the form reports every change of the headline, the people count and
// the rating (headlineChanged, peopleCountChanged, ratingChanged) and takes the toolbar's edits
// through SetHeadline and SetRating, which do not report back.

#include <QWidget>

#include "iptcblock.h"
#include "picdatamapping.h"

class FrameContext;
class PictureRecord;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTimeEdit;
class QToolButton;

class CPicDataView : public QWidget {
    Q_OBJECT
public:
    // Control ids of the form; each control's object name is "ctl<id>".
    enum Control : int {
        Event = 1000, EventStart = 1040, EventEnd = 1042, Location = 1008, City = 1032, State = 1002,
        Country = 1009, DateTaken = 1024, TimeTaken = 1025, Headline = 1001, SmartHeadlineButton = 1026,
        Entry = 1015, AddButton = 1022, People = 1014, RemoveButton = 1023, RemoveAllButton = 1046,
        MoveUpButton = 1035, MoveDownButton = 1038, Caption = 1044, Rating = 1033, RotateButton = 1093,
        ViewCropped = 1105, FileName = 1003, FileSize = 1005, Directory = 1011, PictureNumber = 1013,
        PictureCount = 1019, SizeText = 1106, PictureAnchor = 1050, KeepFileDate = 1036, ClearButton = 1029,
        ReloadButton = 1030, UseLastButton = 1031, SaveButton = 142, SaveNextButton = 143,
        SaveCopyNextButton = 144, PrevButton = 141, NextButton = 140, LockButton = 1037,
    };

    explicit CPicDataView(FrameContext& frame, QWidget* parent = nullptr);
    ~CPicDataView() override;

    // Shows the document's open picture (or an empty form). Runs on every update of the views.
    void RefreshFromPicture();
    // Shows one set of picture data; the date and time taken stay as they are.
    void LoadFields(const IptcBlock& data);
    // Shows the open picture's place in the strip and the strip's count again (the strip's list changed).
    void ShowPosition();
    // Writes the fields the user changed into the open picture's data; nothing without one.
    void StoreFields();
    // Save Copy Next: the saved picture's data shown for the newly opened one, which is then modified.
    void ApplyCopy(const IptcBlock& data);

    // The open picture's data as last loaded or stored, and that of the picture open before it.
    const IptcBlock& LoadedData() const { return loadedData_; }
    const IptcBlock& LastData() const { return lastData_; }
    // The fields the user changed since the picture was shown or last stored: only these are stored.
    const picdata::FormChanges& Changes() const { return changes_; }

    // The options tree's entries.
    void AddPerson(const QString& text);
    void SetPlace(const QString& location, const QString& city, const QString& state, const QString& country);

    // The commands of the form, also routed from the frame's menu.
    void SmartHeadline();
    void Clear();
    void Reload();
    void UseLast();
    void Rotate();
    void RemoveAll();
    void AddEntry();
    void RemoveEntry();
    void MoveUp();
    void MoveDown();
    // Pressed locks the file, released unlocks it; the button then shows the file's state.
    void SetLock(bool pressed);
    // Shows the open picture's lock state again (after the frame's save questions).
    void RefreshLockState();
    // Double click on the preview and Ctrl+Tab: the large picture view takes the form's place.
    void ShowLargeView();

    // The picture data toolbar's edits; the form marks the document modified and does not report back.
    void SetHeadline(const QString& text);
    void SetRating(int index);

    // Reading the form, for the frame, the toolbar and tests.
    QString headline() const;
    QStringList people() const;
    int ratingIndex() const;
    QString sizeText() const;
    QWidget* control(int id) const;
    template <class T>
    T* control(int id) const {
        return qobject_cast<T*>(control(id));
    }
    // Where the preview is drawn: its top-left corner and the 160 by 160 square that reacts to a
    // double click.
    QRect previewSquare() const;

signals:
    void headlineChanged(const QString& text);
    void peopleCountChanged(int count);
    void ratingChanged(int index);
    // The large picture view should take the form's place and become the active view.
    void largeViewRequested();
    // The picture was turned: the large picture view starts again from the new angle.
    void pictureTurned();
    // A frame command on the form's buttons (Save 142, Save Next 143, Save Copy Next 144, Prev 141,
    // Next 140).
    void commandRequested(int id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class Preview;
    friend class Preview;

    void buildControls();
    void buildLayout();
    void connectControls();
    void markModified();
    void peopleChanged();
    void updateSizeText();
    void updateLockButton(bool locked);
    void paintPreview(QPainter& painter, const QRect& area);
    void setDateTaken(const QDateTime& taken);
    void storeInto(PictureRecord& picture);
    // Hands the changed fields, as they stand now, to the document for its next save; none once
    // nothing is changed.
    void handOver();
    picdata::FormFields currentFields() const;
    QDate dateTaken() const;

    FrameContext& frame_;
    IptcBlock loadedData_;
    IptcBlock lastData_;
    picdata::FormChanges changes_;
    QString shownPath_;          // the picture whose data loadedData_ holds
    int loading_ = 0;            // the program writes into the fields: no modified mark
    bool fromToolbar_ = false;   // a toolbar edit: not reported back
    bool pictureLocked_ = true;

    QLineEdit* event_ = nullptr;
    QDateEdit* eventStart_ = nullptr;
    QDateEdit* eventEnd_ = nullptr;
    QLineEdit* location_ = nullptr;
    QLineEdit* city_ = nullptr;
    QLineEdit* state_ = nullptr;
    QLineEdit* country_ = nullptr;
    QDateEdit* dateTaken_ = nullptr;
    QTimeEdit* timeTaken_ = nullptr;
    QLineEdit* headline_ = nullptr;
    QLineEdit* entry_ = nullptr;
    QListWidget* people_ = nullptr;
    QPlainTextEdit* caption_ = nullptr;
    QComboBox* rating_ = nullptr;
    QCheckBox* viewCropped_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    QLineEdit* fileSize_ = nullptr;
    QLineEdit* directory_ = nullptr;
    QLineEdit* pictureNumber_ = nullptr;
    QLineEdit* pictureCount_ = nullptr;
    QLabel* sizeText_ = nullptr;
    QCheckBox* keepFileDate_ = nullptr;
    QToolButton* lock_ = nullptr;
    QWidget* preview_ = nullptr;
    QRect previewPart_;  // the part of the picture the preview shows, in display pixels
};
