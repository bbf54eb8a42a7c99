#include "filename.h"

QString SuggestedFileName(const QString& text) {
    QString name = text;
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control) c = QLatin1Char('-');
    if (!name.isEmpty() && name.count(QLatin1Char('.')) == name.size()) name.fill(QLatin1Char('-'));
    return name;
}
