// The Burn CD instance of the Save As dialog with a stand-in writer: the question about files waiting
// in the staging folder, the CD Burning Options and their lasting choices, the disc written with
// autorun and catalogs, a failed burn, and the image offered when there is no writer.
#include "filesaveasdlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

#include "../ui/uitesthelpers.h"
#include "ccbburndlg.h"
#include "cdburn.h"
#include "cdburncommand.h"
#include "fakeframe.h"
#include "saveascommand.h"
#include "testsupport.h"

namespace {

// What the flow asked of the writer, and what it answers.
struct WriterScript {
    QStringList drives;
    CdWriteResult answer{true, false, {}};
    struct Call {
        QString what, folder, volume, target;
        QStringList staged;  // the folder's entries when the write began
    };
    QList<Call> calls;
};

class FakeCdWriter : public CdWriter {
public:
    explicit FakeCdWriter(WriterScript& script) : script_(script) {}
    QStringList recordableDrives() override { return script_.drives; }
    CdWriteResult burn(const QString& folder, const QString& volume, const QString& device,
                       const CdProgress& progress) override {
        return call("burn", folder, volume, device, progress);
    }
    CdWriteResult writeImage(const QString& folder, const QString& volume, const QString& target,
                             const CdProgress& progress) override {
        return call("image", folder, volume, target, progress);
    }

private:
    CdWriteResult call(const QString& what, const QString& folder, const QString& volume, const QString& target,
                       const CdProgress& progress) {
        progress(50);
        QStringList staged;
        for (QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();)
            staged << QDir(folder).relativeFilePath(it.next());
        staged.sort();
        script_.calls.append({what, folder, volume, target, staged});
        return script_.answer;
    }
    WriterScript& script_;
};

class BurnCdFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString name : {"a.jpg", "b.jpg"}) {  // both taken on 30 May 2008
            const QString path = box_.copy(testsupport::dataPath("Canon_40D.jpg"), name);
            pictures_.push_back(std::make_unique<PictureRecord>(path));
            OutputEntry entry;
            entry.kind = OutputEntry::Kind::Picture;
            entry.picture = pictures_.back().get();
            entry.fileName = name;
            entry.path = path;
            frame_.entryList_.list.append(entry);
        }
        frame_.myDocuments = box_.filePath("documents");
        QDir().mkpath(frame_.myDocuments);
        dialog_.reset(saveascommand::create(SaveAsMode::BurnCd, frame_, box_.filePath("tmp"), nullptr));
        cdburncommand::Setup setup;
        setup.stagingFolder = staging_;
        setup.autorunScript = cdburn::findAutorunScript(QCoreApplication::applicationDirPath());
        setup.writer = [this] { return std::make_unique<FakeCdWriter>(writer_); };
        setup.volumeName = "HOLIDAY";
        cdburncommand::install(*dialog_, frame_, setup);
    }

    // Opens the dialog on a.jpg with every picture chosen and presses "Burn CD"; `options` runs on
    // the CD Burning Options when they come up.
    void burn(std::function<void(CCBBurnDlg*)> options = {}) {
        dialog_->setCurrentPicture(pictures_[0].get());
        dialog_->setEntries(frame_.entryList_.list, false);
        dialog_->prepare();
        auto* list = dialog_->findChild<QComboBox*>("pictures");
        list->setCurrentIndex(list->findText("Entire Catalog"));
        dialog_->setResult(-1);
        if (options) uitest::onModal([options](QWidget* modal) { options(qobject_cast<CCBBurnDlg*>(modal)); });
        dialog_->accept();
    }
    template <class T>
    static T* control(QWidget* dialog, const char* name) {
        T* widget = dialog ? dialog->findChild<T*>(QLatin1String(name)) : nullptr;
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QStringList staged() const {
        QStringList entries;
        for (QDirIterator it(staging_, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();)
            entries << QDir(staging_).relativeFilePath(it.next());
        entries.sort();
        return entries;
    }
    QStringList askedCaptions() const {
        QStringList captions;
        for (const auto& question : frame_.prompter_.asked()) captions << question.caption;
        return captions;
    }

    testsupport::SandBox box_;
    FakeFrame frame_{box_.filePath("settings.ini")};
    QString staging_ = box_.filePath("data/CD Burning");
    std::vector<std::unique_ptr<PictureRecord>> pictures_;
    WriterScript writer_;
    std::unique_ptr<CFileSaveAsDlg> dialog_;
};

}  // namespace

