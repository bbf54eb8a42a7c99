// snaplore-cli: reads and writes picture data in JPEG files from the command line.

#include "commands.h"

#include <QCoreApplication>
#include <QIODevice>

#include <cstdio>

namespace {

const char kUsage[] =
    "Usage: snaplore-cli COMMAND [OPTIONS] ...\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE...        show each picture's dimensions, EXIF values and picture data\n"
    "  set [OPTIONS] FILE...        write picture data into each file (see 'set --help')\n"
    "  thumbs --out OUTDIR FILE...  write each picture's thumbnail into OUTDIR (see 'thumbs --help')\n"
#ifdef SNAPLORE_HAVE_CATALOG
    "  catalog COMMAND DIR ...      a folder's catalog: create, list, archive, refresh, remove (see 'catalog --help')\n"
#endif
    ;

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
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("snaplore-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.2"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h") {
        (args.isEmpty() ? err : out) << kUsage;
        return args.isEmpty() ? 2 : 0;
    }
    if (args.first() == "--version") {
        out << "snaplore-cli 1.0.2\n";
        return 0;
    }
    const QString command = args.takeFirst();
    CliStreams io{out, err};
    if (command == "info") return runInfo(args, io);
    if (command == "set") return runSet(args, io);
    if (command == "thumbs") return runThumbs(args, io);
#ifdef SNAPLORE_HAVE_CATALOG
    if (command == "catalog") return runCatalog(args, io);
#endif
    err << "snaplore-cli: unknown command '" << command << "'\n" << kUsage;
    return 2;
}
