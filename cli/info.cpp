#include "commands.h"
#include "jsonwriter.h"
#include "picturejson.h"
#include "picturerecord.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

namespace {

QString readError(const QString& path, const PictureRecord& picture) {
    if (!QFileInfo(path).isFile()) return QStringLiteral("cannot open file");
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
            out << "    " << it.key() << ": " << text << "\n";
        }
    };
    section("exif", o["exif"].toObject());
    section("iptc", o["iptc"].toObject());
    out << "\n";
}

}  // namespace

int runInfo(const QStringList& args, CliStreams io) {
    bool json = false;
    QStringList files;
    bool optionsEnded = false;
    for (const QString& a : args) {
        if (!optionsEnded && a == "--json")
            json = true;
        else if (!optionsEnded && a == "--")
            optionsEnded = true;
        else if (!optionsEnded && a.startsWith("-")) {
            io.err << "snaplore-cli info: unknown option '" << a << "'\n";
            return 2;
        } else
            files << a;
    }
    if (files.isEmpty()) {
        io.err << "Usage: snaplore-cli info [--json] FILE...\n";
        return 2;
    }
    int status = 0;
    JsonWriter writer;
    if (json) writer.beginArray();
    for (const QString& path : files) {
        const PictureRecord picture(path);
        const QString error = readError(path, picture);
        if (!error.isEmpty()) status = 1;
        if (json)
            writePictureJson(writer, picture, path, error);
        else
            printText(io.out, pictureToJson(picture, path, error));
    }
    if (json) {
        writer.endArray();
        writeUtf8(io.out, writer.data());
    }
    return status;
}
