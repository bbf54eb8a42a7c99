// Copy to all: which fields go to the targets and which stay theirs, the write of every target through
// the safe rewrite, failures reported at the end with the target left untouched, one catalog rebuild
// per folder, and the dialog's question, save, ticks and progress.

#include "copytoall.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <map>
#include <memory>

#include "catalog.h"
#include "copytoalldlg.h"
#include "picturerecord.h"
#include "scriptedprompter.h"
#include "testsupport.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using testsupport::SandBox;

const QString kTargetInstructions = QStringLiteral("Rotate:90,CropLeft:1,CropRight:5,CropTop:0,CropBottom:6,CropTo:2");

// Two catalogued folders: "a" holds the source and one target, "b" one target and a read-only one.
class CopyToAllTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(box_.path()).mkpath(QStringLiteral("a")));
        ASSERT_TRUE(QDir(box_.path()).mkpath(QStringLiteral("b")));
        folderA_ = box_.filePath(QStringLiteral("a"));
        folderB_ = box_.filePath(QStringLiteral("b"));

        source_ = picture(QStringLiteral("a/source.jpg"), QStringLiteral("Canon_40D.jpg"));
        IptcBlock& s = source_->iptc();
        s.event = QStringLiteral("06/01/2003-->06/02/2003:::Trip");
        s.headline = QStringLiteral("Source headline");
        s.caption = QStringLiteral("Source caption");
        s.location = QStringLiteral("Harbour");
        s.city = QStringLiteral("Halifax");
        s.state = QStringLiteral("NS");
        s.country = QStringLiteral("Canada");
        s.people = {QStringLiteral("Anna")};
        s.rating = QStringLiteral("1");
        s.byline = QStringLiteral("Source byline");
        s.dateTime = QDateTime(QDate(2020, 1, 1), QTime(10, 0));
        s.instructions = QStringLiteral("Rotate:180");
        ASSERT_TRUE(source_->save().ok());

        // A picture written by another program: datasets the program does not interpret, its own date.
        first_ = picture(QStringLiteral("a/first.jpg"), QStringLiteral("iptc_fields.jpg"));
        first_->iptc().instructions = kTargetInstructions;
        first_->iptc().dateTime = QDateTime(QDate(2004, 2, 26), QTime(8, 30));
        ASSERT_TRUE(first_->save().ok());
        first_ = reread(*first_);

        second_ = picture(QStringLiteral("b/second.jpg"), QStringLiteral("Canon_40D.jpg"));
        second_->iptc().headline = QStringLiteral("Second headline");
        second_->iptc().people = {QStringLiteral("Carl")};
        second_->iptc().rating = QStringLiteral("3");
        QImage thumbnail(16, 12, QImage::Format_RGB32);
        thumbnail.fill(Qt::darkGreen);
        second_->iptc().setThumbnail(thumbnail);
        ASSERT_TRUE(second_->save().ok());
        second_ = reread(*second_);

        locked_ = picture(QStringLiteral("b/locked.jpg"), QStringLiteral("Canon_40D.jpg"));
        locked_->iptc().headline = QStringLiteral("Locked headline");
        ASSERT_TRUE(locked_->save().ok());
        ASSERT_TRUE(QFile::setPermissions(locked_->filePath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        locked_ = reread(*locked_);

        ASSERT_TRUE(Catalog().create(folderA_, false).ok());
        ASSERT_TRUE(Catalog().create(folderB_, false).ok());
    }

    std::unique_ptr<PictureRecord> picture(const QString& name, const QString& data) {
        return std::make_unique<PictureRecord>(box_.copy(testsupport::dataPath(data), name));
    }
    static std::unique_ptr<PictureRecord> reread(const PictureRecord& picture) {
        return std::make_unique<PictureRecord>(picture.filePath());
    }
    QList<PictureRecord*> targets() { return {source_.get(), first_.get(), second_.get(), locked_.get()}; }

    SandBox box_;
    QString folderA_, folderB_;
    std::unique_ptr<PictureRecord> source_, first_, second_, locked_;
};

}  // namespace

