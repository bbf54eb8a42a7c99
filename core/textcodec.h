#pragma once
// Text of IPTC datasets: UTF-8 when the file says so or the bytes are valid UTF-8, else Windows-1252
// (what other programs assume for IPTC text without a character-set dataset).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace snaplore::text {

bool isAscii(QByteArrayView bytes);
bool isAscii(const QString& text);
bool isValidUtf8(QByteArrayView bytes);
QString fromWindows1252(QByteArrayView bytes);
// A file name or argument as a person can read it: what is UTF-8 as it is, every other byte as \xNN.
QString printableName(QByteArrayView raw);

}  // namespace snaplore::text
