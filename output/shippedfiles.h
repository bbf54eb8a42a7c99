#pragma once
// The files the program ships beside itself (the disc's autorun script, the example HTML templates),
// found the same way from every program: in a build tree and in an installation alike.

#include <QString>

// The file `name` (a path under the program's share folder, such as "autorun" or
// "examples/html/main.html"): beside the running program's folder in a build tree
// ("<build>/share/snaplore/<name>" from "<build>/app"), in the installed share folder above bin and
// libexec/snaplore, or in the desktop's data folders. Empty when it is not found.
QString findShippedFile(const QString& programFolder, const QString& name);
