// The Save As dialog in its four modes, on pictures handed over as the frame hands them: the Pictures
// list and its counts, the choosers, a save into a folder with the overwrite answers, the empty path,
// and Send Email up to the mail program (a recording stand-in for xdg-email).
#include "filesaveasdlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <memory>

#include "fakeframe.h"
#include "saveascommand.h"
#include "testsupport.h"

namespace {

const QString kBeach = QStringLiteral("07/01/2024-->07/02/2024:::Beach");

// Three copies of a camera picture: a.jpg and b.jpg of the event Beach, c.jpg of none; a.jpg is
// flagged. The frame's entry list holds them in that order.
class SaveAsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString name : {"a.jpg", "b.jpg", "c.jpg"}) {
            const QString path = box_.copy(testsupport::dataPath("Canon_40D.jpg"), name);
            pictures_.push_back(std::make_unique<PictureRecord>(path));
        }
        pictures_[0]->iptc().event = kBeach;
        pictures_[1]->iptc().event = kBeach;
        for (size_t i = 0; i < pictures_.size(); ++i) {
            OutputEntry entry;
            entry.kind = OutputEntry::Kind::Picture;
            entry.picture = pictures_[i].get();
            entry.fileName = pictures_[i]->fileName();
            entry.path = pictures_[i]->filePath();
            entry.flagged = i == 0;
            frame_.entryList_.list.append(entry);
        }
    }

    // A dialog of `mode` as the frame opens it on a.jpg.
    std::unique_ptr<CFileSaveAsDlg> open(SaveAsMode mode, bool searchResults = false) {
        auto dialog = std::unique_ptr<CFileSaveAsDlg>(saveascommand::create(mode, frame_, box_.filePath("tmp"), nullptr));
        if (mode != SaveAsMode::DragAndDrop) {
            dialog->setCurrentPicture(pictures_[0].get());
            dialog->setEntries(frame_.entryList_.list, searchResults);
        }
        dialog->prepare();
        return dialog;
    }

    template <class T>
    static T* control(CFileSaveAsDlg& dialog, const char* name) {
        T* widget = dialog.findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    static QStringList listTexts(CFileSaveAsDlg& dialog) {
        QStringList texts;
        auto* list = control<QComboBox>(dialog, "pictures");
        for (int i = 0; i < list->count(); ++i) texts.append(list->itemText(i));
        return texts;
    }
    static void choose(CFileSaveAsDlg& dialog, const QString& text) {
        auto* list = control<QComboBox>(dialog, "pictures");
        const int index = list->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        list->setCurrentIndex(index);
    }

    QString event() const { return pictures_[0]->iptc().EventTitle() + " (Event)"; }

    testsupport::SandBox box_;
    FakeFrame frame_{box_.filePath("settings.ini")};
    std::vector<std::unique_ptr<PictureRecord>> pictures_;
};

}  // namespace

