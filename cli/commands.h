#pragma once
// The sub-commands of snaplore-cli. Each takes its own arguments (after the command name) and
// returns the process exit status.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PictureRecord;
struct FolderExport;

struct CliStreams {
    QTextStream& out;
    QTextStream& err;
};

// A command's arguments as text, and as the bytes the system passed: a file name that is not UTF-8
// keeps its bytes only in `raw`.
struct CliArgs {
    QStringList text;
    QList<QByteArray> raw;
    qsizetype size() const { return text.size(); }
    bool isEmpty() const { return text.isEmpty(); }
    CliArgs mid(qsizetype from) const { return {text.mid(from), raw.mid(from)}; }
};

// A command's arguments split into options and operands. An option is "--name" for a flag, or
// "--name=value" / "--name value" for one that takes a value; "--" ends the options.
struct CliOptions {
    struct Option {
        QString name;  // without the dashes
        QString value;
    };
    QList<Option> options;       // in the order given; an option may stand more than once
    QList<QByteArray> operands;  // as the system passed them
    QString error;               // why the line is refused; empty when it is not
    bool help = false;
    // The last value given for `name`, empty when it was not given.
    QString value(const QString& name) const;
    bool has(const QString& name) const;
};
CliOptions parseOptions(const CliArgs& args, const QStringList& valued, const QStringList& flags);
// Says why the command line is refused, then the usage; returns the status for it.
int usageError(CliStreams io, const char* command, const QString& reason, const char* usage);
// parseOptions, answering --help with the usage and a mistake with usageError: the exit status
// then, nothing when the command goes on with `parsed`.
std::optional<int> parseCommandLine(const CliArgs& args, CliStreams io, const char* command, const char* usage,
                                    const QStringList& valued, const QStringList& flags, CliOptions& parsed);

// Writes UTF-8 bytes as they are when the stream has a device (no round trip through QString).
void writeUtf8(QTextStream& out, const QByteArray& utf8);

// A name as a person can read it: what is UTF-8 as it is, every other byte as \xNN.
QString printableName(QByteArrayView raw);
// True when the bytes are valid UTF-8 (what QString keeps without loss).
bool isUtf8(QByteArrayView raw);
// Why the file named by `raw` is not read as a picture: the system's words when it cannot be opened,
// "not a regular file" for a folder, pipe or device, or that its name is not UTF-8 (a QString cannot
// name it). Empty for a regular file. Never waits: a pipe is opened without blocking.
QString inputFileProblem(const QByteArray& raw);
// The picture in the file named by `raw`; null, with the reason in `problem`, when the file cannot be
// read (see inputFileProblem) or is not a JPEG file.
std::unique_ptr<PictureRecord> readInputPicture(const QByteArray& raw, QString& problem);
// The pictures of the named files in their order, kept in `owned`; a file that cannot be read is
// named to `fail` with the reason, and left out.
QList<PictureRecord*> readInputPictures(const QList<QByteArray>& inputs,
                                        std::vector<std::unique_ptr<PictureRecord>>& owned,
                                        const std::function<void(const QString& name, const QString& reason)>& fail);

// Names on `err` what reading a folder left out: a catalog that did not load whole, and the pictures
// or entries not read, each with the reason. True when anything was.
bool reportLeftOut(const FolderExport& folder, QTextStream& err);

int runInfo(const CliArgs& args, CliStreams io);
int runSet(const CliArgs& args, CliStreams io);
// set --copy-from, with the command line already read; `usage` is set's.
int runCopyFrom(const CliOptions& parsed, CliStreams io, const char* usage);
int runThumbs(const CliArgs& args, CliStreams io);
int runSaveAs(const CliArgs& args, CliStreams io);
int runPrint(const CliArgs& args, CliStreams io);
int runCatalog(const CliArgs& args, CliStreams io);
int runIndex(const CliArgs& args, CliStreams io);
int runReport(const CliArgs& args, CliStreams io);
int runHtml(const CliArgs& args, CliStreams io);
int runCd(const CliArgs& args, CliStreams io);
int runImport(const CliArgs& args, CliStreams io);
int runSearch(const CliArgs& args, CliStreams io);
