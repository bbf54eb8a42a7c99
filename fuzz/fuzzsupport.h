#pragma once
// What both fuzz targets share: a quiet Qt that can load its image plugins without a display.

#include <QGuiApplication>

#include <cstdlib>

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

}  // namespace snaplore::fuzz
