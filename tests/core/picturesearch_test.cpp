// Matching a search text against the people, the place fields and the other texts of a picture:
// terms joined by "or", "-" for not, double quotes for the exact case, case folding beyond ASCII.

#include "picturesearch.h"

#include <gtest/gtest.h>

#include "iptcblock.h"
#include "picturerecord.h"
#include "testsupport.h"

using namespace picturesearch;

namespace {

struct TermCase {
    const char* term;
    const char* field;
    bool prior;
    bool expected;
};

// UTF-8 literals: the picture data is UTF-8 text.
QString u8(const char* text) { return QString::fromUtf8(text); }

IptcBlock placeData() {
    IptcBlock data;
    data.location = u8("Old Town");
    data.city = u8("Zürich");
    data.state = u8("ZH");
    data.country = u8("Switzerland");
    return data;
}

}  // namespace

TEST(MatchTerm, OneTermAgainstOneField) {
    const TermCase cases[] = {
        // Substring, case ignored, the prior result joined by or.
        {"town", "Old Town", false, true},
        {"TOWN", "Old Town", false, true},
        {"village", "Old Town", false, false},
        {"village", "Old Town", true, true},
        // Negative terms: prior and not contained.
        {"-town", "Old Town", true, false},
        {"-village", "Old Town", true, true},
        {"-village", "Old Town", false, false},
        // White space around the term and after the minus sign is not part of it.
        {"  - village ", "Old Town", true, true},
        {" -  town", "Old Town", true, false},
        // Quotes: exact case.
        {"\"Town\"", "Old Town", false, true},
        {"\"town\"", "Old Town", false, false},
        {"-\"town\"", "Old Town", true, true},
        // Only a term enclosed at both ends is exact; a stray quote is a character of the term.
        {"\"town", "Old Town", false, false},
        // Empty terms, a lone quote and an empty pair of quotes occur in every field, even an empty one.
        {"", "", false, true},
        {"\"", "Old Town", false, true},
        {"\"\"", "", false, true},
        {"-", "Old Town", true, false},
        // Beyond ASCII: upper and lower case, composed and decomposed accents, the final sigma.
        {"ZÜRICH", "Zürich", false, true},
        {"zu\xcc\x88rich", "Zürich", false, true},
        {"\"zürich\"", "Zürich", false, false},
        {"\"Zu\xcc\x88rich\"", "Zürich", false, true},
        {"ΟΔΟΣ", "οδος", false, true},
    };
    for (const TermCase& c : cases)
        EXPECT_EQ(MatchTerm(u8(c.term), u8(c.field), c.prior), c.expected)
            << "term [" << c.term << "] field [" << c.field << "] prior " << c.prior;
}

TEST(MatchTerm, TermsOfAText) {
    EXPECT_EQ(splitTerms(QStringLiteral("a,b")).size(), 2);
    // A trailing comma adds no term, with or without blanks after it.
    EXPECT_EQ(splitTerms(QStringLiteral("a,")).size(), 1);
    EXPECT_EQ(splitTerms(QStringLiteral("a, ")).size(), 1);
    // Two commas in a row hold an empty term.
    const QList<Term> terms = splitTerms(QStringLiteral("a,,b"));
    ASSERT_EQ(terms.size(), 3);
    EXPECT_TRUE(terms[1].text.isEmpty());
    EXPECT_FALSE(terms[1].negative);
    const Term quoted = parseTerm(QStringLiteral(" -\"New York\" "));
    EXPECT_TRUE(quoted.negative);
    EXPECT_TRUE(quoted.exactCase);
    EXPECT_EQ(quoted.text, QStringLiteral("New York"));
}

