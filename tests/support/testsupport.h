#pragma once
// Small helpers shared by the tests: test data, the corpus, a sandbox folder, file bytes.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

// Path of a file under tests/data.
QString dataPath(const QString& name);
// The shared corpus folder, or empty when it is not present on this machine.
QString corpusDir();
// Every .jpg/.jpeg/.mpo under the corpus (recursive), sorted; empty without a corpus.
QStringList corpusFiles();

QByteArray readAll(const QString& path);
bool writeAll(const QString& path, const QByteArray& bytes);

// The JPEG with an XMP segment carrying `packet` right after its SOI.
QByteArray withXmpPacket(const QByteArray& jpeg, const QByteArray& packet);

// A temporary folder that copies test files in and cleans up after itself.
class SandBox {
public:
    SandBox();
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    // Copies `source` into the sandbox (under `name`, or its own name); returns the new path.
    QString copy(const QString& source, const QString& name = {}) const;

private:
    QTemporaryDir dir_;
};

// Points HOME and XDG_DATA_HOME into the folder `home` (made here) while it lives, so that the
// desktop's trash, "$XDG_DATA_HOME/Trash" for files on the home's disk, is a test's own and never the
// user's. Without `trash` the data folder is not made, and no trash can be set up there.
class TemporaryHome {
public:
    explicit TemporaryHome(const QString& home, bool trash = true)
        : oldHome_(qgetenv("HOME")), oldData_(qgetenv("XDG_DATA_HOME")),
          hadData_(qEnvironmentVariableIsSet("XDG_DATA_HOME")) {
        const QString data = home + QStringLiteral("/.local/share");
        QDir().mkpath(trash ? data : home);
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    }
    ~TemporaryHome() {
        qputenv("HOME", oldHome_);
        if (hadData_)
            qputenv("XDG_DATA_HOME", oldData_);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;
    // Where a trashed file of that name is.
    static QString trashed(const QString& home, const QString& name) {
        return home + QStringLiteral("/.local/share/Trash/files/") + name;
    }

private:
    QByteArray oldHome_, oldData_;
    bool hadData_;
};

// Under `folder` (made), folders nested so deep that the path of what lies at the end is longer than
// the system allows: a readable folder holding a file "<long name>.JPG" (with `bytes`) whose path is
// too long, and a folder too long to open that holds another such file. The sandbox cannot remove
// this tree; removeTree can.
void makeTooLongPaths(const QString& folder, const QByteArray& bytes);
// Removes a folder tree of any depth.
void removeTree(const QString& folder);

// Writes beyond `bytes` fail with EFBIG for this process, as on a full disk; even the superuser
// cannot write past it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    struct rlimit old_ {};
    void (*previous_)(int) = nullptr;
};

}  // namespace testsupport