TEST_F(BurnCdFlowTest, CancelOfTheRemoveQuestionKeepsTheDialogOpenAndWritesNothing) {
    ASSERT_TRUE(QDir().mkpath(staging_));
    ASSERT_TRUE(testsupport::writeAll(staging_ + "/waiting.jpg", "x"));
    frame_.prompter_.answer(id::Cancel);
    uitest::NoModalGuard guard;  // no options dialog
    burn();
    ASSERT_EQ(frame_.prompter_.asked().size(), 1);
    const auto& question = frame_.prompter_.asked()[0];
    EXPECT_EQ(question.text, "There are already files to be written to the CD. Do you wish to remove them?");
    EXPECT_EQ(question.caption, "Remove Files?");
    EXPECT_EQ(question.flags, mb::YesNoCancel | mb::IconQuestion);
    EXPECT_EQ(dialog_->result(), -1);
    EXPECT_EQ(staged(), QStringList({"waiting.jpg"}));
    EXPECT_TRUE(writer_.calls.isEmpty());
}

TEST_F(BurnCdFlowTest, TheDiscGetsDatedFoldersAutorunAndTheChoicesLastWhileCancelWritesNothing) {
    writer_.drives = {"/dev/sr0"};
    frame_.prompter_.answer(id::Ok);  // "The CD was written."
    burn([&](CCBBurnDlg* options) {
        ASSERT_NE(options, nullptr);
        EXPECT_EQ(options->windowTitle(), "CD Burning Options");
        EXPECT_TRUE(control<QCheckBox>(options, "addAutorun")->isChecked());
        EXPECT_TRUE(control<QCheckBox>(options, "createCatalogs")->isChecked());
        EXPECT_FALSE(control<QRadioButton>(options, "root")->isChecked());
        EXPECT_TRUE(control<QRadioButton>(options, "datedSubFolders")->isChecked());
        control<QCheckBox>(options, "createCatalogs")->setChecked(false);
        EXPECT_EQ(control<QPushButton>(options, "ok")->text(), "Burn CD");
        control<QPushButton>(options, "ok")->click();
    });
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    ASSERT_EQ(writer_.calls.size(), 1);
    const auto& call = writer_.calls[0];
    EXPECT_EQ(call.what, "burn");
    EXPECT_EQ(call.target, "/dev/sr0");
    EXPECT_EQ(call.volume, "HOLIDAY");
    EXPECT_EQ(call.folder, staging_);
    EXPECT_EQ(call.staged, QStringList({"2008_05_30", "2008_05_30/a.jpg", "2008_05_30/b.jpg", "autorun"}));
    EXPECT_TRUE(QFileInfo(staging_ + "/autorun").isExecutable());
    EXPECT_EQ(frame_.prompter_.asked().last().text, "The CD was written.");

    // The next Burn CD: the files are kept, the options show the last choices, and Cancel stops.
    const QStringList before = staged();
    frame_.prompter_.answer(id::No);
    burn([&](CCBBurnDlg* options) {
        ASSERT_NE(options, nullptr);
        EXPECT_FALSE(control<QCheckBox>(options, "createCatalogs")->isChecked());
        control<QRadioButton>(options, "root")->setChecked(true);
        control<QPushButton>(options, "cancel")->click();
    });
    EXPECT_EQ(dialog_->result(), -1);
    EXPECT_EQ(askedCaptions(), QStringList({"Burn CD", "Remove Files?"}));
    EXPECT_EQ(staged(), before);
    EXPECT_EQ(writer_.calls.size(), 1);
    EXPECT_TRUE(cdburncommand::optionsDialog(*dialog_)->options().datedSubFolders);  // Cancel kept the choice
}

