#pragma once
// The sub-commands of snaplore-cli. Each takes its own arguments (after the command name) and
// returns the process exit status.

#include <QStringList>
#include <QTextStream>

struct CliStreams {
    QTextStream& out;
    QTextStream& err;
};

// Writes UTF-8 bytes as they are when the stream has a device (no round trip through QString).
void writeUtf8(QTextStream& out, const QByteArray& utf8);

int runInfo(const QStringList& args, CliStreams io);
int runSet(const QStringList& args, CliStreams io);
int runThumbs(const QStringList& args, CliStreams io);
int runCatalog(const QStringList& args, CliStreams io);
