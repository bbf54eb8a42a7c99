#pragma once
// Whether an output would land on a file it reads. Paths are compared as the files they name (device
// and inode, links followed), so a hard link, a symbolic link or another spelling of a picture's path
// is that picture. Every output checks here before it writes.

#include <QList>
#include <QString>

class PictureRecord;

// True when `target` names the file `source`. False when either is not there.
bool IsSameFile(const QString& source, const QString& target);

// The path of the first of `inputs` whose file `output` names; empty when none is (and when there is
// no file at `output` yet).
QString InputAtOutput(const QString& output, const QList<PictureRecord*>& inputs);

// Why nothing was written to `output`: it is the picture at `input`.
QString OutputIsInputText(const QString& output, const QString& input);
