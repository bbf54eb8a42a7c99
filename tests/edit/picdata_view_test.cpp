// The picture data form on its own, with a small frame: what it shows with and without a picture,
// which changes mark the document modified, the people list commands, Clear, Reload and Use Last,
// storing, rotating, the size text with a crop, the lock and the preview's double click.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimeEdit>

#include "browserentry.h"
#include "picdatamapping.h"
#include "fakeframe.h"
#include "picdataview.h"
#include "picturerecord.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "testsupport.h"
#include "thumbview.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

class PicDataViewTest : public ::testing::Test {
protected:
    PicDataViewTest() { frame_.thumbsView = &thumbs_; }

    // A copy of the camera picture (100 x 68, taken 2008-05-30 15:56:01) with picture data.
    QString picture(const QString& name, const std::function<void(IptcBlock&)>& fill = {}) {
        const QString path = box_.copy(testsupport::dataPath("Canon_40D.jpg"), name);
        if (fill) {
            PictureRecord record(path);
            fill(record.iptc());
            EXPECT_TRUE(record.save().ok());
        }
        return path;
    }
    void open(const QString& path) { ASSERT_TRUE(frame_.document().OpenPictureFile(path)); }
    template <class T>
    T* control(int id) {
        T* widget = form_.control<T>(id);
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }
    QString text(int id) { return control<QLineEdit>(id)->text(); }
    bool modified() { return frame_.document().isModified(); }

    testsupport::SandBox box_;
    FakeFrame frame_{box_.filePath("settings.ini")};
    CThumbView thumbs_{frame_};
    CPicDataView form_{frame_};
};

void fillData(IptcBlock& data) {
    data.event = "07/04/2004-->07/05/2004:::Picnic";
    data.headline = "Lunch by the lake";
    data.caption = "Everybody came.";
    data.location = "Zilker Park";
    data.city = "Austin";
    data.state = "Texas";
    data.country = "USA";
    data.rating = "3";
    data.people = {"Anna Berg", "Olaf Berg"};
}

}  // namespace

TEST_F(PicDataViewTest, WithoutAPictureTheFormIsEmpty) {
    QSignalSpy headline(&form_, &CPicDataView::headlineChanged);
    QSignalSpy count(&form_, &CPicDataView::peopleCountChanged);
    QSignalSpy rating(&form_, &CPicDataView::ratingChanged);
    form_.RefreshFromPicture();
    EXPECT_EQ(text(CPicDataView::FileSize), "0 kb");
    EXPECT_EQ(form_.sizeText(), "0% (0x0) 0.0MP");
    EXPECT_EQ(text(CPicDataView::PictureNumber), "0");
    EXPECT_EQ(text(CPicDataView::PictureCount), "0");
    EXPECT_EQ(form_.ratingIndex(), 1);
    EXPECT_FALSE(control<QCheckBox>(CPicDataView::ViewCropped)->isEnabled());
    EXPECT_TRUE(control<QCheckBox>(CPicDataView::ViewCropped)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(CPicDataView::KeepFileDate)->isChecked());
    EXPECT_TRUE(control<QAbstractButton>(CPicDataView::LockButton)->isChecked());
    // The toolbar hears of the empty values.
    ASSERT_FALSE(headline.isEmpty());
    EXPECT_EQ(headline.last().at(0).toString(), "");
    EXPECT_EQ(count.last().at(0).toInt(), 0);
    EXPECT_EQ(rating.last().at(0).toInt(), 1);

    // The commands that need a picture change nothing without one.
    form_.Clear();
    form_.Reload();
    form_.UseLast();
    EXPECT_FALSE(modified());
}

