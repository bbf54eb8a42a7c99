#pragma once
// Text search over a picture's data, one field group at a time. A search text holds terms separated
// by commas and joined by "or"; "-term" means the group must not contain the term; "\"Term\"" is
// compared with its exact case, every other term without regard to case (Unicode case folding).

#include <QList>
#include <QString>
#include <QStringList>

class IptcBlock;

namespace picturesearch {

struct Term {
    QString text;  // without the minus sign and the quotes; case-folded unless exactCase
    bool negative = false;
    bool exactCase = false;
};

// Reads one term: white space around it and around the text after a leading "-" is dropped; a term
// enclosed in double quotes keeps its case. A lone double quote is an empty term.
Term parseTerm(const QString& raw);
// The terms of a search text, split at each ","; a trailing comma adds no term.
QList<Term> splitTerms(const QString& text);

// One term against one field, given the result so far: a positive term gives prior or "the field
// contains it", a negative one prior and not "the field contains it". An empty term is in every field.
bool matchTerm(const Term& term, const QString& field, bool prior);
bool MatchTerm(const QString& term, const QString& field, bool prior);

// True when the text is empty, or when any of its terms holds over the fields: a positive term when
// some field contains it, a negative one when none does.
bool matchText(const QString& text, const QStringList& fields);

// The fields of each group, in the order they are tested.
QStringList peopleFields(const IptcBlock& data);
QStringList placeFields(const IptcBlock& data);  // location, city, state, country
QStringList otherFields(const IptcBlock& data);  // the stored event text, headline, caption

// The rating as the picture data form shows it, 1 (gold star) to 4 (no star): a picture without a
// stored rating, or with "0" or text that is not a number, shows the silver star, 2. A stored value
// above 4 shows no item: 0.
int shownRating(const QString& stored);

bool MatchPeople(const IptcBlock& data, const QString& text);
bool MatchPlace(const IptcBlock& data, const QString& text);
bool MatchOther(const IptcBlock& data, const QString& text);

}  // namespace picturesearch
