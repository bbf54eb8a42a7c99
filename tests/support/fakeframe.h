#pragma once
// A FrameContext for widget tests: it owns a scripted prompter, a settings store on the given file
// and a document, records what the views tell the frame, and answers the frame's questions from
// fields a test sets. Views are not created here: a test that needs the browser or the thumbnail
// view makes its own and points browserView or thumbsView at it.

#include <QList>
#include <QString>
#include <QStringList>

#include "browsecontext.h"
#include "entrylistview.h"
#include "picturerecord.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "thumbview.h"

class FakeFrame : public BrowseContext {
public:
    // One setStatusText call.
    struct Status {
        QString text;
        bool busy = false;
    };
    // One setArchiveStrings call.
    struct ArchiveStrings {
        QString cdName;
        QString location;
    };

    explicit FakeFrame(const QString& iniPath) : settings_(iniPath) {}

    CSnaploreDoc& document() override { return document_; }
    Prompter& prompter() override { return prompter_; }
    SettingsStore& settings() override { return settings_; }

    void OpenFolder(const QString& path) override {
        opened.append(path);
        folder = path;
    }
    QString currentFolder() const override { return folder; }
    QString myDocumentsPath() const override { return myDocuments; }
    QString myPicturesPath() const override { return myPictures; }

    void setStatusText(const QString& text, bool busy) override { statuses.append({text, busy}); }
    void setArchiveStrings(const QString& cdName, const QString& location) override {
        archiveStrings.append({cdName, location});
    }
    void createCatalog() override { ++catalogsCreated; }
    void startPictureDrag(PictureRecord& picture, QWidget*) override { dragged.append(picture.filePath()); }

    bool isActiveView(const QWidget* view) const override { return view == active; }
    void setActiveView(QWidget* view) override { active = view; }

    // The strip's questions are answered from the thumbnail view a test points thumbsView at.
    int pictureCount() const override { return thumbsView ? int(thumbsView->list().size()) : 0; }
    int pictureIndex(const PictureRecord* picture, const QString& path) const override {
        if (!thumbsView) return -1;
        const ThumbList& list = thumbsView->list();
        for (int i = 0; i < list.size(); ++i)
            if ((picture && list[i]->picture.get() == picture) || list[i]->path == path) return i;
        return -1;
    }
    const PictureRecord* pictureAt(int index) const override {
        if (!thumbsView || index < 0 || index >= thumbsView->list().size()) return nullptr;
        return thumbsView->list()[index]->picture.get();
    }
    void firstPicture() override {
        if (thumbsView) thumbsView->First();
    }
    void nextPicture() override {
        if (thumbsView) thumbsView->Next();
    }
    void previousPicture() override {
        if (thumbsView) thumbsView->Prev();
    }

    const EntryListView& entryList() const override { return entryList_; }

    CFileBrowserView* browser() override { return browserView; }
    CThumbView* thumbView() override { return thumbsView; }
    void runSaveAs() override { ++saveAsRuns; }
    void runPrint(bool preview) override { (preview ? previewRuns : printRuns)++; }
    bool printEnabled() const override { return canPrint; }

    // The status texts in the order they were set.
    QStringList statusTexts() const {
        QStringList texts;
        for (const Status& status : statuses) texts.append(status.text);
        return texts;
    }
    // The same, with "*" after each text that turned the wait cursor on.
    QStringList statusMarked() const {
        QStringList texts;
        for (const Status& status : statuses) texts.append(status.text + (status.busy ? "*" : ""));
        return texts;
    }

    ScriptedPrompter prompter_;
    SettingsStore settings_;
    CSnaploreDoc document_{prompter_};

    // The entry list a test fills for the outputs.
    struct FakeEntryList : EntryListView {
        QList<OutputEntry> list;
        QList<OutputEntry> entries() const override { return list; }
    } entryList_;

    // What the frame answers.
    QString folder;
    QString myDocuments;
    QString myPictures;
    CFileBrowserView* browserView = nullptr;
    CThumbView* thumbsView = nullptr;
    bool canPrint = true;  // what printEnabled() answers

    // What the frame was told.
    QList<Status> statuses;
    QStringList opened;
    QList<ArchiveStrings> archiveStrings;
    int catalogsCreated = 0;
    QStringList dragged;
    int saveAsRuns = 0;
    int printRuns = 0;
    int previewRuns = 0;
    const QWidget* active = nullptr;
};
