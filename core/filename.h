#pragma once
// The one place where a file name is made from text that was never meant as one: an event title, a
// headline, a picture's name, a volume name. Such text may hold "/" (an event's dates) or control
// characters, which would make the offered name a path into folders that do not exist, or a name
// no one can type; every output that offers or makes a file name from picture data goes through here.

#include <QString>

// `text` as a file name: every "/" and control character becomes "-", and a name that is only dots
// (".", "..", which name folders) has its dots replaced as well. Anything else is kept.
QString SuggestedFileName(const QString& text);