TEST_F(PicDataViewTest, ShowsThePictureAndItsData) {
    const QString path = picture("shown.jpg", fillData);
    open(path);
    EXPECT_EQ(text(CPicDataView::Event), "Picnic");
    EXPECT_EQ(control<QDateEdit>(CPicDataView::EventStart)->date(), QDate(2004, 7, 4));
    EXPECT_EQ(control<QDateEdit>(CPicDataView::EventEnd)->date(), QDate(2004, 7, 5));
    EXPECT_EQ(form_.headline(), "Lunch by the lake");
    EXPECT_EQ(control<QPlainTextEdit>(CPicDataView::Caption)->toPlainText(), "Everybody came.");
    EXPECT_EQ(text(CPicDataView::Location), "Zilker Park");
    EXPECT_EQ(text(CPicDataView::City), "Austin");
    EXPECT_EQ(text(CPicDataView::State), "Texas");
    EXPECT_EQ(text(CPicDataView::Country), "USA");
    EXPECT_EQ(form_.ratingIndex(), 2);
    EXPECT_EQ(control<QComboBox>(CPicDataView::Rating)->currentText(), "3-Bronze Star");
    EXPECT_EQ(form_.people(), (QStringList{"Anna Berg", "Olaf Berg"}));
    EXPECT_EQ(text(CPicDataView::FileName), "shown.jpg");
    EXPECT_EQ(text(CPicDataView::Directory), box_.path());
    EXPECT_EQ(text(CPicDataView::FileSize), QStringLiteral("%1 kb").arg(QFileInfo(path).size() / 1024));
    EXPECT_EQ(control<QDateEdit>(CPicDataView::DateTaken)->date(), QDate(2008, 5, 30));
    EXPECT_EQ(control<QTimeEdit>(CPicDataView::TimeTaken)->time(), QTime(15, 56, 1));
    EXPECT_EQ(form_.sizeText(), "100% (100x68) 0.0MP");
    EXPECT_FALSE(control<QCheckBox>(CPicDataView::ViewCropped)->isEnabled());
    EXPECT_FALSE(control<QAbstractButton>(CPicDataView::LockButton)->isChecked());
    EXPECT_FALSE(modified());  // showing is not editing
    EXPECT_TRUE(form_.LoadedData().sameData(frame_.document().picture()->iptc()));

    // An event without dates shows the date taken for both.
    open(picture("plain.jpg", [](IptcBlock& data) { data.event = "Harbour"; }));
    EXPECT_EQ(text(CPicDataView::Event), "Harbour");
    EXPECT_EQ(control<QDateEdit>(CPicDataView::EventStart)->date(), QDate(2008, 5, 30));
    EXPECT_EQ(control<QDateEdit>(CPicDataView::EventEnd)->date(), QDate(2008, 5, 30));
    EXPECT_EQ(form_.ratingIndex(), 1);  // no rating: "2-Silver Star"
}

TEST_F(PicDataViewTest, TheUsersEditsMarkTheDocumentModified) {
    open(picture("edit.jpg"));
    const std::function<void()> edits[] = {
        [&] { QTest::keyClicks(control<QLineEdit>(CPicDataView::Headline), "x"); },
        [&] { QTest::keyClicks(control<QLineEdit>(CPicDataView::Event), "x"); },
        [&] { QTest::keyClicks(control<QLineEdit>(CPicDataView::Country), "x"); },
        [&] { QTest::keyClicks(control<QPlainTextEdit>(CPicDataView::Caption), "x"); },
        [&] { control<QComboBox>(CPicDataView::Rating)->setCurrentIndex(0); },
        // A changed date must not be lost without the save question.
        [&] { control<QDateEdit>(CPicDataView::DateTaken)->setDate(QDate(2001, 1, 1)); },
        [&] { control<QDateEdit>(CPicDataView::EventStart)->setDate(QDate(2001, 1, 1)); },
    };
    for (const auto& edit : edits) {
        frame_.document().setModified(false);
        edit();
        EXPECT_TRUE(modified());
    }
    frame_.document().setModified(false);
}

