#pragma once
// Diagnostic output of the metadata readers. Nothing here reaches the user: the categories are off
// by default (QT_LOGGING_RULES="snaplore.*=true" turns them on), and the one audible signal of the
// core, the beep for a picture with several IPTC segments, goes through a hook the application sets.

#include <QLoggingCategory>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcJpeg)
Q_DECLARE_LOGGING_CATEGORY(lcExif)
Q_DECLARE_LOGGING_CATEGORY(lcIptc)
Q_DECLARE_LOGGING_CATEGORY(lcXmp)
// How long a folder took to show (info level): what the benchmark scripts read.
Q_DECLARE_LOGGING_CATEGORY(lcLoad)

namespace snaplore {

// Called when a header walk meets more than one APP13 segment. The window program installs
// QApplication::beep; headless users leave it empty.
void setBeepHook(std::function<void()> hook);
void beep();

}  // namespace snaplore
