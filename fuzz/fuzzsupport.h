#pragma once
// What the fuzz targets share: a quiet Qt that can load its image plugins without a display, and a
// folder for the files a target writes.

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace snaplore::fuzz {

// The IPTC thumbnail check reads a JPEG header through Qt's image plugins; a GUI application object
// makes plugin loading behave as in the program. Created once, never destroyed.
inline void initQt(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Diagnostics would flood the fuzzer's output; warnings from the image plugins too.
    setenv("QT_LOGGING_RULES", "*=false", 1);
    static QGuiApplication* app = new QGuiApplication(*argc, *argv);
    (void)app;
}

// A new folder of this process, memory-backed when there is such a folder: every input is written
// and synced there. Removed when the fuzzer ends normally (without Qt: its globals may be gone by
// then); one that a crash leaves stays for inspection. Call once.
inline QString makeScratchFolder(const char* target) {
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/snaplore-fuzz-%1-XXXXXX").arg(QLatin1String(target)));
    if (!dir.isValid()) {
        fprintf(stderr, "no folder for the fuzz target's files: %s\n", qPrintable(dir.errorString()));
        abort();
    }
    dir.setAutoRemove(false);
    static std::string path;
    path = QFile::encodeName(dir.path()).toStdString();
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    });
    return dir.path();
}

}  // namespace snaplore::fuzz
