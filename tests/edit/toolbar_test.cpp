// The two data toolbars: their controls in order, the headline box and the rating list that talk to
// the form without echo, the people count, and the "Picture Size:" list's values.

#include "toolbarpicdata.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "commandids.h"
#include "fakeframe.h"
#include "picdataview.h"
#include "picturerecord.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "testsupport.h"

namespace {

// The frame's command actions, one per id.
class Actions {
public:
    QAction* operator()(int id) {
        if (!actions_.contains(id)) {
            auto* action = new QAction(QString::number(id), &owner_);
            action->setData(id);
            actions_.insert(id, action);
        }
        return actions_.value(id);
    }

private:
    QObject owner_;
    QHash<int, QAction*> actions_;
};

// The ids along a bar: actions by their id, controls by their "controlId", separators as 0.
QList<int> itemIds(const QToolBar& bar) {
    QList<int> ids;
    for (QAction* action : bar.actions()) {
        if (action->isSeparator())
            ids.append(0);
        else if (QWidget* widget = bar.widgetForAction(action); widget && widget->property("controlId").isValid())
            ids.append(widget->property("controlId").toInt());
        else
            ids.append(action->data().toInt());
    }
    return ids;
}

TEST(PictureDataToolbar, ControlsStandBetweenTheButtonsInOrder) {
    Actions actions;
    CToolBarPicData bar(std::ref(actions));
    EXPECT_EQ(itemIds(bar), (QList<int>{9000, 9001, 0, cmd::SmartHeadline, cmd::SaveCopyNext, cmd::SaveNext, cmd::Save,
                                        0, 1130, cmd::RemoveAllPeople, cmd::UseLastData, cmd::Rotate, 0, 9002, 9003}));
    EXPECT_EQ(bar.headlineEdit()->maxLength(), 64);
    EXPECT_EQ(bar.peopleCount()->text(), "0");
    EXPECT_EQ(bar.peopleCount()->toolTip(), "Number of People\\Places\\Things in Picture");
    ASSERT_EQ(bar.ratingList()->count(), 4);
    EXPECT_EQ(bar.ratingList()->itemText(0), "1-Gold Star");
    EXPECT_EQ(bar.ratingList()->itemText(3), "4-No Star");
    EXPECT_EQ(bar.ratingList()->maxVisibleItems(), 4);
}

TEST(PictureDataToolbar, TypingSendsEveryKeyAndShownValuesAreNotSentBack) {
    Actions actions;
    CToolBarPicData bar(std::ref(actions));
    bar.setControlsEnabled(true);
    bar.show();
    QSignalSpy headlines(&bar, &CToolBarPicData::headlineChanged);
    QSignalSpy ratings(&bar, &CToolBarPicData::ratingChanged);

    QTest::keyClicks(bar.headlineEdit(), "Dog");
    ASSERT_EQ(headlines.count(), 3);
    EXPECT_EQ(headlines.at(2).at(0).toString(), "Dog");

    bar.ShowHeadline("From the form");
    bar.SelectRating(2);
    bar.ShowPeopleCount(3);
    EXPECT_EQ(headlines.count(), 3);
    EXPECT_EQ(ratings.count(), 0);
    EXPECT_EQ(bar.headlineEdit()->text(), "From the form");
    EXPECT_EQ(bar.ratingList()->currentIndex(), 2);
    EXPECT_EQ(bar.peopleCount()->text(), "3");
    // A rating beyond the list leaves it without selection.
    bar.SelectRating(7);
    EXPECT_EQ(bar.ratingList()->currentIndex(), -1);

    bar.ratingList()->setCurrentIndex(0);
    ASSERT_EQ(ratings.count(), 1);
    EXPECT_EQ(ratings.at(0).at(0).toInt(), 0);

    // At most 64 characters.
    bar.headlineEdit()->clear();
    QTest::keyClicks(bar.headlineEdit(), QString(70, QLatin1Char('x')));
    EXPECT_EQ(bar.headlineEdit()->text().size(), 64);
}

TEST(PictureDataToolbar, ControlsFollowTheEnableRule) {
    Actions actions;
    CToolBarPicData bar(std::ref(actions));
    EXPECT_FALSE(bar.headlineEdit()->isEnabled());
    bar.setControlsEnabled(true);
    EXPECT_TRUE(bar.headlineEdit()->isEnabled());
    EXPECT_TRUE(bar.ratingList()->isEnabled());
}

TEST(BigImageToolbar, PictureSizeListSendsThePrintSizeIndex) {
    Actions actions;
    CToolBarBigImage bar(std::ref(actions));
    EXPECT_EQ(itemIds(bar), (QList<int>{cmd::Zoom, cmd::CropMarks, cmd::RotateCrop, cmd::RemoveCrop, 0, 9800, 9801, 0,
                                        cmd::CropTopLeft, cmd::CropCenter, cmd::CropBottomRight}));
    QComboBox* list = bar.pictureSizeList();
    EXPECT_EQ(list->currentText(), "None");
    EXPECT_EQ(list->maxVisibleItems(), 7);
    QSignalSpy chosen(&bar, &CToolBarBigImage::pictureSizeChosen);
    const std::pair<const char*, int> entries[] = {{"2.5 x 3.25", 1}, {"3.5 x 5", 3}, {"4 x 6", 4}, {"5 x 7", 5},
                                                   {"8 x 10", 6},     {"All", 7},     {"None", 0}};
    for (const auto& [text, value] : entries) {
        list->setCurrentIndex(list->findText(QString::fromLatin1(text)));
        ASSERT_FALSE(chosen.isEmpty()) << text;
        EXPECT_EQ(chosen.takeLast().at(0).toInt(), value) << text;
        EXPECT_EQ(bar.pictureSize(), value);
    }
    EXPECT_FALSE(list->isEnabled());
    bar.setSizeControlsEnabled(true);
    EXPECT_TRUE(list->isEnabled());
}

// The form and the toolbar, joined as the frame joins them.
TEST(PictureDataRelay, ToolbarAndFormMirrorEachOtherWithoutEcho) {
    testsupport::SandBox sandbox;
    FakeFrame frame(sandbox.filePath("Snaplore.conf"));
    const QString path = sandbox.copy(testsupport::dataPath("iptc_fields.jpg"), "relay.jpg");
    Actions actions;
    CToolBarPicData bar(std::ref(actions));
    CPicDataView form(frame);
    relayPictureData(&bar, &form);
    bar.setControlsEnabled(true);
    bar.show();
    form.show();
    ASSERT_TRUE(frame.document().OpenPictureFile(path));
    form.RefreshFromPicture();
    EXPECT_EQ(bar.headlineEdit()->text(), form.headline());
    EXPECT_EQ(bar.peopleCount()->text(), QString::number(form.people().size()));
    EXPECT_EQ(bar.ratingList()->currentIndex(), form.ratingIndex());

    // Typing on the bar changes the form at every key and marks the document modified.
    frame.document().setModified(false);
    QSignalSpy sent(&bar, &CToolBarPicData::headlineChanged);
    bar.headlineEdit()->clear();
    QTest::keyClicks(bar.headlineEdit(), "Lake");
    EXPECT_EQ(form.headline(), "Lake");
    EXPECT_TRUE(frame.document().isModified());
    const qsizetype typed = sent.count();

    // Changing the form's headline shows on the bar without being sent back.
    form.control<QLineEdit>(CPicDataView::Headline)->setText("Shore");
    EXPECT_EQ(bar.headlineEdit()->text(), "Shore");
    EXPECT_EQ(sent.count(), typed);

    bar.ratingList()->setCurrentIndex(3);
    EXPECT_EQ(form.ratingIndex(), 3);
    form.AddPerson("Anna Berg");
    EXPECT_EQ(bar.peopleCount()->text(), QString::number(form.people().size()));
}

}  // namespace