TEST_F(CopyToAllTest, StartTicksCopyTheEventAndKeepHeadlinePeopleAndRating) {
    const IptcBlock before = first_->iptc();
    const QByteArray lockedBytes = testsupport::readAll(locked_->filePath());
    const IptcBlock lockedBefore = locked_->iptc();
    QList<int> steps;
    QList<PictureRecord*> list = targets();
    list.insert(2, nullptr);  // a target without a picture object is skipped, its step still taken
    const copytoall::Report report =
        copytoall::writeAll(source_->iptc(), list, copytoall::Choice{}, [&](int done) { steps.append(done); });

    EXPECT_EQ(steps, QList<int>({1, 2, 3, 4, 5}));
    EXPECT_EQ(report.written, 3);
    EXPECT_EQ(report.skipped, 1);
    // What each written picture hands to its folder's catalog is its file as written.
    ASSERT_EQ(report.changes.size(), 3u);
    for (const PictureChange& change : report.changes) {
        EXPECT_EQ(change.fileSize, quint64(QFileInfo(change.path).size())) << change.path.toStdString();
        EXPECT_EQ(change.header, testsupport::readAll(change.path).first(change.header.size()));
        EXPECT_EQ(quint64(change.header.size()), PictureRecord(change.path).headerSize());
    }

    const PictureRecord first(first_->filePath());
    const IptcBlock& got = first.iptc();
    // Taken from the source.
    EXPECT_EQ(got.event, source_->iptc().event);
    EXPECT_EQ(got.caption, QStringLiteral("Source caption"));
    EXPECT_EQ(got.location, QStringLiteral("Harbour"));
    EXPECT_EQ(got.city, QStringLiteral("Halifax"));
    EXPECT_EQ(got.state, QStringLiteral("NS"));
    EXPECT_EQ(got.country, QStringLiteral("Canada"));
    // A field the form does not show goes only with a value: the source's byline goes, while the
    // target keeps the credit, copyright notice and categories the source has none of.
    EXPECT_EQ(got.byline, QStringLiteral("Source byline"));
    ASSERT_FALSE(before.credit.isEmpty());
    EXPECT_EQ(got.credit, before.credit);
    EXPECT_EQ(got.copyright, before.copyright);
    EXPECT_EQ(got.supplementalCategories, before.supplementalCategories);
    // The target's own: headline, people, rating, date and time, rotation and crop, kept datasets.
    EXPECT_EQ(got.headline, before.headline);
    EXPECT_EQ(got.people, before.people);
    EXPECT_EQ(got.rating, before.rating);
    EXPECT_EQ(got.dateTime, QDateTime(QDate(2004, 2, 26), QTime(8, 30)));
    EXPECT_EQ(got.instructions, kTargetInstructions);
    EXPECT_EQ(first.rotation(), 90);
    EXPECT_EQ(first.cropTo(), 2);
    EXPECT_EQ(first.cropRect().left, 1);
    EXPECT_EQ(first.cropRect().right, 5);
    ASSERT_FALSE(before.UnknownDatasets.isEmpty());
    EXPECT_EQ(got.UnknownDatasets, before.UnknownDatasets);
    EXPECT_EQ(got.otherRecordsBefore, before.otherRecordsBefore);
    // The record in memory says what the file says.
    EXPECT_TRUE(first_->iptc().sameData(got));

    // The embedded thumbnail stays the target's own.
    const PictureRecord second(second_->filePath());
    EXPECT_EQ(second.iptc().thumbnailJpeg(), second_->iptc().thumbnailJpeg());
    EXPECT_EQ(second.iptc().headline, QStringLiteral("Second headline"));
    EXPECT_EQ(second.iptc().caption, QStringLiteral("Source caption"));

    // The read-only target is reported, and neither its file nor its record changed.
    ASSERT_EQ(report.pictures.size(), 1);
    EXPECT_EQ(report.pictures[0].path, locked_->filePath());
    EXPECT_EQ(testsupport::readAll(locked_->filePath()), lockedBytes);
    EXPECT_TRUE(locked_->iptc().sameData(lockedBefore));
    EXPECT_EQ(locked_->iptc().caption, QString());
    const QString message = copytoall::failureMessage(report);
    EXPECT_TRUE(message.contains(QStringLiteral("locked.jpg"))) << message.toStdString();
    EXPECT_TRUE(message.contains(describe(WriteError::Locked))) << message.toStdString();
}

