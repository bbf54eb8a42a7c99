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
// A file name or argument as a person can read it: what is UTF-8 as it is, every other byte as \xNN,
// and its control characters escaped as escapeControls does (line breaks and tabs too).
QString printableName(QByteArrayView raw);

// UTF-8 text with its control characters escaped, so that printing it cannot move a terminal's cursor
// or start an escape sequence: C0 controls as \xNN (\x1B for ESC), DEL and the C1 controls as \u00NN
// (\u009B), except the bytes in `keep`. The \u form is what JSON writes too, so text that holds
// JSON stays valid JSON (JSON has no unescaped C0 controls).
QByteArray escapeControls(QByteArrayView utf8, QByteArrayView keep = {});
// The same for text: every control character but the line break.
QString printableText(const QString& text);

}  // namespace snaplore::text
