// The four commands of the Save As dialog in the main window: the instances the frame keeps, what it
// hands them, the missing file, Burn CD's enabling, and what a drag hands over with the Drag and
// Drop options.
#include "mainframe.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>

#include "../ui/uitesthelpers.h"
#include "catalog.h"
#include "commandtable.h"
#include "filebrowserview.h"
#include "filesaveasdlg.h"
#include "picturedrag.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "testsupport.h"

namespace {

constexpr int kLoadMs = 20000;

class SaveAsCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = box_.filePath("pictures");
        QDir().mkpath(folder_);
        for (const QString name : {"a.jpg", "b.jpg"})
            QFile::copy(testsupport::dataPath("iptc_no_date_camera_date.jpg"), folder_ + "/" + name);
        frame_ = std::make_unique<CMainFrame>(store_, prompter_, box_.filePath("tmp"));
        frame_->show();
        QSignalSpy loaded(frame_->browser(), &CFileBrowserView::loadFinished);
        frame_->OpenFolder(folder_);
        ASSERT_TRUE(loaded.wait(kLoadMs) || !loaded.isEmpty());
        ASSERT_TRUE(frame_->document().OpenPictureFile(path("a.jpg")));
        frame_->updateActions();
    }

    QString path(const QString& name) const { return folder_ + "/" + name; }
    template <class T>
    static T* control(QWidget* dialog, const char* name) {
        T* widget = dialog->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    testsupport::SandBox box_;
    SettingsStore store_{box_.filePath("settings.ini")};
    ScriptedPrompter prompter_;
    QString folder_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace

TEST_F(SaveAsCommandsTest, SaveAsRunsTheFramesOwnInstanceOverTheBrowsersPictures) {
    EXPECT_TRUE(frame_->action(cmd::SaveAs)->isEnabled());
    EXPECT_TRUE(frame_->action(cmd::SendEmail)->isEnabled());
    EXPECT_TRUE(frame_->action(cmd::DragDropOptions)->isEnabled());
    EXPECT_TRUE(frame_->action(cmd::BurnCd)->isEnabled());  // without a writer it still makes an image

    const QString out = box_.filePath("out/");
    uitest::onModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "File Save As");
        auto* list = control<QComboBox>(dialog, "pictures");
        EXPECT_EQ(list->itemText(0), "a.jpg (Picture)");
        list->setCurrentIndex(list->findText("Entire Catalog"));
        control<QComboBox>(dialog, "pictureSize")->setCurrentIndex(7);  // .5mp
        control<QLineEdit>(dialog, "saveAsPath")->setText(out);
        control<QPushButton>(dialog, "ok")->click();
    });
    frame_->action(cmd::SaveAs)->trigger();
    for (const QString name : {"a.jpg", "b.jpg"})
        EXPECT_EQ(QImageReader(out + name).size(), QSize(640, 480)) << name.toStdString();

    // The instance remembers its options; the other instances keep theirs.
    uitest::onModal([&](QWidget* dialog) {
        EXPECT_EQ(control<QComboBox>(dialog, "pictureSize")->currentIndex(), 7);
        EXPECT_EQ(control<QLineEdit>(dialog, "saveAsPath")->text(), out);
        static_cast<QDialog*>(dialog)->reject();
    });
    frame_->action(cmd::SaveAs)->trigger();
    EXPECT_EQ(frame_->saveAsDialog(SaveAsMode::DragAndDrop)->options().pictureSize, 0);
    EXPECT_TRUE(prompter_.asked().isEmpty());
}

TEST_F(SaveAsCommandsTest, APictureWhoseFileIsGoneIsNotOffered) {
    ASSERT_TRUE(QFile::remove(path("a.jpg")));
    uitest::NoModalGuard guard;
    prompter_.answer(id::Ok);
    frame_->saveAs(SaveAsMode::SaveAs);
    ASSERT_EQ(prompter_.asked().size(), 1);
    EXPECT_EQ(prompter_.asked()[0].text, "Cannot save file.  File does not exist.");
    EXPECT_EQ(prompter_.asked()[0].caption, "Error!");
    EXPECT_EQ(prompter_.asked()[0].flags, mb::Ok | mb::IconExclamation);
    frame_->updateActions();
    EXPECT_FALSE(frame_->action(cmd::SaveAs)->isEnabled());
    EXPECT_FALSE(frame_->action(cmd::SendEmail)->isEnabled());
}

