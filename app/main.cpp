// snaplore: the window program.
#include <QApplication>
#include <QIcon>

#include "dialogprompter.h"
#include "mainframe.h"
#include "saveas.h"
#include "settingsstore.h"
#include "snaploreapp.h"
#include "snaploreversion.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Snaplore"));
    QApplication::setOrganizationName(QStringLiteral("Snaplore"));
    QApplication::setApplicationVersion(QStringLiteral(SNAPLORE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("snaplore"));
    saveas::allowLargePictures();

    SettingsStore store(SettingsStore::defaultPath());
    DialogPrompter prompter(store);
    SnaploreApp snaplore(store, prompter);
    if (snaplore.initInstance(SnaploreApp::defaultOptions(application.arguments())) != SnaploreApp::Start::Running)
        return 0;
    QApplication::setWindowIcon(snaplore.frame()->windowIcon());
    prompter.setOwner(snaplore.frame());

    const int result = application.exec();
    snaplore.exitInstance();
    return result;
}