TEST_F(CopyToAllTest, TheFourStartBoxesUntickedStillCopyCaptionAndPlace) {
    const IptcBlock before = second_->iptc();
    copytoall::writeAll(source_->iptc(), {second_.get()}, copytoall::Choice{false, false, false, false});
    const PictureRecord second(second_->filePath());
    EXPECT_EQ(second.iptc().event, before.event);
    EXPECT_EQ(second.iptc().headline, QStringLiteral("Second headline"));
    EXPECT_EQ(second.iptc().caption, QStringLiteral("Source caption"));
    EXPECT_EQ(second.iptc().location, QStringLiteral("Harbour"));
    EXPECT_EQ(second.iptc().city, QStringLiteral("Halifax"));
    EXPECT_EQ(second.iptc().country, QStringLiteral("Canada"));
}

// Every pair of pictures captioned by other programs (and one without data), under several choices:
// a chosen field is the source's, an unchosen one the target's, a field the form does not show is the
// source's only where the source has a value, and date, time and instructions stay the target's.
TEST(CopyToAllRules, PicturesCaptionedByOtherPrograms) {
    const QStringList files = {"Canon_40D.jpg", "iptc_fields.jpg", "iptc_photomech.jpg",
                               "iptc_rating5_camera_date.jpg", "iptc_repeated.jpg"};
    const copytoall::Choice choices[] = {
        {},                                         // the start ticks
        {true, true, true, true, true, true},       // everything
        {false, false, false, false, false, false}, // nothing the form shows
        {false, true, true, false, false, true},
    };
    using Text = QString IptcBlock::*;
    const struct {
        Text member;
        bool copytoall::Choice::*tick;  // null: a field the form does not show
    } texts[] = {
        {&IptcBlock::event, &copytoall::Choice::event},       {&IptcBlock::headline, &copytoall::Choice::headline},
        {&IptcBlock::rating, &copytoall::Choice::rating},     {&IptcBlock::caption, &copytoall::Choice::caption},
        {&IptcBlock::location, &copytoall::Choice::place},    {&IptcBlock::city, &copytoall::Choice::place},
        {&IptcBlock::state, &copytoall::Choice::place},       {&IptcBlock::country, &copytoall::Choice::place},
        {&IptcBlock::byline, nullptr},  {&IptcBlock::bylineTitle, nullptr}, {&IptcBlock::credit, nullptr},
        {&IptcBlock::source, nullptr},  {&IptcBlock::copyright, nullptr},   {&IptcBlock::writer, nullptr},
        {&IptcBlock::category, nullptr}, {&IptcBlock::transmissionReference, nullptr},
    };
    SandBox box;
    int n = 0;
    for (const QString& sourceFile : files) {
        const PictureRecord source(testsupport::dataPath(sourceFile));
        for (const QString& targetFile : files) {
            for (const copytoall::Choice& choice : choices) {
                SCOPED_TRACE((sourceFile + " -> " + targetFile + " #" + QString::number(n)).toStdString());
                PictureRecord target(box.copy(testsupport::dataPath(targetFile), QStringLiteral("t%1.jpg").arg(n++)));
                const IptcBlock before = target.iptc();
                const copytoall::Report report = copytoall::writeAll(source.iptc(), {&target}, choice);
                ASSERT_EQ(report.written, 1);
                const IptcBlock got = PictureRecord(target.filePath()).iptc();
                for (const auto& t : texts) {
                    const QString& from = source.iptc().*(t.member);
                    const bool goes = t.tick ? choice.*(t.tick) : !from.isEmpty();
                    EXPECT_EQ(got.*(t.member), goes ? from : before.*(t.member));
                }
                EXPECT_EQ(got.people, choice.people ? source.iptc().people : before.people);
                EXPECT_EQ(got.supplementalCategories, source.iptc().supplementalCategories.isEmpty()
                                                          ? before.supplementalCategories
                                                          : source.iptc().supplementalCategories);
                EXPECT_EQ(got.instructions, before.instructions);
                if (before.dateTime.isValid()) {
                    EXPECT_EQ(got.dateTime, before.dateTime);
                }
                EXPECT_EQ(got.UnknownDatasets, before.UnknownDatasets);
            }
        }
    }
}

