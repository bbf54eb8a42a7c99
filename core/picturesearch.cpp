#include "picturesearch.h"

#include "iptcblock.h"
#include "picturerecord.h"

namespace picturesearch {

namespace {

// Composed and decomposed accents are the same text to the user; so are letters that differ by case
// only (case folding also joins forms that lower-casing keeps apart, such as the final sigma).
QString composed(const QString& text) { return text.normalized(QString::NormalizationForm_C); }
QString folded(const QString& text) { return composed(text).toCaseFolded(); }

constexpr QChar kQuote = u'"';

}  // namespace

Term parseTerm(const QString& raw) {
    Term term;
    QString text = raw.trimmed();
    if (text.startsWith(u'-')) {
        term.negative = true;
        text = text.mid(1).trimmed();
    }
    if (text.startsWith(kQuote) && text.endsWith(kQuote)) {
        term.exactCase = true;
        // A single quote character would leave less than nothing: it stands for the empty term.
        text = text.size() >= 2 ? text.mid(1, text.size() - 2) : QString();
        term.text = composed(text);
    } else {
        term.text = folded(text);
    }
    return term;
}

QList<Term> splitTerms(const QString& text) {
    QStringList pieces = text.split(u',');
    if (pieces.size() > 1 && pieces.last().trimmed().isEmpty()) pieces.removeLast();
    QList<Term> terms;
    terms.reserve(pieces.size());
    for (const QString& piece : pieces) terms.append(parseTerm(piece));
    return terms;
}

bool matchTerm(const Term& term, const QString& field, bool prior) {
    const bool contains = term.text.isEmpty() || (term.exactCase ? composed(field) : folded(field)).contains(term.text);
    return term.negative ? prior && !contains : prior || contains;
}

bool MatchTerm(const QString& term, const QString& field, bool prior) {
    return matchTerm(parseTerm(term), field, prior);
}

bool matchText(const QString& text, const QStringList& fields) {
    // A text of blanks is an empty text, not one empty term.
    if (text.trimmed().isEmpty()) return true;
    const QList<Term> terms = splitTerms(text);
    for (const Term& term : terms) {
        bool result = term.negative;
        for (const QString& field : fields) result = matchTerm(term, field, result);
        if (result) return true;
    }
    return false;
}

QStringList peopleFields(const IptcBlock& data) { return data.people; }

QStringList placeFields(const IptcBlock& data) { return {data.location, data.city, data.state, data.country}; }

QStringList otherFields(const IptcBlock& data) { return {data.event, data.headline, data.caption}; }

int shownRating(const QString& stored) {
    bool ok = false;
    const int value = stored.trimmed().toInt(&ok);
    if (!ok || value <= 0) return 2;
    return value <= 4 ? value : 0;
}

bool MatchPeople(const IptcBlock& data, const QString& text) { return matchText(text, peopleFields(data)); }
bool MatchPlace(const IptcBlock& data, const QString& text) { return matchText(text, placeFields(data)); }
bool MatchOther(const IptcBlock& data, const QString& text) { return matchText(text, otherFields(data)); }

}  // namespace picturesearch

bool PictureRecord::MatchPeople(const QString& text) const { return picturesearch::MatchPeople(iptc_, text); }
bool PictureRecord::MatchPlace(const QString& text) const { return picturesearch::MatchPlace(iptc_, text); }
bool PictureRecord::MatchOther(const QString& text) const { return picturesearch::MatchOther(iptc_, text); }