TEST_F(SaveAsCommandsTest, ADragHandsOverTheFileOrACopyMadeWithTheDragOptions) {
    PictureRecord picture(path("a.jpg"));
    // The options as they start: the file itself.
    std::unique_ptr<PictureDragData> plain(frame_->pictureDragData(picture));
    EXPECT_EQ(plain->urls(), QList<QUrl>{QUrl::fromLocalFile(path("a.jpg"))});

    uitest::onModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Drag and Drop Options");
        control<QComboBox>(dialog, "pictureSize")->setCurrentIndex(8);  // Thumbnail
        control<QPushButton>(dialog, "ok")->click();
    });
    frame_->action(cmd::DragDropOptions)->trigger();

    std::unique_ptr<PictureDragData> copy(frame_->pictureDragData(picture));
    const QString rendered = PictureDragData::renderedCopyPath(box_.filePath("tmp"), path("a.jpg"), copy->dragCount() + 1);
    EXPECT_EQ(copy->urls(), QList<QUrl>{QUrl::fromLocalFile(rendered)});
    EXPECT_EQ(QImageReader(rendered).size(), QSize(160, 120));
    EXPECT_EQ(frame_->saveAsDialog(SaveAsMode::DragAndDrop)->options().currentPicture(), nullptr);

    // A picture that cannot be rendered gives the drop nothing, and the user is told afterwards.
    ASSERT_TRUE(QFile::remove(path("b.jpg")));
    PictureRecord gone;
    gone.setFilePath(path("b.jpg"));
    gone.setFileName("b.jpg");
    std::unique_ptr<PictureDragData> failed(frame_->pictureDragData(gone));
    prompter_.answer(id::Ok);
    EXPECT_TRUE(failed->urls().isEmpty());
    ASSERT_TRUE(uitest::waitFor([&] { return !prompter_.asked().isEmpty(); }));
    EXPECT_EQ(prompter_.asked()[0].caption, "Error!");
    EXPECT_TRUE(prompter_.asked()[0].text.contains("b.jpg")) << prompter_.asked()[0].text.toStdString();
}

TEST_F(SaveAsCommandsTest, AFolderStillBeingReadIsReadBeforeTheDialogTakesItsPictures) {
    const QString other = box_.filePath("other");
    QDir().mkpath(other);
    for (const QString name : {"x.jpg", "y.jpg", "z.jpg"})
        QFile::copy(testsupport::dataPath("Canon_40D.jpg"), other + "/" + name);
    frame_->OpenFolder(other);  // the browser reads it once control returns to the event loop
    ASSERT_TRUE(frame_->document().OpenPictureFile(other + "/y.jpg"));
    int count = -1;
    uitest::onModal([&](QWidget* dialog) {
        auto* list = control<QComboBox>(dialog, "pictures");
        list->setCurrentIndex(list->findText("Entire Catalog"));
        count = static_cast<CFileSaveAsDlg*>(dialog)->pictureCount();
        static_cast<QDialog*>(dialog)->reject();
    });
    frame_->saveAs(SaveAsMode::SaveAs);
    EXPECT_EQ(count, 3);
}

// A folder whose catalog did not load whole: told once when it opens, and again by each output made
// from it, before its dialog.
TEST_F(SaveAsCommandsTest, AnOutputOfAFolderWhoseCatalogDidNotLoadWholeSaysSo) {
    ASSERT_TRUE(Catalog().create(folder_, true).ok());
    QByteArray catalog = testsupport::readAll(path("Snaplore.sidx"));
    catalog[50] = char(catalog[50] + 1);  // one entry more than the file holds
    ASSERT_TRUE(testsupport::writeAll(path("Snaplore.sidx"), catalog));
    prompter_.answer(id::Ok).answer(id::Ok);
    QSignalSpy loaded(frame_->browser(), &CFileBrowserView::loadFinished);
    frame_->OpenFolder(folder_);
    ASSERT_TRUE(loaded.wait(kLoadMs) || !loaded.isEmpty());
    ASSERT_EQ(prompter_.asked().size(), 1);
    EXPECT_TRUE(prompter_.asked()[0].text.contains("did not load whole")) << prompter_.asked()[0].text.toStdString();

    ASSERT_TRUE(frame_->document().OpenPictureFile(path("a.jpg")));
    uitest::onModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    frame_->action(cmd::SaveAs)->trigger();
    ASSERT_EQ(prompter_.asked().size(), 2);
    EXPECT_TRUE(prompter_.asked()[1].text.startsWith("The output is made without these pictures"));
    EXPECT_TRUE(prompter_.asked()[1].text.contains(path("Snaplore.sidx")));
    EXPECT_EQ(testsupport::readAll(path("Snaplore.sidx")), catalog);
}
