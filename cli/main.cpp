// snaplore-cli: reads and writes picture data in JPEG files from the command line.
//
// Built twice. snaplore-cli itself holds only the commands that read and write picture data (info,
// set) and starts without the image libraries; the commands that work with pixels are handed, with
// the same arguments, to snaplore-cli-image (built with SNAPLORE_CLI_IMAGE), which holds every
// command and is installed beside it in the library folder.

#include "commands.h"
#include "snaploreversion.h"
#include "textcodec.h"

#include <QCoreApplication>
#ifdef SNAPLORE_CLI_IMAGE
#include <QGuiApplication>

#include "saveas.h"
#endif
#include <QFile>
#include <QFileDevice>
#include <QIODevice>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <memory>
#include <strings.h>
#include <unistd.h>

namespace {

const char kUsage[] =
    "Usage: snaplore-cli COMMAND [OPTIONS] ...\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE...        show each picture's dimensions, EXIF values and picture data\n"
    "  set [OPTIONS] FILE...        write picture data into each file (see 'set --help')\n"
    "  thumbs --out OUTDIR FILE...  write each picture's thumbnail into OUTDIR (see 'thumbs --help')\n"
    "  saveas --out PATH FILE...    write resized, re-cropped copies of pictures (see 'saveas --help')\n"
    "  print --pdf FILE DIR|FILE... print pictures on photo-sized positions into a PDF (see 'print --help')\n"
    "  index --out FILE DIR|FILE... write a contact sheet of pictures (see 'index --help')\n"
    "  report --out FILE --kind K DIR  write a folder's data report (see 'report --help')\n"
    "  html --main T --event T --out FOLDER DIR  write web pages of a folder (see 'html --help')\n"
    "  catalog COMMAND DIR ...      a folder's catalog: create, list, archive, refresh, remove (see 'catalog --help')\n"
    "  search DIR [OPTIONS]         list the pictures of a folder that match a search (see 'search --help')\n"
    "  cd --iso FILE DIR|FILE...    write the CD of pictures, catalogs and autorun as an ISO image (see 'cd --help')\n"
    "  import SOURCE DEST           copy a memory card's pictures into dated folders (see 'import --help')\n"
    ;

#ifndef SNAPLORE_CLI_IMAGE
// What this program answers itself; every other command (also one it does not know) goes to
// snaplore-cli-image, so a command added there needs no change here. set --copy-from goes too: it
// keeps catalogs current, and catalogs hold thumbnails.
bool answeredHere(int argc, char** argv) {
    const char* command = argv[1];
    if (std::strcmp(command, "set") == 0) {
        for (int i = 2; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
            if (std::strncmp(argv[i], "--copy-from", 11) == 0 && (argv[i][11] == 0 || argv[i][11] == '=')) return false;
        return true;
    }
    for (const char* c : {"info", "--help", "-h", "--version"})
        if (std::strcmp(command, c) == 0) return true;
    return false;
}

// Replaces this process with snaplore-cli-image, found beside this program (a build folder) or in
// the library folder of the installation; returns only when it could not be started.
int handOver(char** argv) {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    QByteArray dir = n > 0 ? QByteArray(self, n) : QByteArray(argv[0]);
    dir.truncate(std::max<qsizetype>(0, dir.lastIndexOf('/')));
    if (dir.isEmpty()) dir = ".";
    const QByteArray candidates[] = {dir + "/snaplore-cli-image",
                                     dir + "/" SNAPLORE_BIN_TO_LIBEXEC "/snaplore-cli-image"};
    int error = ENOENT;
    for (const QByteArray& path : candidates) {
        ::execv(path.constData(), argv);
        if (errno != ENOENT) error = errno;
    }
    std::fprintf(stderr, "snaplore-cli: cannot start snaplore-cli-image for '%s': %s\n", argv[1], std::strerror(error));
    return 1;
}
#endif

// Qt reads arguments and file names as UTF-8 and warns on stderr when the locale says otherwise:
// run with the UTF-8 form of the user's locale, or C.UTF-8 when there is none. Qt sets the locale
// from the environment again, so the environment is where the choice goes.
void useUtf8Locale() {
    const bool valid = std::setlocale(LC_ALL, "") != nullptr;
    const char* codeset = nl_langinfo(CODESET);
    if (valid && (::strcasecmp(codeset, "UTF-8") == 0 || ::strcasecmp(codeset, "utf8") == 0)) return;
    QByteArray name = std::setlocale(LC_CTYPE, nullptr);
    if (const qsizetype dot = name.indexOf('.'); dot >= 0) name.truncate(dot);
    if (const qsizetype at = name.indexOf('@'); at >= 0) name.truncate(at);
    name += ".UTF-8";
    if (!std::setlocale(LC_CTYPE, name.constData())) {
        name = "C.UTF-8";
        if (!std::setlocale(LC_CTYPE, name.constData())) return;
    }
    const char* all = std::getenv("LC_ALL");
    ::setenv(!valid || (all && *all) ? "LC_ALL" : "LC_CTYPE", name.constData(), 1);
}

// Standard output or error. What is printed can come from picture data and file names: its control
// characters are escaped on the way out, so that no picture can steer the terminal; line breaks and
// tabs stay, and JSON stays valid JSON.
class PrintableOutput : public QFile {
public:
    explicit PrintableOutput(int fd) { open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle); }
    // The lead byte of a two-byte character that ended the last write, when nothing followed.
    void finish() {
        if (!pending_.isEmpty()) QFile::writeData(pending_.constData(), pending_.size());
        pending_.clear();
    }

protected:
    qint64 writeData(const char* data, qint64 length) override {
        QByteArray bytes = pending_ + QByteArray(data, length);
        pending_.clear();
        // A C1 control may be cut between two writes: its lead byte waits for the rest.
        if (bytes.endsWith('\xC2')) {
            pending_ = bytes.right(1);
            bytes.chop(1);
        }
        const QByteArray shown = snaplore::text::escapeControls(bytes, "\n\t");
        return QFile::writeData(shown.constData(), shown.size()) == shown.size() ? length : -1;
    }

private:
    QByteArray pending_;
};

// Results that did not reach standard output (a full disk, a closed pipe) are a failure too.
int finish(int status, QTextStream& out, QTextStream& err) {
    out.flush();
    err.flush();
    for (QIODevice* device : {out.device(), err.device()})
        if (auto* printable = dynamic_cast<PrintableOutput*>(device)) printable->finish();
    QString reason;
    // Bytes written past the stream (writeUtf8) may still wait in the device's own buffer.
    auto* device = qobject_cast<QFileDevice*>(out.device());
    if (out.status() != QTextStream::Ok || (device && (!device->flush() || device->error() != QFileDevice::NoError)))
        reason = device ? device->errorString() : QStringLiteral("write error");
    errno = 0;
    if (std::fflush(stdout) != 0)
        reason = QString::fromLocal8Bit(std::strerror(errno));
    else if (std::ferror(stdout) && reason.isEmpty())
        reason = QStringLiteral("write error");
    if (reason.isEmpty()) return status;
    err << "snaplore-cli: standard output: " << reason << "\n";
    err.flush();
    return status == 0 ? 1 : status;
}

}  // namespace

