#pragma once
// The application object: the program's start and end around the main window. At start it reads the
// command line and its two settings, hands a CD start over to a running or installed copy, makes the
// temporary folder, creates the main window with the document, shows the splash, listens for a later
// CD start, and opens the folder shown last. At end it stores that folder and empties the temporary
// folder.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "startup.h"

class CMainFrame;
class CSplashDlg;
class Prompter;
class SettingsStore;
class QSessionManager;
class SingleInstance;
class TerminationWatcher;

class SnaploreApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        QStringList arguments;  // the command line without the program's name
        QString ownPath;        // this program's file
        QString instanceName;   // the single-instance socket
        startup::Environment environment = startup::processEnvironment();
        bool splash = true;
        int splashMs = 5000;
    };
    // The defaults of a real start from `arguments` (the program's name first).
    static Options defaultOptions(const QStringList& arguments);

    enum class Start {
        Running,     // the main window is up
        HandedOver,  // a running instance took over the CD start
        Relaunched,  // the installed copy was started on the CD's folder
    };

    SnaploreApp(SettingsStore& store, Prompter& prompter, QObject* parent = nullptr);
    ~SnaploreApp() override;

    Start initInstance(const Options& options);
    // Stores the folder shown, closes the main window and empties the temporary folder.
    void exitInstance();

    CMainFrame* frame() const { return frame_.get(); }
    CSplashDlg* splash() const;
    SingleInstance* instance() const { return instance_; }
    QString temporaryFolder() const { return temporaryFolder_; }
    // The folder opened at start.
    QString startFolder() const { return lastDirectory_; }

    void showAbout();

    // SIGTERM: the settings and the layout are kept as at File > Exit, nothing is asked and no
    // picture is written, and the event loop ends; exitInstance() follows as after any end.
    void terminate();
    // The desktop session ends: unsaved picture data may be asked about as at Exit.
    void commitData(QSessionManager& manager);

private:
    quint32 answerHandOver(const QStringList& arguments);
    // The main window closed: whatever the splash still runs ends with it.
    void windowClosed();

    SettingsStore& store_;
    Prompter& prompter_;
    std::unique_ptr<CMainFrame> frame_;
    QPointer<CSplashDlg> splash_;
    SingleInstance* instance_ = nullptr;
    TerminationWatcher* termination_ = nullptr;
    QString temporaryFolder_;
    QString lastDirectory_;
};