TEST_F(SaveAsDialogTest, EachModeHasItsTitleButtonDefaultsAndEnabledControls) {
    struct Case {
        SaveAsMode mode;
        const char* title;
        const char* ok;
        bool listEnabled, pathEnabled, cropped;
        const char* icon;  // the dialog's own picture, or none
        int size;
        const char* selected;
    };
    const Case cases[] = {
        {SaveAsMode::SaveAs, "File Save As", "Save", true, true, true, "", 0, "a.jpg (Picture)"},
        {SaveAsMode::BurnCd, "Select Pictures to Burn to CD", "Burn CD", true, false, false, ":/output/cd.png", 0,
         "Flagged Pictues"},
        {SaveAsMode::SendEmail, "Select Pictures to Send to Email", "Send Email", true, false, true, ":/output/email.png", 7,
         "Flagged Pictues"},
        {SaveAsMode::DragAndDrop, "Drag and Drop Options", "Save", false, false, false, "", 0,
         "Drag and Drop Pictures"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        auto dialog = open(c.mode);
        EXPECT_EQ(dialog->windowTitle(), c.title);
        EXPECT_EQ(control<QPushButton>(*dialog, "ok")->text(), c.ok);
        EXPECT_EQ(control<QComboBox>(*dialog, "pictures")->isEnabled(), c.listEnabled);
        EXPECT_EQ(control<QLineEdit>(*dialog, "saveAsPath")->isEnabled(), c.pathEnabled);
        EXPECT_EQ(control<QPushButton>(*dialog, "browse")->isEnabled(), c.pathEnabled);
        EXPECT_EQ(control<QCheckBox>(*dialog, "saveCropped")->isChecked(), c.cropped);
        const QIcon own = *c.icon ? QIcon(c.icon) : QApplication::windowIcon();
        EXPECT_EQ(dialog->windowIcon().pixmap(16).toImage(), own.pixmap(16).toImage());
        EXPECT_EQ(control<QComboBox>(*dialog, "pictureSize")->currentIndex(), c.size);
        EXPECT_EQ(dialog->selectionText(), c.selected);
        EXPECT_FALSE(control<QCheckBox>(*dialog, "overlayDateTime")->isEnabled());
        EXPECT_FALSE(control<QCheckBox>(*dialog, "keepPictureData")->isChecked());
        EXPECT_TRUE(control<QCheckBox>(*dialog, "originalDateTime")->isChecked());
        auto* quality = control<QSlider>(*dialog, "quality");
        EXPECT_EQ(quality->value(), 75);
        EXPECT_EQ(quality->tickInterval(), 10);
        EXPECT_EQ(quality->pageStep(), 10);
        EXPECT_EQ(control<QLabel>(*dialog, "qualityNumber")->text(), "75");
    }
    // The drag options size every picture on its own; the others show the current picture's output.
    EXPECT_EQ(open(SaveAsMode::DragAndDrop)->outputSizeText(), "? x ?");
    EXPECT_EQ(open(SaveAsMode::DragAndDrop)->pictureCount(), 0);
    EXPECT_EQ(open(SaveAsMode::SendEmail)->outputSizeText(), "639 x 435");
    auto dialog = open(SaveAsMode::SaveAs);
    EXPECT_EQ(dialog->outputSizeText(), "100 x 68");  // Canon_40D.jpg is 100 x 68
    control<QComboBox>(*dialog, "pictureSize")->setCurrentIndex(1);
    control<QComboBox>(*dialog, "pictureRatio")->setCurrentIndex(1);
    EXPECT_EQ(dialog->outputSizeText(), "2879 x 2215");
    control<QSlider>(*dialog, "quality")->setValue(40);
    EXPECT_EQ(control<QLabel>(*dialog, "qualityNumber")->text(), "40");
}

TEST_F(SaveAsDialogTest, OptionsLastBetweenOpeningsAndCancelDropsTheChanges) {
    auto dialog = open(SaveAsMode::SaveAs);
    control<QComboBox>(*dialog, "pictureSize")->setCurrentIndex(6);
    control<QCheckBox>(*dialog, "appendInfo")->setChecked(true);
    control<QLineEdit>(*dialog, "saveAsPath")->setText(box_.filePath("out/"));
    dialog->setResult(0);
    // Save keeps the options: here the current picture goes into a folder that is made for it.
    dialog->accept();
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    dialog->prepare();
    EXPECT_EQ(control<QComboBox>(*dialog, "pictureSize")->currentIndex(), 6);
    EXPECT_TRUE(control<QCheckBox>(*dialog, "appendInfo")->isChecked());
    EXPECT_EQ(control<QLineEdit>(*dialog, "saveAsPath")->text(), box_.filePath("out/"));

    control<QComboBox>(*dialog, "pictureSize")->setCurrentIndex(2);
    control<QCheckBox>(*dialog, "appendInfo")->setChecked(false);
    dialog->reject();
    EXPECT_EQ(dialog->options().pictureSize, 6);
    EXPECT_TRUE(dialog->options().appendInfo);
}

TEST_F(SaveAsDialogTest, PicturesListAndCountsFollowFlagsAndSearchResults) {
    struct Case {
        const char* name;
        bool flagA, search, shownC;
        QStringList texts;  // with "#" for the event entry
        QList<int> counts;
    };
    const Case cases[] = {
        {"flagged", true, false, true, {"a.jpg (Picture)", "Flagged Pictues", "#", "Entire Catalog"}, {1, 1, 2, 3}},
        {"no flags", false, false, true, {"a.jpg (Picture)", "#", "Entire Catalog"}, {1, 2, 3}},
        // A search shows only a and b: its results stand where the event was; the catalog is every picture.
        {"search", false, true, false, {"a.jpg (Picture)", "Search Results", "Entire Catalog"}, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frame_.entryList_.list[0].flagged = c.flagA;
        frame_.entryList_.list[2].shown = c.shownC;
        auto dialog = open(SaveAsMode::SaveAs, c.search);
        QStringList expected = c.texts;
        expected.replaceInStrings("#", event());
        ASSERT_EQ(listTexts(*dialog), expected);
        for (int i = 0; i < expected.size(); ++i) {
            choose(*dialog, expected[i]);
            EXPECT_EQ(dialog->pictureCount(), c.counts[i]) << expected[i].toStdString();
            EXPECT_EQ(control<QLabel>(*dialog, "count")->text(), QString::number(c.counts[i]));
            EXPECT_EQ(control<QProgressBar>(*dialog, "progress")->maximum(), c.counts[i]);
            EXPECT_EQ(dialog->singlePicture(), i == 0);
        }
    }
}

TEST_F(SaveAsDialogTest, BrowseAsksForAFileForOnePictureAndAFolderForSeveral) {
    auto dialog = open(SaveAsMode::SaveAs);
    auto* path = control<QLineEdit>(*dialog, "saveAsPath");
    auto* browse = control<QPushButton>(*dialog, "browse");
    path->setText(box_.path());
    frame_.prompter_.answerPath(box_.filePath("copy"));
    browse->click();
    ASSERT_EQ(frame_.prompter_.asked().size(), 1);
    EXPECT_EQ(frame_.prompter_.asked()[0].kind, ScriptedPrompter::Kind::SaveFile);
    EXPECT_EQ(frame_.prompter_.asked()[0].dir, box_.filePath("a.jpg"));
    EXPECT_EQ(frame_.prompter_.asked()[0].filter, "JPG Files (*.jpg)|*.jpg|All Files (*.*)|*.*||");
    EXPECT_EQ(path->text(), box_.filePath("copy.jpg"));  // the default extension
    EXPECT_EQ(path->cursorPosition(), path->text().size());

    choose(*dialog, "Entire Catalog");
    frame_.prompter_.answerPath(box_.path()).answerPath(box_.filePath("a.jpg")).answer(id::Ok);
    browse->click();
    EXPECT_EQ(frame_.prompter_.asked()[1].kind, ScriptedPrompter::Kind::Directory);
    EXPECT_EQ(frame_.prompter_.asked()[1].caption, "Open Directory");
    EXPECT_EQ(path->text(), box_.path() + "/");
    browse->click();  // a path that is no folder
    EXPECT_EQ(frame_.prompter_.askedTexts().last(), "Failed to get Directory");
    EXPECT_EQ(path->text(), box_.path() + "/");
}

TEST_F(SaveAsDialogTest, SavesSeveralIntoAFolderWithTheOverwriteAnswers) {
    const QString out = box_.filePath("out");
    QDir().mkpath(out);
    ASSERT_TRUE(testsupport::writeAll(out + "/a.jpg", "old a"));
    ASSERT_TRUE(testsupport::writeAll(out + "/b.jpg", "old b"));
    ASSERT_TRUE(testsupport::writeAll(out + "/c.jpg", "old c"));
    auto dialog = open(SaveAsMode::SaveAs);
    choose(*dialog, "Entire Catalog");
    control<QComboBox>(*dialog, "pictureSize")->setCurrentIndex(8);  // Thumbnail
    control<QLineEdit>(*dialog, "saveAsPath")->setText(out);
    frame_.prompter_.answer(id::No).answer(id::YesToAll);
    dialog->accept();

    ASSERT_EQ(frame_.prompter_.asked().size(), 2);  // c.jpg is replaced without a question
    EXPECT_EQ(frame_.prompter_.asked()[0].text, out + "/a.jpg already exists.\nDo you want to replace it?");
    EXPECT_EQ(frame_.prompter_.asked()[0].caption, "Save As");
    EXPECT_EQ(testsupport::readAll(out + "/a.jpg"), "old a");
    for (const QString name : {"b.jpg", "c.jpg"}) {
        QImageReader reader(out + "/" + name);
        EXPECT_EQ(reader.size(), QSize(160, 108)) << name.toStdString();
    }
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(control<QProgressBar>(*dialog, "progress")->value(), 3);
    EXPECT_EQ(dialog->options().saveAsPath, out);  // a folder stays as it was
    EXPECT_TRUE(frame_.statusMarked().contains("Creating image 2 of 3...*"));  // the declined a.jpg made none
    EXPECT_EQ(frame_.statusTexts().last(), "Ready");
}

TEST_F(SaveAsDialogTest, AnEmptyPathIsToldAndTheDialogStaysOpen) {
    auto dialog = open(SaveAsMode::SaveAs);
    choose(*dialog, "Entire Catalog");
    dialog->setResult(-1);
    frame_.prompter_.answer(id::Ok);
    dialog->accept();
    ASSERT_EQ(frame_.prompter_.asked().size(), 1);
    EXPECT_TRUE(frame_.prompter_.asked()[0].text.startsWith("No file or folder was given"));
    EXPECT_EQ(dialog->result(), -1);  // not closed
    EXPECT_TRUE(QDir(box_.path()).entryList({"*_2.jpg"}).isEmpty());
}

TEST_F(SaveAsDialogTest, SendEmailHandsTheCopiesToTheMailProgramAndNamesAPictureThatFailed) {
    // A stand-in for xdg-email, first in PATH, that writes down its arguments.
    const QString bin = box_.filePath("bin");
    const QString record = box_.filePath("xdg-email.args");
    QDir().mkpath(bin);
    ASSERT_TRUE(testsupport::writeAll(bin + "/xdg-email",
                                      QString("#!/bin/sh\nprintf '%s\\0' \"$@\" > '%1'\n").arg(record).toUtf8()));
    QFile::setPermissions(bin + "/xdg-email", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ":" + oldPath);
    struct RestorePath {
        QByteArray value;
        ~RestorePath() { qputenv("PATH", value); }
    } restore{oldPath};

    QFile::remove(pictures_[1]->filePath());  // b.jpg went away after the browser read it
    auto dialog = open(SaveAsMode::SendEmail);
    choose(*dialog, event());
    frame_.prompter_.answer(id::Ok);  // the report of what could not be made
    dialog->accept();

    ASSERT_EQ(frame_.prompter_.asked().size(), 1);
    EXPECT_TRUE(frame_.prompter_.asked()[0].text.contains("b.jpg")) << frame_.prompter_.asked()[0].text.toStdString();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    QStringList args = QString::fromUtf8(testsupport::readAll(record)).split(QChar(0));
    ASSERT_FALSE(args.isEmpty());
    args.removeLast();  // after the last NUL
    const QString attachment = QDir(box_.filePath("tmp")).filePath("a.jpg");
    ASSERT_EQ(args.size(), 7) << args.join("|").toStdString();
    EXPECT_EQ(args.mid(0, 3), QStringList({"--utf8", "--subject", event()}));
    EXPECT_EQ(args[3], "--body");
    EXPECT_TRUE(args[4].startsWith("\n\n1 Picture\n~")) << args[4].toStdString();
    EXPECT_EQ(args.mid(5), QStringList({"--attach", attachment}));
    EXPECT_EQ(QImageReader(attachment).size(), QSize(639, 435));  // the ".5mp" copy
    // The wait cursor while the mail is made, then a text that does not claim the mail was sent.
    const QStringList statuses = frame_.statusMarked();
    EXPECT_TRUE(statuses.contains("Creating email...*"));
    EXPECT_EQ(statuses.last(), "The message with 1 picture is in your mail program, not sent yet");
    EXPECT_EQ(dialog->options().saveAsPath, "");
}

// Without a mail program the rendered copies are not lost: the user is told what to set up and saves
// them into a folder of his choice, where names already taken get "_2".
TEST_F(SaveAsDialogTest, SendEmailWithoutAMailProgramSavesTheCopiesWhereTheUserWants) {
    // xdg-email as it ends when no program takes mailto: links.
    const QString bin = box_.filePath("bin");
    QDir().mkpath(bin);
    ASSERT_TRUE(testsupport::writeAll(bin + "/xdg-email", "#!/bin/sh\necho 'xdg-email: no method available' >&2\nexit 3\n"));
    QFile::setPermissions(bin + "/xdg-email", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ":" + oldPath);
    struct RestorePath {
        QByteArray value;
        ~RestorePath() { qputenv("PATH", value); }
    } restore{oldPath};
    const QString kept = box_.filePath("kept");
    QDir().mkpath(kept);
    ASSERT_TRUE(testsupport::writeAll(kept + "/a.jpg", "an older a.jpg"));

    auto dialog = open(SaveAsMode::SendEmail);
    choose(*dialog, event());
    frame_.prompter_.answer(id::Yes).answerPath(kept);
    dialog->accept();

    ASSERT_EQ(frame_.prompter_.asked().size(), 2);
    const QString told = frame_.prompter_.asked()[0].text;
    EXPECT_TRUE(told.contains("No mail program is set up")) << told.toStdString();
    EXPECT_TRUE(told.contains("The 2 pictures made for the message are kept.")) << told.toStdString();
    EXPECT_EQ(testsupport::readAll(kept + "/a.jpg"), "an older a.jpg");
    // The ".5mp" copies, as they were made for the message.
    EXPECT_EQ(QImageReader(kept + "/a_2.jpg").size(), QSize(639, 435));
    EXPECT_EQ(QImageReader(kept + "/b.jpg").size(), QSize(639, 435));
    EXPECT_TRUE(QFileInfo::exists(QDir(box_.filePath("tmp")).filePath("a.jpg")));
    EXPECT_EQ(frame_.statusTexts().last(), "2 pictures saved in " + QDir::toNativeSeparators(kept));
}

// A run disables the button that was clicked; the focus must not be left on Cancel, or Enter on the
// next opening would cancel instead of saving.
TEST_F(SaveAsDialogTest, EnterSavesAgainOnTheNextOpening) {
    const QString out = box_.filePath("out");
    QDir().mkpath(out);
    auto dialog = open(SaveAsMode::SaveAs);
    choose(*dialog, "Entire Catalog");
    control<QComboBox>(*dialog, "pictureSize")->setCurrentIndex(8);  // Thumbnail
    control<QLineEdit>(*dialog, "saveAsPath")->setText(out);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QTest::mouseClick(control<QPushButton>(*dialog, "ok"), Qt::LeftButton);
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_TRUE(QFileInfo::exists(out + "/c.jpg"));

    QFile::remove(out + "/c.jpg");
    dialog->prepare();
    choose(*dialog, "Entire Catalog");
    dialog->setResult(-1);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    EXPECT_EQ(QApplication::focusWidget(), control<QComboBox>(*dialog, "pictures"));
    frame_.prompter_.answer(id::YesToAll);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(QFileInfo::exists(out + "/c.jpg"));
}
