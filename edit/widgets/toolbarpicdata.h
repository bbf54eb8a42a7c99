#pragma once
// The two toolbars that carry controls of their own besides command buttons. The picture data
// toolbar mirrors the form's headline, number of people and rating, so that they can be edited while
// the form is hidden; the large picture toolbar chooses the print-size marks of the large view. The
// main frame creates both, supplies their command actions and relays values between them and the
// views.

#include <QToolBar>
#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;

class CToolBarPicData : public QToolBar {
    Q_OBJECT
public:
    // Control ids of the controls placed over the bar's separators.
    enum ControlId { HeadlineLabel = 9000, HeadlineEdit = 9001, RatingLabel = 9002, RatingList = 9003 };
    static constexpr int kMaxHeadline = 64;

    // `actionOf` gives the frame's action for a command id.
    explicit CToolBarPicData(const std::function<QAction*(int)>& actionOf, QWidget* parent = nullptr);

    // The frame's forwarders on behalf of the form: shown without being sent back.
    void ShowHeadline(const QString& text);
    void ShowPeopleCount(int count);
    void SelectRating(int index);
    // The controls work while a picture is open.
    void setControlsEnabled(bool enabled);

    QLineEdit* headlineEdit() const { return headline_; }
    QLabel* peopleCount() const { return count_; }
    QComboBox* ratingList() const { return rating_; }

signals:
    // The user changed the headline box (every keystroke) or the rating list; the form takes it.
    void headlineChanged(const QString& text);
    void ratingChanged(int index);

private:
    QLineEdit* headline_ = nullptr;
    QLabel* count_ = nullptr;
    QComboBox* rating_ = nullptr;
    // Set while the program itself writes into the headline box or the rating list.
    bool echo_ = false;
};

// The frame's relays between the picture data toolbar and the picture data form: every change of the
// form's headline, people count and rating is shown on the bar without being sent back, and every edit
// on the bar goes to the form (SetHeadline, SetRating), which does not report it back either.
template <class Form>
void relayPictureData(CToolBarPicData* bar, Form* form) {
    QObject::connect(form, &Form::headlineChanged, bar, &CToolBarPicData::ShowHeadline);
    QObject::connect(form, &Form::peopleCountChanged, bar, &CToolBarPicData::ShowPeopleCount);
    QObject::connect(form, &Form::ratingChanged, bar, &CToolBarPicData::SelectRating);
    QObject::connect(bar, &CToolBarPicData::headlineChanged, form, &Form::SetHeadline);
    QObject::connect(bar, &CToolBarPicData::ratingChanged, form, &Form::SetRating);
}

class CToolBarBigImage : public QToolBar {
    Q_OBJECT
public:
    enum ControlId { PictureSizeLabel = 9800, PictureSizeList = 9801 };

    explicit CToolBarBigImage(const std::function<QAction*(int)>& actionOf, QWidget* parent = nullptr);

    // The value of the chosen entry: 0 none, 1 and 3 to 6 one print size, 7 all of them.
    int pictureSize() const;
    // The list works while the large picture view is shown in the picture column.
    void setSizeControlsEnabled(bool enabled);
    QComboBox* pictureSizeList() const { return sizes_; }

signals:
    void pictureSizeChosen(int value);

private:
    QLabel* label_ = nullptr;
    QComboBox* sizes_ = nullptr;
};