void writeUtf8(QTextStream& out, const QByteArray& utf8) {
    QIODevice* device = out.device();
    if (!device) {
        out << QString::fromUtf8(utf8);
        return;
    }
    out.flush();  // what the stream holds goes first
    device->write(utf8);
}

int main(int argc, char** argv) {
#ifndef SNAPLORE_CLI_IMAGE
    if (argc > 1 && !answeredHere(argc, argv)) return handOver(argv);
#endif
    useUtf8Locale();
#ifdef SNAPLORE_CLI_IMAGE
    // Text is drawn only by saveas --info and print, and drawing text needs the font system of a GUI
    // application; it runs without a display. Every other command starts faster without it.
    bool drawsText = argc > 1 && std::strcmp(argv[1], "saveas") == 0;
    const bool printing = argc > 1 && std::strcmp(argv[1], "print") == 0;
    if (drawsText) {
        drawsText = false;
        for (int i = 2; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
            if (std::strcmp(argv[i], "--info") == 0) drawsText = true;
    }
    drawsText = drawsText || printing;
    if (drawsText) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app =
        drawsText ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    saveas::allowLargePictures();
#else
    QCoreApplication app(argc, argv);
#endif
    QCoreApplication::setApplicationName(QStringLiteral("snaplore-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SNAPLORE_VERSION));

    PrintableOutput stdoutDevice(STDOUT_FILENO), stderrDevice(STDERR_FILENO);
    QTextStream out(&stdoutDevice);
    QTextStream err(&stderrDevice);
    CliArgs args;
    for (int i = 1; i < argc; ++i) {
        args.raw << QByteArray(argv[i]);
        args.text << QFile::decodeName(argv[i]);
    }
    if (args.isEmpty()) {
        err << kUsage;
        return finish(2, out, err);
    }
    const QString command = args.text.first();
    if (command == "--help" || command == "-h") {
        out << kUsage;
        return finish(0, out, err);
    }
    if (command == "--version") {
        out << "snaplore-cli " SNAPLORE_VERSION "\n";
        return finish(0, out, err);
    }
    const CliArgs rest = args.mid(1);
    CliStreams io{out, err};
    int status = -1;
    if (command == "info") status = runInfo(rest, io);
    if (command == "set") status = runSet(rest, io);
#ifdef SNAPLORE_CLI_IMAGE
    if (command == "thumbs") status = runThumbs(rest, io);
    if (command == "saveas") status = runSaveAs(rest, io);
    if (command == "print") status = runPrint(rest, io);
    if (command == "index") status = runIndex(rest, io);
    if (command == "report") status = runReport(rest, io);
    if (command == "html") status = runHtml(rest, io);
    if (command == "catalog") status = runCatalog(rest, io);
    if (command == "cd") status = runCd(rest, io);
    if (command == "import") status = runImport(rest, io);
    if (command == "search") status = runSearch(rest, io);
#endif
    if (status < 0) {
        err << "snaplore-cli: unknown command '" << printableName(args.raw.first()) << "'\n" << kUsage;
        status = 2;
    }
    return finish(status, out, err);
}