TEST_F(PicDataViewTest, PeopleListCommands) {
    open(picture("people.jpg"));
    auto* list = control<QListWidget>(CPicDataView::People);
    auto* entry = control<QLineEdit>(CPicDataView::Entry);
    QSignalSpy count(&form_, &CPicDataView::peopleCountChanged);

    form_.AddEntry();  // an empty entry box adds nothing
    EXPECT_TRUE(form_.people().isEmpty());
    EXPECT_FALSE(modified());
    for (const char* name : {"Anna", "Olaf", "Eva"}) {
        entry->setText(name);
        form_.AddEntry();
    }
    EXPECT_EQ(form_.people(), (QStringList{"Anna", "Olaf", "Eva"}));
    EXPECT_TRUE(entry->text().isEmpty());
    EXPECT_TRUE(modified());
    EXPECT_EQ(count.last().at(0).toInt(), 3);

    // Removing the last of three selects the new last entry.
    list->setCurrentRow(2);
    form_.RemoveEntry();
    EXPECT_EQ(form_.people(), (QStringList{"Anna", "Olaf"}));
    EXPECT_EQ(entry->text(), "Eva");
    EXPECT_EQ(list->currentRow(), 1);

    list->setCurrentRow(1);
    form_.MoveUp();
    EXPECT_EQ(form_.people(), (QStringList{"Olaf", "Anna"}));
    EXPECT_EQ(list->currentRow(), 0);
    form_.MoveUp();  // already first
    EXPECT_EQ(form_.people(), (QStringList{"Olaf", "Anna"}));
    form_.MoveDown();
    EXPECT_EQ(form_.people(), (QStringList{"Anna", "Olaf"}));
    EXPECT_EQ(list->currentRow(), 1);
    form_.MoveDown();  // already last
    EXPECT_EQ(form_.people(), (QStringList{"Anna", "Olaf"}));

    form_.RemoveAll();
    EXPECT_TRUE(form_.people().isEmpty());
    EXPECT_EQ(count.last().at(0).toInt(), 0);

    // Removing the only entry leaves no selection and its text in the entry box.
    form_.AddPerson("Anna Berg");
    list->setCurrentRow(0);
    form_.RemoveEntry();
    EXPECT_TRUE(form_.people().isEmpty());
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_EQ(entry->text(), "Anna Berg");
    frame_.document().setModified(false);
}

TEST_F(PicDataViewTest, PlaceAndSmartHeadline) {
    open(picture("smart.jpg", [](IptcBlock& data) { data.headline = "Picnic"; }));
    form_.SetPlace("Zilker Park", "Austin", "Texas", "USA");
    EXPECT_EQ(text(CPicDataView::Location), "Zilker Park");
    EXPECT_EQ(text(CPicDataView::Country), "USA");
    EXPECT_TRUE(modified());
    for (const char* person : {"Anna Berg", "Olaf Berg", "Eva Lind"}) form_.AddPerson(person);
    QSignalSpy headline(&form_, &CPicDataView::headlineChanged);
    form_.SmartHeadline();
    EXPECT_EQ(form_.headline(), "Anna, Olaf, & Eva Picnic");
    EXPECT_EQ(headline.last().at(0).toString(), "Anna, Olaf, & Eva Picnic");
    frame_.document().setModified(false);
}

TEST_F(PicDataViewTest, StoringWritesTheFormIntoThePicture) {
    open(picture("store.jpg", fillData));
    control<QLineEdit>(CPicDataView::Headline)->setText("Dessert");
    control<QComboBox>(CPicDataView::Rating)->setCurrentIndex(0);
    control<QTimeEdit>(CPicDataView::TimeTaken)->setTime(QTime(9, 30, 0));
    form_.StoreFields();
    const IptcBlock& data = frame_.document().picture()->iptc();
    EXPECT_EQ(data.headline, "Dessert");
    EXPECT_EQ(data.rating, "1");
    EXPECT_EQ(data.event, "07/04/2004-->07/05/2004:::Picnic");
    EXPECT_EQ(data.people, (QStringList{"Anna Berg", "Olaf Berg"}));
    EXPECT_EQ(data.dateTime, QDateTime(QDate(2008, 5, 30), QTime(9, 30, 0)));
    EXPECT_TRUE(form_.LoadedData().sameData(data));

    // A rating above the list shows no selection and stays as it is until the user chooses one.
    frame_.document().setModified(false);
    open(picture("five.jpg", [](IptcBlock& data) { data.rating = "5"; }));
    EXPECT_EQ(form_.ratingIndex(), -1);
    form_.StoreFields();
    EXPECT_EQ(frame_.document().picture()->iptc().rating, "5");

    // The document's save asks the form first.
    control<QLineEdit>(CPicDataView::Headline)->setText("Saved through the document");
    ASSERT_TRUE(frame_.document().SavePictureFile());
    EXPECT_EQ(PictureRecord(box_.filePath("five.jpg")).iptc().headline, "Saved through the document");
}

