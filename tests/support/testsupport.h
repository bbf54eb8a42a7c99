#pragma once
// Small helpers shared by the tests: test data, the corpus, a sandbox folder, file bytes.

#include <QByteArray>
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
