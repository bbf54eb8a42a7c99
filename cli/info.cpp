#include "commands.h"
#include "jsonwriter.h"
#include "picturejson.h"
#include "picturerecord.h"
#include "textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

namespace {

const char kInfoUsage[] =
    "Usage: snaplore-cli info [--json] FILE...\n"
    "Shows each picture's dimensions, EXIF values and picture data.\n"
    "  --json    one JSON array with an object for each file\n";

// Why a regular file gave no picture.
QString readError(const QString& path, const PictureRecord& picture) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return f.errorString();
    if (picture.fileSize() == 0) return QStringLiteral("zero byte file");
    if (!picture.isJpeg()) return QStringLiteral("not a JPEG file");
    return {};
}

void printText(QTextStream& out, const QJsonObject& o) {
    out << o["file"].toString() << "\n";
    if (!o["error"].toString().isEmpty()) {
        out << "  error: " << o["error"].toString() << "\n\n";
        return;
    }
    out << "  size: " << o["fileSize"].toInteger() << " bytes, header " << o["headerSize"].toInteger() << " bytes\n";
    out << "  dimensions: " << o["width"].toInt() << " x " << o["height"].toInt() << "\n";
    auto section = [&](const char* title, const QJsonObject& values) {
        out << "  " << title << ":\n";
        for (auto it = values.begin(); it != values.end(); ++it) {
            QString text;
            if (it->isArray()) {
                QStringList items;
                for (const QJsonValue& v : it->toArray()) items << v.toString();
                text = items.join(QStringLiteral("; "));
            } else if (it->isString()) {
                text = it->toString();
            } else if (it->isBool()) {
                text = it->toBool() ? QStringLiteral("yes") : QStringLiteral("no");
            } else {
                text = QString::number(it->toDouble());
            }
            if (text.isEmpty() || text == "0" || text == "no") continue;  // only what the picture holds
            // Picture data is shown, never obeyed: a tab or an escape sequence in it is printed as such.
            out << "    " << it.key() << ": " << snaplore::text::printableText(text) << "\n";
        }
    };
    section("exif", o["exif"].toObject());
    section("iptc", o["iptc"].toObject());
    out << "\n";
}

}  // namespace

int runInfo(const CliArgs& args, CliStreams io) {
    bool json = false;
    QList<QByteArray> files;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.text[i];
        if (!optionsEnded && (a == "--help" || a == "-h")) {
            io.out << kInfoUsage;
            return 0;
        } else if (!optionsEnded && a == "--json") {
            json = true;
        } else if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a.startsWith("-") && a != "-") {
            io.err << "snaplore-cli info: unknown option '" << printableName(args.raw[i]) << "'\n" << kInfoUsage;
            return 2;
        } else {
            files << args.raw[i];
        }
    }
    if (files.isEmpty()) {
        io.err << "snaplore-cli info: no file given\n" << kInfoUsage;
        return 2;
    }
    int status = 0;
    JsonWriter writer;
    if (json) writer.beginArray();
    for (const QByteArray& raw : files) {
        const QString shown = printableName(raw);
        QString error = inputFileProblem(raw);
        // Only a regular file is handed on: the picture reader opens by name and would wait on a pipe.
        const PictureRecord picture = error.isEmpty() ? PictureRecord(QFile::decodeName(raw)) : PictureRecord();
        if (error.isEmpty()) error = readError(QFile::decodeName(raw), picture);
        if (!error.isEmpty()) {
            io.err << "snaplore-cli info: " << shown << ": " << error << "\n";
            status = 1;
        }
        if (json)
            writePictureJson(writer, picture, shown, error);
        else
            printText(io.out, pictureToJson(picture, shown, error));
    }
    if (json) {
        writer.endArray();
        writeUtf8(io.out, writer.data());
    }
    return status;
}