TEST_F(PicDataViewTest, ClearReloadAndUseLastKeepTheDateTaken) {
    open(picture("first.jpg", fillData));
    open(picture("second.jpg", [](IptcBlock& data) { data.headline = "Second"; }));
    const QDate date(2010, 2, 3);
    control<QDateEdit>(CPicDataView::DateTaken)->setDate(date);
    frame_.document().setModified(false);

    form_.UseLast();
    EXPECT_EQ(form_.headline(), "Lunch by the lake");
    EXPECT_EQ(form_.people(), (QStringList{"Anna Berg", "Olaf Berg"}));
    EXPECT_TRUE(modified());
    EXPECT_EQ(control<QDateEdit>(CPicDataView::DateTaken)->date(), date);

    form_.Reload();
    EXPECT_EQ(form_.headline(), "Second");
    EXPECT_TRUE(form_.people().isEmpty());
    EXPECT_FALSE(modified());
    EXPECT_EQ(control<QDateEdit>(CPicDataView::DateTaken)->date(), date);

    form_.Clear();
    EXPECT_EQ(form_.headline(), "");
    EXPECT_EQ(form_.ratingIndex(), 1);
    EXPECT_TRUE(modified());
    EXPECT_EQ(control<QDateEdit>(CPicDataView::DateTaken)->date(), date);

    // A refresh of the same picture (after a save, say) keeps the last picture's data for Use Last.
    frame_.document().setModified(false);
    form_.RefreshFromPicture();
    EXPECT_EQ(form_.LastData().headline, "Lunch by the lake");
}

TEST_F(PicDataViewTest, RotateWritesTheInstructionText) {
    open(picture("turn.jpg"));
    QSignalSpy turned(&form_, &CPicDataView::pictureTurned);
    PictureRecord& picture = *frame_.document().picture();
    QStringList texts;
    for (int i = 0; i < 4; ++i) {
        form_.Rotate();
        texts.append(picture.iptc().instructions);
        if (i == 0) {
            EXPECT_EQ(picture.rotation(), 90);
            EXPECT_EQ(form_.sizeText(), "100% (68x100) 0.0MP");
        }
    }
    EXPECT_EQ(texts, (QStringList{"Rotate:90", "Rotate:180", "Rotate:270", ""}));
    EXPECT_EQ(turned.count(), 4);
    EXPECT_TRUE(modified());
    frame_.document().setModified(false);
}

TEST_F(PicDataViewTest, SizeTextAndPreviewFollowTheCrop) {
    // The left half of the 100 x 68 picture.
    open(picture("crop.jpg", [](IptcBlock& data) {
        data.instructions = "Rotate:0,CropLeft:0,CropRight:50,CropTop:0,CropBottom:68,CropTo:1";
    }));
    auto* box = control<QCheckBox>(CPicDataView::ViewCropped);
    EXPECT_TRUE(box->isEnabled());
    EXPECT_EQ(form_.sizeText(), "50% (50x68) 0.0MP");
    box->setChecked(false);
    EXPECT_EQ(form_.sizeText(), "100% (100x68) 0.0MP");
    box->setChecked(true);
    // The preview draws the crop, its longer side 160 pixels.
    form_.resize(900, 700);
    const QImage shot = form_.grab().toImage();
    const QRect square = form_.previewSquare();
    const QPoint inside = square.topLeft() + QPoint(50, 80);
    const QPoint beyond = square.topLeft() + QPoint(140, 80);  // past the crop's 118 pixels of width
    EXPECT_NE(shot.pixel(inside), shot.pixel(beyond));
}

