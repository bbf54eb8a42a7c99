#include "snaploreapp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSessionManager>
#include <QTimer>

#include "commandtable.h"
#include "diagnostics.h"
#include "safewrite.h"
#include "mainframe.h"
#include "prompter.h"
#include "settingsstore.h"
#include "singleinstance.h"
#include "splashdlg.h"
#include "terminationwatcher.h"

SnaploreApp::Options SnaploreApp::defaultOptions(const QStringList& arguments) {
    Options options;
    options.arguments = arguments.mid(1);
    options.ownPath = QCoreApplication::applicationFilePath();
    options.instanceName = SingleInstance::defaultName();
    return options;
}

SnaploreApp::SnaploreApp(SettingsStore& store, Prompter& prompter, QObject* parent)
    : QObject(parent), store_(store), prompter_(prompter) {}

SnaploreApp::~SnaploreApp() { setRecoveryWarningHook({}); }

CSplashDlg* SnaploreApp::splash() const { return splash_.data(); }

SnaploreApp::Start SnaploreApp::initInstance(const Options& options) {
    snaplore::setBeepHook([] { QApplication::beep(); });
    // An interrupted rewrite that cannot be finished is told to the user, not only to a terminal.
    setRecoveryWarningHook([this](const QString& text) {
        prompter_.messageBox(text, QStringLiteral("Snaplore"), mb::Ok | mb::IconExclamation);
    });

    const startup::CommandLine line = startup::parseCommandLine(options.arguments);
    lastDirectory_ = startup::lastDirectory(store_);
    const QString programLocation = startup::programLocation(store_, options.ownPath);
    if (!line.folder.isEmpty()) lastDirectory_ = line.folder;

    if (line.cdLaunch) {
        // A start from a CD: a running instance takes over, else the installed copy opens the CD.
        if (SingleInstance::handOver(options.instanceName, options.arguments) == cmd::kPingAnswer)
            return Start::HandedOver;
        // The disc's autorun names the disc's folder; a start from the disc itself has none.
        if (line.folder.isEmpty()) lastDirectory_ = QDir::currentPath();
        const QFileInfo installed(programLocation);
        const bool isThisProgram = installed.canonicalFilePath() == QFileInfo(options.ownPath).canonicalFilePath();
        if (installed.isFile() && !isThisProgram &&
            QProcess::startDetached(installed.absoluteFilePath(), {lastDirectory_}, lastDirectory_))
            return Start::Relaunched;
    }

    temporaryFolder_ = startup::makeTemporaryFolder(options.environment);

    frame_ = std::make_unique<CMainFrame>(store_, prompter_, temporaryFolder_);
    connect(frame_.get(), &CMainFrame::aboutRequested, this, &SnaploreApp::showAbout);
    connect(frame_.get(), &CMainFrame::closed, this, &SnaploreApp::windowClosed);
    termination_ = new TerminationWatcher(this);
    connect(termination_, &TerminationWatcher::terminationRequested, this, &SnaploreApp::terminate);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &SnaploreApp::commitData);
    instance_ = new SingleInstance(
        options.instanceName, [this](const QStringList& arguments) { return answerHandOver(arguments); }, this);
    instance_->listen();

    frame_->show();
    if (options.splash) {
        splash_ = new CSplashDlg(CSplashDlg::Mode::Splash, store_, prompter_, frame_.get());
        splash_->setAttribute(Qt::WA_DeleteOnClose);
        splash_->setDuration(options.splashMs);
        splash_->setShowTips([frame = frame_.get()] { frame->showTips(); });
        splash_->show();
    }
    frame_->OpenFolder(lastDirectory_);
    return Start::Running;
}

quint32 SnaploreApp::answerHandOver(const QStringList& arguments) {
    const quint32 answer = frame_->ping();
    // A disc's autorun names the disc: it is opened once the answer is on its way, and not under a
    // dialog the user is working in.
    const startup::CommandLine line = startup::parseCommandLine(arguments);
    if (line.cdLaunch && !line.folder.isEmpty() && QFileInfo(line.folder).isDir() && !QApplication::activeModalWidget())
        QTimer::singleShot(0, frame_.get(), [frame = frame_.get(), folder = line.folder] { frame->OpenFolder(folder); });
    if (frame_->isMinimized()) frame_->showNormal();
    frame_->raise();
    frame_->activateWindow();
    return answer;
}

void SnaploreApp::windowClosed() {
    // A splash that is still up would keep the program alive without a window.
    if (splash_) splash_->cancel();
}

void SnaploreApp::terminate() {
    if (splash_) splash_->cancel();
    if (frame_) {
        // What the user has not saved stays unsaved; nothing may stop the end.
        frame_->document().setModified(false);
        // Saved pictures' catalogs are written; no message may hold up the end.
        frame_->document().finishCatalogWrites(false);
        frame_->saveWindowState();
    }
    // Every event loop ends, modal ones included; the dialogs they ran answer as if cancelled.
    QCoreApplication::exit(0);
}

void SnaploreApp::commitData(QSessionManager& manager) {
    if (!frame_) return;
    const bool mayAsk = manager.allowsInteraction();
    const bool goOn = frame_->commitSession(mayAsk);
    if (mayAsk) manager.release();
    if (!goOn) {
        manager.cancel();
        return;
    }
    startup::setLastDirectory(store_, frame_->currentFolder());
    store_.sync();
}

void SnaploreApp::showAbout() {
    CSplashDlg about(CSplashDlg::Mode::About, store_, prompter_, frame_.get());
    about.exec();
}

void SnaploreApp::exitInstance() {
    delete instance_;
    instance_ = nullptr;
    delete termination_;
    termination_ = nullptr;
    if (frame_) {
        // The window hands over the folder it shows; destroying it saves the pane layout.
        lastDirectory_ = frame_->currentFolder();
        frame_.reset();
    }
    startup::setLastDirectory(store_, lastDirectory_);
    store_.sync();
    startup::emptyFolder(temporaryFolder_);
}
