#include "diagnostics.h"

Q_LOGGING_CATEGORY(lcJpeg, "snaplore.jpeg", QtWarningMsg)
Q_LOGGING_CATEGORY(lcExif, "snaplore.exif", QtWarningMsg)
Q_LOGGING_CATEGORY(lcIptc, "snaplore.iptc", QtWarningMsg)
Q_LOGGING_CATEGORY(lcXmp, "snaplore.xmp", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLoad, "snaplore.load", QtWarningMsg)

namespace snaplore {
namespace {
std::function<void()>& beepHook() {
    static std::function<void()> hook;
    return hook;
}
}  // namespace

void setBeepHook(std::function<void()> hook) { beepHook() = std::move(hook); }

void beep() {
    if (beepHook()) beepHook()();
}

}  // namespace snaplore