TEST_F(PicDataViewTest, LockTogglesTheFilesWritePermission) {
    const QString path = picture("lock.jpg");
    open(path);
    form_.SetLock(true);
    EXPECT_FALSE(QFile::permissions(path) & QFileDevice::WriteOwner);
    EXPECT_TRUE(control<QAbstractButton>(CPicDataView::LockButton)->isChecked());
    EXPECT_TRUE(frame_.document().picture()->locked());
    form_.SetLock(false);
    EXPECT_TRUE(QFile::permissions(path) & QFileDevice::WriteOwner);
    EXPECT_FALSE(control<QAbstractButton>(CPicDataView::LockButton)->isChecked());
}

TEST_F(PicDataViewTest, AnArchivedPictureShowsWhereItLies) {
    const QString path = picture("gone.jpg", fillData);
    PictureRecord archived(path);
    archived.setFilePath(box_.filePath("elsewhere/gone.jpg"));
    archived.archiveName = "HOLIDAY";
    archived.archiveLocation = "/media/cdrom/2004/";
    ASSERT_TRUE(frame_.document().OpenCatalogEntry(&archived));
    EXPECT_EQ(text(CPicDataView::Directory), "(HOLIDAY) /media/cdrom/2004");
    EXPECT_TRUE(control<QAbstractButton>(CPicDataView::LockButton)->isChecked());
    EXPECT_EQ(form_.headline(), "Lunch by the lake");
    frame_.document().NewDocument();
}

TEST_F(PicDataViewTest, PictureNumberAndCountComeFromTheStrip) {
    const QStringList paths = {picture("a.jpg"), picture("b.jpg"), picture("c.jpg")};
    EntryList entries;
    ThumbList list;
    for (const QString& path : paths) {
        auto entry = std::make_unique<BrowserEntry>();
        entry->kind = EntryKind::Picture;
        entry->path = path;
        entry->picture = std::make_unique<PictureRecord>(path);
        list.append(entry.get());
        entries.push_back(std::move(entry));
    }
    thumbs_.ShowList(list, false);
    open(paths[1]);
    EXPECT_EQ(text(CPicDataView::PictureNumber), "2");
    EXPECT_EQ(text(CPicDataView::PictureCount), "3");
    frame_.document().NewDocument();
    thumbs_.ShowList({}, false);
}