TEST(MatchGroups, PlaceFields) {
    const IptcBlock data = placeData();
    EXPECT_TRUE(MatchPlace(data, QString()));
    EXPECT_TRUE(MatchPlace(data, QStringLiteral("   ")));
    EXPECT_TRUE(MatchPlace(data, u8("zürich")));
    EXPECT_TRUE(MatchPlace(data, QStringLiteral("old town")));
    EXPECT_TRUE(MatchPlace(data, QStringLiteral("paris, switz")));
    EXPECT_FALSE(MatchPlace(data, QStringLiteral("paris, london")));
    // A negative term must be absent from every field of the group.
    EXPECT_FALSE(MatchPlace(data, QStringLiteral("-switzerland")));
    EXPECT_TRUE(MatchPlace(data, QStringLiteral("-france")));
    // Two negative terms are joined by or: lacking either one is enough.
    EXPECT_TRUE(MatchPlace(data, QStringLiteral("-switzerland,-france")));
    EXPECT_FALSE(MatchPlace(data, QStringLiteral("-switzerland,-zh")));
    // The place group does not look at the other texts.
    IptcBlock other = data;
    other.headline = QStringLiteral("Paris");
    EXPECT_FALSE(MatchPlace(other, QStringLiteral("paris")));
    EXPECT_TRUE(MatchOther(other, QStringLiteral("paris")));
}

TEST(MatchGroups, PeopleWithAndWithoutPersons) {
    IptcBlock nobody;
    // No person: a positive term never matches, a negative one always does, the empty term does not.
    EXPECT_FALSE(MatchPeople(nobody, QStringLiteral("anna")));
    EXPECT_TRUE(MatchPeople(nobody, QStringLiteral("-anna")));
    EXPECT_FALSE(MatchPeople(nobody, QStringLiteral("x,,y")));
    EXPECT_TRUE(MatchPeople(nobody, QString()));

    IptcBlock two;
    two.people = {QStringLiteral("Anna Berg"), u8("Øyvind Ås")};
    EXPECT_TRUE(MatchPeople(two, u8("øyvind")));
    EXPECT_TRUE(MatchPeople(two, QStringLiteral("x,,y")));
    EXPECT_FALSE(MatchPeople(two, QStringLiteral("-berg")));
    EXPECT_TRUE(MatchPeople(two, QStringLiteral("-berg,-carl")));
}

TEST(MatchGroups, OtherSeesTheStoredEventWithItsDates) {
    IptcBlock data;
    data.event = QStringLiteral("06/01/2003-->06/03/2003:::Lake trip");
    data.headline = QStringLiteral("Sunset");
    data.caption = QStringLiteral("From the pier");
    EXPECT_TRUE(MatchOther(data, QStringLiteral("06/03/2003")));
    EXPECT_TRUE(MatchOther(data, QStringLiteral("lake")));
    EXPECT_TRUE(MatchOther(data, QStringLiteral("PIER")));
    EXPECT_FALSE(MatchOther(data, QStringLiteral("-sunset")));
}

TEST(MatchGroups, PictureReadFromAFile) {
    // The test picture carries city "Kingston", state "Ont", country "Canada" and three people.
    const PictureRecord picture(testsupport::dataPath(QStringLiteral("iptc_fields.jpg")));
    ASSERT_EQ(picture.iptc().city, QStringLiteral("Kingston"));
    EXPECT_TRUE(picture.MatchPlace(QStringLiteral("kingston")));
    EXPECT_FALSE(picture.MatchPlace(QStringLiteral("\"kingston\"")));
    EXPECT_TRUE(picture.MatchPeople(QStringLiteral("exiftool")));
    EXPECT_TRUE(picture.MatchOther(QStringLiteral("witty")));
    EXPECT_FALSE(picture.MatchOther(QStringLiteral("kingston")));
}

// The form shows the silver star for a picture without a usable rating; a search must see the same.
TEST(ShownRating, AsTheFormShowsIt) {
    const struct {
        const char* stored;
        int shown;
    } cases[] = {{"", 2}, {"0", 2}, {"x", 2}, {"-1", 2}, {"1", 1}, {" 3 ", 3}, {"4", 4}, {"5", 0}, {"9", 0}};
    for (const auto& c : cases) EXPECT_EQ(picturesearch::shownRating(QString::fromLatin1(c.stored)), c.shown) << c.stored;
}
