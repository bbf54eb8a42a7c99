#pragma once
// The one routine through which every picture and catalog is written. The new content goes to a
// temporary file in the same folder, is flushed to disk, read back and checked, and only then
// renamed over the target. The old file stays whole until its replacement is complete.

#include "writeerror.h"

#include <QFile>
#include <QString>

#include <functional>
#include <optional>

#include <sys/stat.h>

struct SafeWriteOptions {
    // Keep the access and modification times (to the nanosecond) of this file; empty = the target's
    // own when it exists. Ignored when keepTimes is false.
    QString timesFrom;
    bool keepTimes = true;
    // Times taken before the caller read the file (reading may move the access time): these win.
    std::optional<struct stat> timesBefore;
};

// `produce` writes the new content into the open temporary file and returns false on failure.
// `verify`, when given, checks the flushed temporary file (by its path) before it replaces the target.
// An existing target that the user may not write is refused, never replaced.
WriteResult safeWrite(const QString& target, const std::function<bool(QFile&)>& produce,
                      const std::function<WriteResult(const QString& tempPath)>& verify = {},
                      const SafeWriteOptions& options = {});