TEST_F(PicDataViewTest, DoubleClickOnThePreviewAsksForTheLargeView) {
    form_.resize(900, 700);
    form_.show();
    QSignalSpy large(&form_, &CPicDataView::largeViewRequested);
    QWidget* anchor = form_.control(CPicDataView::PictureAnchor);
    ASSERT_NE(anchor, nullptr);
    QTest::mouseDClick(anchor, Qt::LeftButton, {}, QPoint(200, 200));  // outside the square
    EXPECT_EQ(large.count(), 0);
    QTest::mouseDClick(anchor, Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(large.count(), 1);
}

namespace {

// Every field of a block as text, the datasets kept whole included, to compare a picture's data
// field by field before and after a save.
QMap<QString, QString> fieldTexts(const IptcBlock& d) {
    return {{"byline", d.byline},
            {"bylineTitle", d.bylineTitle},
            {"credit", d.credit},
            {"source", d.source},
            {"writer", d.writer},
            {"caption", d.caption},
            {"headline", d.headline},
            {"instructions", d.instructions},
            {"event", d.event},
            {"dateText", d.dateText},
            {"timeText", d.timeText},
            {"location", d.location},
            {"city", d.city},
            {"state", d.state},
            {"country", d.country},
            {"rating", d.rating},
            {"transmissionReference", d.transmissionReference},
            {"category", d.category},
            {"supplementalCategories", d.supplementalCategories.join('|')},
            {"people", d.people.join('|')},
            {"copyright", d.copyright},
            {"unknown", QString::fromLatin1(d.UnknownDatasets.toHex())},
            {"otherBefore", QString::fromLatin1(d.otherRecordsBefore.toHex())},
            {"otherAfter", QString::fromLatin1(d.otherRecordsAfter.toHex())},
            {"thumbnail", QString::fromLatin1(d.thumbnailJpeg().toHex())}};
}

}  // namespace

TEST_F(PicDataViewTest, AnEditOfOneFieldLeavesEveryOtherFieldAsItWasStored) {
    struct Picture {
        const char* file;
        // What the first save adds to a picture without a stored date: its camera's date.
        QString cameraDate, cameraTime;
    };
    const Picture pictures[] = {
        {"iptc_fields.jpg", "", ""},               // rating 8, an event without dates, a date without a time
        {"iptc_rating5_camera_date.jpg", "", ""},  // rating 5, a date without a time, and a camera date
        {"iptc_utf8_tz.jpg", "", ""},              // UTF-8, a time with its zone, no rating
        {"iptc_repeated.jpg", "", ""},             // repeated datasets, a time with its zone, no headline
        {"iptc_photomech.jpg", "", ""},            // rating 8, every text field, a time with its zone
        {"iptc_no_date_camera_date.jpg", "20060708", "211445"},  // no date: the camera's comes on the save
        {"iptc_no_date_no_camera.jpg", "", ""},                  // no date and none to give
    };
    struct Edit {
        const char* name;
        std::function<void()> act;
        // The fields that change, with their value from the data before the save and the form.
        std::function<QMap<QString, QString>(const IptcBlock& before)> changed;
    };
    const Edit edits[] = {
        {"caption",
         [&] {
             auto* caption = control<QPlainTextEdit>(CPicDataView::Caption);
             caption->setFocus();
             caption->moveCursor(QTextCursor::End);
             QTest::keyClicks(caption, "!");
         },
         [](const IptcBlock& b) { return QMap<QString, QString>{{"caption", b.caption + "!"}}; }},
        {"headline",
         [&] {
             auto* headline = control<QLineEdit>(CPicDataView::Headline);
             headline->end(false);
             QTest::keyClicks(headline, " at dusk");
         },
         [](const IptcBlock& b) { return QMap<QString, QString>{{"headline", b.headline + " at dusk"}}; }},
        {"city",
         [&] {
             auto* city = control<QLineEdit>(CPicDataView::City);
             city->selectAll();
             QTest::keyClicks(city, "Austin");
         },
         [](const IptcBlock&) { return QMap<QString, QString>{{"city", "Austin"}}; }},
        {"rating", [&] { control<QComboBox>(CPicDataView::Rating)->setCurrentIndex(0); },
         [](const IptcBlock&) { return QMap<QString, QString>{{"rating", "1"}}; }},
        {"people",
         [&] {
             QTest::keyClicks(control<QLineEdit>(CPicDataView::Entry), "Anna Berg");
             QTest::keyClick(control<QLineEdit>(CPicDataView::Entry), Qt::Key_Return);
         },
         [](const IptcBlock& b) {
             return QMap<QString, QString>{{"people", (b.people + QStringList{"Anna Berg"}).join('|')}};
         }},
        {"event",
         [&] {
             auto* event = control<QLineEdit>(CPicDataView::Event);
             event->end(false);
             QTest::keyClicks(event, " trip");
         },
         [&](const IptcBlock& b) {
             // The event is written with the dates the form shows for it.
             return QMap<QString, QString>{
                 {"event", picdata::eventText(picdata::parseEvent(b.event).title + " trip",
                                              control<QDateEdit>(CPicDataView::EventStart)->date(),
                                              control<QDateEdit>(CPicDataView::EventEnd)->date())}};
         }},
        {"date taken", [&] { control<QDateEdit>(CPicDataView::DateTaken)->setDate(QDate(2011, 5, 5)); },
         [&](const IptcBlock& b) {
             const QString time = control<QTimeEdit>(CPicDataView::TimeTaken)->time().toString("HHmmss");
             // A zone suffix stays with an unchanged time.
             return QMap<QString, QString>{
                 {"dateText", "20110505"}, {"timeText", b.timeText.left(6) == time ? b.timeText : time}};
         }},
    };
    for (const Picture& p : pictures) {
        for (const Edit& edit : edits) {
            SCOPED_TRACE(std::string(p.file) + ", " + edit.name);
            const QString path = box_.copy(testsupport::dataPath(p.file), QStringLiteral("%1-%2").arg(edit.name, p.file));
            const IptcBlock before = PictureRecord(path).iptc();
            ASSERT_TRUE(before.HasPhotoshopSegment);
            open(path);
            edit.act();
            EXPECT_TRUE(modified());
            QMap<QString, QString> expected = fieldTexts(before);
            if (!p.cameraDate.isEmpty()) {
                expected["dateText"] = p.cameraDate;
                expected["timeText"] = p.cameraTime;
            }
            const QMap<QString, QString> changed = edit.changed(before);
            for (auto it = changed.begin(); it != changed.end(); ++it) expected[it.key()] = it.value();
            ASSERT_TRUE(frame_.document().SavePictureFile());

            const QMap<QString, QString> after = fieldTexts(PictureRecord(path).iptc());
            for (auto it = expected.begin(); it != expected.end(); ++it)
                EXPECT_EQ(after.value(it.key()).toStdString(), it.value().toStdString()) << it.key().toStdString();
            EXPECT_EQ(form_.Changes().changed(), picdata::Fields()) << "stored: nothing left to store";
        }
    }
}

TEST_F(PicDataViewTest, UseLastClearAndSaveCopyNextGiveValuesTheFormCannotShowAsTheyAre) {
    // The last picture was captioned elsewhere: rating 8, an event without the program's dates.
    const QString elsewhere = box_.copy(testsupport::dataPath("iptc_fields.jpg"), "elsewhere.jpg");
    const IptcBlock source = PictureRecord(elsewhere).iptc();
    ASSERT_EQ(source.rating, "8");
    ASSERT_EQ(source.event, "Test IPTC picture");
    const QString own = picture("own.jpg", [](IptcBlock& data) {
        data.rating = "3";
        data.byline = "Own byline";
    });
    open(elsewhere);
    open(own);
    form_.UseLast();
    ASSERT_EQ(form_.ratingIndex(), -1);
    // Edited afterwards: the form's text goes.
    control<QLineEdit>(CPicDataView::Headline)->end(false);
    QTest::keyClicks(control<QLineEdit>(CPicDataView::Headline), "!");
    ASSERT_TRUE(frame_.document().SavePictureFile());
    IptcBlock saved = PictureRecord(own).iptc();
    EXPECT_EQ(saved.rating, "8");
    EXPECT_EQ(saved.event, "Test IPTC picture");
    EXPECT_EQ(saved.headline, source.headline + "!");
    EXPECT_EQ(saved.people, source.people);
    EXPECT_EQ(saved.byline, "Own byline");  // not a field of the form

    // Save Copy Next hands over the data the same way.
    open(picture("next.jpg"));
    form_.ApplyCopy(source);
    ASSERT_TRUE(frame_.document().SavePictureFile());
    saved = PictureRecord(box_.filePath("next.jpg")).iptc();
    EXPECT_EQ(saved.rating, "8");
    EXPECT_EQ(saved.event, "Test IPTC picture");
    EXPECT_EQ(saved.caption, source.caption);
    EXPECT_EQ(saved.dateText, "20080530");  // its own camera's date, not the source's

    // Clear empties every field and gives the rating of a new picture.
    open(elsewhere);
    form_.Clear();
    ASSERT_TRUE(frame_.document().SavePictureFile());
    saved = PictureRecord(elsewhere).iptc();
    EXPECT_EQ(saved.rating, "2");
    EXPECT_TRUE(saved.event.isEmpty() && saved.headline.isEmpty() && saved.people.isEmpty());
    EXPECT_EQ(saved.byline, source.byline);
    EXPECT_EQ(saved.dateText, "20040226");
}

TEST_F(PicDataViewTest, TooltipsAsTheyStand) {
    EXPECT_EQ(form_.control(CPicDataView::EventEnd)->toolTip(), "The End Date fo the Event");
    EXPECT_EQ(form_.control(CPicDataView::ReloadButton)->toolTip(), "Reload Data for Picutre");
    EXPECT_EQ(form_.control(CPicDataView::SizeText)->toolTip(), "Size of the Orginal and MegaPixels");
    EXPECT_EQ(form_.control(CPicDataView::MoveDownButton)->toolTip(), "Move the Person\\Place\\Thing up in the list");
    EXPECT_EQ(control<QCheckBox>(CPicDataView::KeepFileDate)->text(), "Keep Fie Date/Time");
}