TEST(CopyToAllQuestion, NamesEveryFieldThatReplacesTheTargetsOwn) {
    IptcBlock source;
    EXPECT_EQ(copytoall::question(copytoall::copiedFields(source, {}), 30),
              QStringLiteral("Copy the event, caption, location, city, state and country of this picture to all 30 "
                             "pictures? Their own values are replaced."));
    source.copyright = QStringLiteral("(c) Ann");
    source.supplementalCategories = {QStringLiteral("Sport")};
    EXPECT_EQ(copytoall::copiedFields(source, {false, true, true, false, false, false}),
              QStringList({"headline", "people", "copyright notice", "supplemental categories"}));
    EXPECT_EQ(copytoall::question({"rating"}, 2),
              QStringLiteral("Copy the rating of this picture to all 2 pictures? Their own values are replaced."));
    EXPECT_TRUE(copytoall::copiedFields(IptcBlock(), {false, false, false, false, false, false}).isEmpty());

    copytoall::Choice choice;
    QString unknown;
    ASSERT_TRUE(copytoall::parseChoice(QStringLiteral("people, Rating"), choice, &unknown));
    EXPECT_TRUE(choice.people && choice.rating);
    EXPECT_FALSE(choice.event || choice.headline || choice.caption || choice.place);
    EXPECT_FALSE(copytoall::parseChoice(QStringLiteral("event,places"), choice, &unknown));
    EXPECT_EQ(unknown, QStringLiteral("places"));
}

TEST_F(CopyToAllTest, EveryTickCopiesHeadlinePeopleAndRatingToo) {
    copytoall::writeAll(source_->iptc(), {second_.get()}, copytoall::Choice{true, true, true, true});
    const PictureRecord second(second_->filePath());
    EXPECT_EQ(second.iptc().headline, QStringLiteral("Source headline"));
    EXPECT_EQ(second.iptc().people, QStringList{QStringLiteral("Anna")});
    EXPECT_EQ(second.iptc().rating, QStringLiteral("1"));
    // Never the source's date or rotation: a target without a stored date gets its camera's.
    EXPECT_EQ(second.iptc().dateTime, QDateTime(QDate(2008, 5, 30), QTime(15, 56, 1)));
    EXPECT_EQ(second.rotation(), 0);
}

TEST(CopyToAllData, ATargetWithoutADateGetsNoTimeOfDay) {
    IptcBlock source;
    source.dateTime = QDateTime(QDate(2020, 1, 1), QTime(10, 0));
    source.RefreshDateTexts();
    source.timeText += QStringLiteral("+0200");
    IptcBlock target;
    copytoall::applyData(target, source, {});
    EXPECT_TRUE(target.dateText.isEmpty());
    EXPECT_TRUE(target.timeText.isEmpty());
    EXPECT_FALSE(target.dateTime.isValid());

    // A dated target keeps its own zone suffix, not the source's.
    IptcBlock dated;
    dated.dateText = QStringLiteral("20110505");
    dated.timeText = QStringLiteral("070000-0500");
    dated.dateTime = QDateTime(QDate(2011, 5, 5), QTime(7, 0));
    copytoall::applyData(dated, source, {});
    dated.RefreshDateTexts();
    EXPECT_EQ(dated.timeText, QStringLiteral("070000-0500"));
}

TEST_F(CopyToAllTest, EachCatalogTakesTheNewDataAsACreateWouldWriteIt) {
    copytoall::Report report = copytoall::writeAll(source_->iptc(), targets(), copytoall::Choice{});
    ASSERT_EQ(report.changes.size(), size_t(report.written));
    copytoall::updateCatalogs(report);
    EXPECT_TRUE(report.catalogs.isEmpty());

    for (const QString& folder : {folderA_, folderB_}) {
        const QByteArray updated = testsupport::readAll(folder + "/Snaplore.sidx");
        ASSERT_TRUE(Catalog().create(folder, false).ok());
        EXPECT_EQ(updated, testsupport::readAll(folder + "/Snaplore.sidx")) << folder.toStdString();
    }
    Catalog catalog;
    ASSERT_TRUE(catalog.load(folderB_));
    bool seen = false;
    for (const auto& entry : catalog.pictures()) {
        if (entry->fileName() != QStringLiteral("second.jpg")) continue;
        seen = true;
        EXPECT_EQ(entry->iptc().caption, QStringLiteral("Source caption"));
    }
    EXPECT_TRUE(seen);
}