TEST_F(BurnCdFlowTest, AFailedBurnIsToldAndThePicturesStay) {
    writer_.drives = {"/dev/sr1"};
    writer_.answer = {false, false, "Drive is busy"};
    frame_.prompter_.answer(id::Ok);
    burn([&](CCBBurnDlg* options) { control<QPushButton>(options, "ok")->click(); });
    ASSERT_EQ(frame_.prompter_.asked().size(), 1);
    const QString told = frame_.prompter_.asked()[0].text;
    EXPECT_TRUE(told.startsWith("The CD could not be written:\nDrive is busy")) << told.toStdString();
    EXPECT_TRUE(told.contains("The pictures stay in " + staging_)) << told.toStdString();
    EXPECT_EQ(staged(), QStringList({"2008_05_30", "2008_05_30/Snaplore.sidx", "2008_05_30/a.jpg", "2008_05_30/b.jpg",
                                     "Snaplore.sidx", "autorun"}));
}

TEST_F(BurnCdFlowTest, WithoutAWriterTheImageIsOfferedAfterTheOldFilesAreRemoved) {
    ASSERT_TRUE(QDir().mkpath(staging_ + "/old folder"));
    ASSERT_TRUE(testsupport::writeAll(staging_ + "/old folder/old.jpg", "x"));
    const QString image = box_.filePath("documents/holiday");  // no extension: .iso is added
    frame_.prompter_.answer(id::Yes).answer(id::Yes).answerPath(image).answer(id::Ok);
    burn([&](CCBBurnDlg* options) {
        control<QRadioButton>(options, "root")->setChecked(true);
        control<QCheckBox>(options, "addAutorun")->setChecked(false);
        control<QPushButton>(options, "ok")->click();
    });
    EXPECT_EQ(askedCaptions(), QStringList({"Remove Files?", "Burn CD", "Save CD Image", "Burn CD"}));
    const auto& asked = frame_.prompter_.asked();
    EXPECT_TRUE(asked[1].text.startsWith("No CD writer was found.")) << asked[1].text.toStdString();
    EXPECT_EQ(asked[2].kind, ScriptedPrompter::Kind::SaveFile);
    EXPECT_EQ(asked[2].dir, box_.filePath("documents/HOLIDAY.iso"));
    EXPECT_TRUE(asked[2].filter.contains("*.iso"));
    ASSERT_EQ(writer_.calls.size(), 1);
    EXPECT_EQ(writer_.calls[0].what, "image");
    EXPECT_EQ(writer_.calls[0].target, image + ".iso");
    EXPECT_EQ(writer_.calls[0].staged, QStringList({"Snaplore.sidx", "a.jpg", "b.jpg"}));
    EXPECT_EQ(asked[3].text, "The CD image was saved to " + image + ".iso.");
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
}

TEST_F(BurnCdFlowTest, TheImageIsNeverSavedOverAPictureOfTheFolder) {
    const QString link = box_.filePath("documents/disc.iso");
    ASSERT_TRUE(QFile::link(pictures_[1]->filePath(), link));  // the chosen name leads to b.jpg
    const QByteArray before = testsupport::readAll(pictures_[1]->filePath());
    frame_.prompter_.answer(id::Yes).answerPath(link).answer(id::Ok);
    burn([&](CCBBurnDlg* options) { control<QPushButton>(options, "ok")->click(); });
    EXPECT_EQ(askedCaptions(), QStringList({"Burn CD", "Save CD Image", "Burn CD"}));
    const QString told = frame_.prompter_.asked()[2].text;
    EXPECT_TRUE(told.startsWith("The CD image could not be saved:")) << told.toStdString();
    EXPECT_TRUE(told.contains(pictures_[1]->filePath())) << told.toStdString();
    EXPECT_TRUE(writer_.calls.isEmpty());
    EXPECT_EQ(testsupport::readAll(pictures_[1]->filePath()), before);
}