TEST(CopyToAllMessage, LongListsAreCut) {
    copytoall::Report report;
    for (int i = 0; i < 25; ++i) report.pictures.append({QStringLiteral("/p/%1.jpg").arg(i), QStringLiteral("why")});
    const QString message = copytoall::failureMessage(report, 20);
    EXPECT_TRUE(message.startsWith(QStringLiteral("25 of the pictures could not be written:")));
    EXPECT_TRUE(message.contains(QStringLiteral("19.jpg")));
    EXPECT_FALSE(message.contains(QStringLiteral("20.jpg")));
    EXPECT_TRUE(message.endsWith(QStringLiteral("... and 5 more")));
    EXPECT_TRUE(copytoall::failureMessage(copytoall::Report{}).isEmpty());
}

// ---- The dialog ----

namespace {

// The frame's side: a save that may fail or replace the open picture's entry record, as the
// browser's refresh after a save does, and the entries by path.
struct FakeFrame {
    std::map<QString, std::unique_ptr<PictureRecord>> entries;
    PictureRecord* open = nullptr;
    bool saveSucceeds = true;
    int saves = 0;
    int refreshes = 0;
    std::vector<PictureChanges> handedToCatalogs;

    CCopyToAllDlg::Hooks hooks() {
        CCopyToAllDlg::Hooks h;
        h.savePicture = [this] {
            ++saves;
            if (!saveSucceeds) return false;
            auto& entry = entries[open->filePath()];
            entry = std::make_unique<PictureRecord>(open->filePath());
            return true;
        };
        h.source = [this]() -> const IptcBlock* { return &open->iptc(); };
        h.picture = [this](const QString& path) -> PictureRecord* {
            const auto it = entries.find(path);
            return it == entries.end() ? nullptr : it->second.get();
        };
        h.refreshBrowser = [this] { ++refreshes; };
        h.catalogs = [this](const PictureChanges& changes) { handedToCatalogs.push_back(changes); };
        return h;
    }
};

}  // namespace

TEST_F(CopyToAllTest, DialogAsksSavesCopiesAndReports) {
    FakeFrame frame;
    frame.open = source_.get();
    for (PictureRecord* p : targets()) frame.entries[p->filePath()] = reread(*p);
    ScriptedPrompter prompter;
    CCopyToAllDlg dialog(prompter, frame.hooks());

    // The start ticks: only the event.
    EXPECT_TRUE(dialog.eventBox()->isChecked());
    EXPECT_FALSE(dialog.headlineBox()->isChecked() || dialog.peopleBox()->isChecked() ||
                 dialog.ratingBox()->isChecked());
    EXPECT_EQ(dialog.ratingBox()->text(), QStringLiteral("Quality (1-5)"));
    EXPECT_TRUE(dialog.captionBox()->isChecked() && dialog.placeBox()->isChecked());

    // No: closed without saving, the targets forgotten.
    for (PictureRecord* p : targets()) dialog.addTarget(p->filePath());
    prompter.answer(id::No);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(frame.saves, 0);
    EXPECT_TRUE(dialog.targets().isEmpty());
    ASSERT_EQ(prompter.asked().size(), 1);
    // The source's by-line goes too, as the form does not show it: the question names it.
    EXPECT_EQ(prompter.asked()[0].text,
              QStringLiteral("Copy the event, caption, location, city, state, country and by-line of this picture "
                             "to all 4 pictures? Their own values are replaced."));
    EXPECT_EQ(prompter.asked()[0].caption, QStringLiteral("Copy Event?"));
    EXPECT_EQ(prompter.asked()[0].flags, mb::YesNoCancel | mb::IconQuestion);

    // Cancel leaves the ticks as they were.
    dialog.peopleBox()->setChecked(true);
    dialog.reject();
    EXPECT_FALSE(dialog.choice().people);

    // Yes: the save first, then every target through its entry as it is after the save.
    for (PictureRecord* p : targets()) dialog.addTarget(p->filePath());
    dialog.headlineBox()->setChecked(true);
    prompter.answer(id::Yes).answer(id::Ok);
    dialog.accept();
    EXPECT_TRUE(prompter.exhausted());
    EXPECT_EQ(frame.saves, 1);
    EXPECT_EQ(frame.refreshes, 1);
    EXPECT_TRUE(dialog.choice().headline);
    EXPECT_EQ(dialog.progressBar()->value(), 4);
    EXPECT_EQ(dialog.lastReport().written, 3);
    PictureRecord* second = frame.entries[second_->filePath()].get();
    EXPECT_EQ(second->iptc().headline, QStringLiteral("Source headline"));
    EXPECT_EQ(PictureRecord(second_->filePath()).iptc().headline, QStringLiteral("Source headline"));
    ASSERT_EQ(frame.handedToCatalogs.size(), 1u);
    EXPECT_EQ(frame.handedToCatalogs[0].size(), 3u);
    // The read-only picture is named in one message at the end.
    ASSERT_EQ(prompter.asked().size(), 3);
    EXPECT_EQ(prompter.asked()[2].caption, QStringLiteral("Error!"));
    EXPECT_TRUE(prompter.asked()[2].text.contains(QStringLiteral("locked.jpg")));
    EXPECT_TRUE(dialog.targets().isEmpty());
}

TEST_F(CopyToAllTest, DialogCopiesNothingWhenTheSaveFails) {
    FakeFrame frame;
    frame.open = source_.get();
    frame.saveSucceeds = false;
    frame.entries[second_->filePath()] = reread(*second_);
    const QByteArray bytes = testsupport::readAll(second_->filePath());
    ScriptedPrompter prompter;
    CCopyToAllDlg dialog(prompter, frame.hooks());
    dialog.addTarget(second_->filePath());
    prompter.answer(id::Yes);
    dialog.accept();
    EXPECT_EQ(frame.saves, 1);
    EXPECT_EQ(frame.refreshes, 0);
    EXPECT_EQ(testsupport::readAll(second_->filePath()), bytes);
    EXPECT_TRUE(dialog.targets().isEmpty());
    EXPECT_TRUE(prompter.exhausted());
}

TEST_F(CopyToAllTest, DialogLeavesCaptionAndPlaceWhenUntickedAndCopiesNothingWithNothingTicked) {
    FakeFrame frame;
    frame.open = second_.get();  // holds no field the form does not show
    frame.entries[first_->filePath()] = reread(*first_);
    const IptcBlock before = first_->iptc();
    ScriptedPrompter prompter;
    CCopyToAllDlg dialog(prompter, frame.hooks());

    // Nothing ticked and nothing hidden to give: said, and neither the save nor a write happens.
    for (QCheckBox* box : {dialog.eventBox(), dialog.captionBox(), dialog.placeBox()}) box->setChecked(false);
    dialog.addTarget(first_->filePath());
    prompter.answer(id::Ok);
    dialog.accept();
    EXPECT_EQ(frame.saves, 0);
    ASSERT_EQ(prompter.asked().size(), 1);
    EXPECT_TRUE(prompter.asked()[0].text.startsWith(QStringLiteral("Nothing would be copied")));

    dialog.headlineBox()->setChecked(true);
    dialog.addTarget(first_->filePath());
    prompter.answer(id::Yes);
    dialog.accept();
    EXPECT_EQ(prompter.asked()[1].text, QStringLiteral("Copy the headline of this picture to all 1 pictures? Their "
                                                       "own values are replaced."));
    const IptcBlock got = PictureRecord(first_->filePath()).iptc();
    EXPECT_EQ(got.headline, QStringLiteral("Second headline"));
    EXPECT_EQ(got.caption, before.caption);
    EXPECT_EQ(got.city, before.city);
    EXPECT_EQ(got.credit, before.credit);
    EXPECT_FALSE(dialog.choice().caption || dialog.choice().place);
}
