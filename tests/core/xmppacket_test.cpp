// The XMP packet: the mapped fields read from real packets, written back in their forms, the rest of
// the packet kept, exact-size serialisation, the date forms, and input that is not a packet.
//
// The test links the toolkit itself to look at packets independently of the code under test.

#include "testsupport.h"
#include "xmppacket.h"

#include <exempi/xmp.h>

#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <set>
#include <tuple>
#include <vector>

using xmp::Field;
using xmp::Packet;
using xmp::Values;

namespace {

constexpr char kDc[] = "http://purl.org/dc/elements/1.1/";
constexpr char kPhotoshop[] = "http://ns.adobe.com/photoshop/1.0/";

// The payloads of the XMP APP1 segments of a JPEG file, after the segment's name.
QList<QByteArray> xmpPayloads(const QByteArray& file) {
    static const QByteArray kName("http://ns.adobe.com/xap/1.0/\0", 29);
    QList<QByteArray> found;
    qsizetype pos = 2;
    while (pos + 4 <= file.size() && uchar(file[pos]) == 0xFF) {
        const int code = uchar(file[pos + 1]);
        if (code == 0xFF) {
            ++pos;
            continue;
        }
        if (code == 0xDA || code == 0xD9) break;
        const int length = (uchar(file[pos + 2]) << 8) | uchar(file[pos + 3]);
        if (length < 2 || pos + 2 + length > file.size()) break;
        const QByteArray payload = file.mid(pos + 4, length - 2);
        if (code == 0xE1 && payload.startsWith(kName)) found.append(payload.mid(kName.size()));
        pos += 2 + length;
    }
    return found;
}

QByteArray dataPacket(const QString& name) {
    const QList<QByteArray> payloads = xmpPayloads(testsupport::readAll(testsupport::dataPath(name)));
    return payloads.isEmpty() ? QByteArray() : payloads.first();
}

// A packet with the given rdf:Description content (attributes first, then elements).
QByteArray packet(const QByteArray& attributes, const QByteArray& elements = {}) {
    return "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>"
           "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
           "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/' "
           "xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/' xmlns:xmp='http://ns.adobe.com/xap/1.0/' "
           "xmlns:Iptc4xmpCore='http://iptc.org/std/Iptc4xmpCore/1.0/xmlns/' " +
           attributes + ">" + elements + "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
}

// Every field as "name=value" lines, so that a mismatch names the field.
QStringList describe(const Values& v) {
    return {"event=" + v.event,         "headline=" + v.headline,
            "caption=" + v.caption,     "people=" + v.people.join(u'|'),
            "location=" + v.location,   "city=" + v.city,
            "state=" + v.state,         "country=" + v.country,
            "date=" + v.dateText,       "time=" + v.timeText,
            "urgency=" + v.urgency,     "instructions=" + v.instructions,
            "byline=" + v.byline,       "bylineTitle=" + v.bylineTitle,
            "credit=" + v.credit,       "source=" + v.source,
            "copyright=" + v.copyright, "writer=" + v.writer,
            "category=" + v.category,   "supplementalCategories=" + v.supplementalCategories.join(u'|')};
}

// The fields with a value, as `has` should report them.
std::set<Field> filled(const Values& v) {
    std::set<Field> f;
    auto add = [&](Field field, bool value) {
        if (value) f.insert(field);
    };
    add(Field::Event, !v.event.isEmpty());
    add(Field::Headline, !v.headline.isEmpty());
    add(Field::Caption, !v.caption.isEmpty());
    add(Field::People, !v.people.isEmpty());
    add(Field::Location, !v.location.isEmpty());
    add(Field::City, !v.city.isEmpty());
    add(Field::State, !v.state.isEmpty());
    add(Field::Country, !v.country.isEmpty());
    add(Field::DateCreated, !v.dateText.isEmpty());
    add(Field::Urgency, !v.urgency.isEmpty());
    add(Field::Instructions, !v.instructions.isEmpty());
    add(Field::Byline, !v.byline.isEmpty());
    add(Field::BylineTitle, !v.bylineTitle.isEmpty());
    add(Field::Credit, !v.credit.isEmpty());
    add(Field::Source, !v.source.isEmpty());
    add(Field::Copyright, !v.copyright.isEmpty());
    add(Field::Writer, !v.writer.isEmpty());
    add(Field::Category, !v.category.isEmpty());
    add(Field::SupplementalCategories, !v.supplementalCategories.isEmpty());
    return f;
}

std::set<Field> hasFields(const Packet& p) {
    std::set<Field> f;
    for (int i = 0; i < xmp::kFieldCount; ++i)
        if (p.has(Field(i))) f.insert(Field(i));
    return f;
}

Values fullValues() {
    Values v;
    v.event = QStringLiteral("Fête de la musique");
    v.headline = QStringLiteral("Große Überschrift");
    v.caption = QStringLiteral("Zeile eins\r\nZeile zwei <&> \"quoted\" 'single' 東京 🎉");
    v.people = {QStringLiteral("Åsa"), QStringLiteral("Bjørn"), QStringLiteral("Ça & va")};
    v.location = QStringLiteral("Place de l'Étoile");
    v.city = QStringLiteral("Zürich");
    v.state = QStringLiteral("Zürich");
    v.country = QStringLiteral("Schweiz");
    v.dateText = QStringLiteral("20210621");
    v.timeText = QStringLiteral("193000+0200");
    v.urgency = QStringLiteral("2");
    v.instructions = QStringLiteral("Nur mit Namensnennung");
    v.byline = QStringLiteral("Émile Zola");
    v.bylineTitle = QStringLiteral("Fotograf");
    v.credit = QStringLiteral("Agence © 2021");
    v.source = QStringLiteral("Archiv");
    v.copyright = QStringLiteral("© 2021 Émile");
    v.writer = QStringLiteral("ÉZ");
    v.category = QStringLiteral("MUS");
    v.supplementalCategories = {QStringLiteral("Musik"), QStringLiteral("Straße")};
    return v;
}

// What the toolkit itself sees in a serialised packet: (schema, path, value) of every leaf.
using Leaf = std::tuple<std::string, std::string, std::string>;
std::set<Leaf> leaves(const QByteArray& bytes) {
    std::set<Leaf> result;
    if (!Packet::parse(bytes)) return result;  // also starts the toolkit
    XmpPtr x = xmp_new(bytes.constData(), size_t(bytes.size()));
    if (!x) return result;
    XmpIteratorPtr it = xmp_iterator_new(x, nullptr, nullptr, XMP_ITER_JUSTLEAFNODES);
    XmpStringPtr schema = xmp_string_new(), path = xmp_string_new(), value = xmp_string_new();
    while (xmp_iterator_next(it, schema, path, value, nullptr))
        result.insert({xmp_string_cstr(schema), xmp_string_cstr(path), xmp_string_cstr(value)});
    xmp_string_free(schema);
    xmp_string_free(path);
    xmp_string_free(value);
    xmp_iterator_free(it);
    xmp_free(x);
    return result;
}

bool isMapped(const std::string& path) {
    for (int i = 0; i < xmp::kFieldCount; ++i) {
        const std::string name = xmp::propertyName(Field(i));
        if (path.rfind(name, 0) == 0 &&
            (path.size() == name.size() || path[name.size()] == '[' || path[name.size()] == '/'))
            return true;
    }
    return false;
}

std::set<Leaf> unmappedLeaves(const QByteArray& bytes) {
    std::set<Leaf> result;
    for (const Leaf& leaf : leaves(bytes))
        if (!isMapped(std::get<1>(leaf))) result.insert(leaf);
    return result;
}

// A property's raw value and form as the toolkit reads it back.
struct Raw {
    bool exists = false;
    std::string value;
    uint32_t options = 0;
};
Raw raw(const QByteArray& bytes, const char* ns, const char* name) {
    Raw r;
    if (!Packet::parse(bytes)) return r;
    XmpPtr x = xmp_new(bytes.constData(), size_t(bytes.size()));
    XmpStringPtr value = xmp_string_new();
    r.exists = xmp_get_property(x, ns, name, value, &r.options);
    r.value = xmp_string_cstr(value);
    xmp_string_free(value);
    xmp_free(x);
    return r;
}

Packet parsed(const QByteArray& bytes) {
    std::optional<Packet> p = Packet::parse(bytes);
    if (!p) ADD_FAILURE() << "does not parse: " << bytes.left(200).toStdString();
    return p ? std::move(*p) : std::move(*Packet::parse(packet("")));
}

Packet rewritten(const Packet& p) { return parsed(p.serialize()); }

const char* const kSourcePackets[] = {"xmp_utf16.jpg", "iptc_repeated.jpg", "iptc_photomech.jpg"};

}  // namespace

TEST(XmpRead, RealPacketsGiveTheirValues) {
    // The values as exiftool reports them for these files' XMP (-n: urgency and category raw).
    struct Case {
        const char* file;
        Values expected;
    };
    Values utf16;
    utf16.event = "Test IPTC picture";
    utf16.headline = "No headline";
    utf16.caption = "UTF-16 (big-endian) encoded XMP";
    utf16.people = {"ExifTool", "Test", "XMP"};
    utf16.city = "Kingston";
    utf16.state = "Ont";
    utf16.country = "Canada";
    utf16.dateText = "20040226";
    utf16.urgency = "8";
    utf16.instructions = "What instructions";
    utf16.byline = "Phil Harvey";
    utf16.bylineTitle = "My Position";
    utf16.credit = "My Credit";
    utf16.source = "I'm the source";
    utf16.copyright = "Copyright 2004 Phil Harvey";
    utf16.writer = "I wrote it";
    utf16.category = "1";
    utf16.supplementalCategories = {"amazing", "image", "utilities"};

    Values mwg;  // two creators: the by-line is the first
    mwg.caption = "WRONG-XMP-Description";
    mwg.people = {"RIGHT1of2-XMP-Keywords", "RIGHT2of2-XMP-Keywords"};
    mwg.city = "RIGHT-XMP-City";
    mwg.dateText = "19930101";
    mwg.timeText = "031111+0100";  // 03:11:11.311+01:00, the fraction dropped
    mwg.byline = "WRONG1of2-XMP-Creator";
    mwg.copyright = "RIGHT-XMP-Copyright";

    Values photoMechanic;
    photoMechanic.event = "Object Name";
    photoMechanic.headline = "Headline";
    photoMechanic.caption = "Caption";
    photoMechanic.people = {"Keywords", "one", "three", "two"};
    photoMechanic.city = "kingston";
    photoMechanic.state = "State";
    photoMechanic.country = "Country";
    photoMechanic.dateText = "20061029";
    photoMechanic.urgency = "8";
    photoMechanic.instructions = "Special ins";
    photoMechanic.byline = "Photographer";
    photoMechanic.bylineTitle = "Title";
    photoMechanic.credit = "Credit";
    photoMechanic.source = "Source";
    photoMechanic.copyright = "Copyright";
    photoMechanic.writer = "Writers";
    photoMechanic.category = "Category";
    photoMechanic.supplementalCategories = {"Supp Cat 1", "Supp Cat 2"};

    const Case cases[] = {{kSourcePackets[0], utf16}, {kSourcePackets[1], mwg}, {kSourcePackets[2], photoMechanic}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Packet p = parsed(dataPacket(c.file));
        EXPECT_EQ(describe(p.values()), describe(c.expected));
        EXPECT_EQ(hasFields(p), filled(c.expected));
    }
}

TEST(XmpWrite, EveryFieldGoesInAndComesOutAndClears) {
    const Values full = fullValues();
    std::vector<QByteArray> sources = {packet("")};
    for (const char* file : kSourcePackets) sources.push_back(dataPacket(file));
    for (const QByteArray& source : sources) {
        SCOPED_TRACE(source.left(120).toStdString());
        Packet p = parsed(source);
        p.set(full);
        const Packet written = rewritten(p);
        EXPECT_EQ(describe(written.values()), describe(full));
        EXPECT_EQ(hasFields(written), filled(full));

        Packet cleared = rewritten(p);
        cleared.set(Values{});
        const Packet empty = rewritten(cleared);
        EXPECT_EQ(describe(empty.values()), describe(Values{}));
        EXPECT_TRUE(hasFields(empty).empty());
        for (const Leaf& leaf : leaves(cleared.serialize()))
            EXPECT_FALSE(isMapped(std::get<1>(leaf))) << std::get<1>(leaf) << " left after clearing";
    }
}

TEST(XmpWrite, OtherPropertiesAndNamespacesStay) {
    const QByteArray extra =
        packet("xmp:Rating='3' photoshop:TransmissionReference='T-1' xmlns:my='http://example.org/my/' my:Thing='x'",
               "<my:List><rdf:Seq><rdf:li>a</rdf:li><rdf:li>b</rdf:li></rdf:Seq></my:List>");
    std::vector<QByteArray> sources = {extra};
    for (const char* file : kSourcePackets) sources.push_back(dataPacket(file));
    for (const QByteArray& source : sources) {
        SCOPED_TRACE(source.left(120).toStdString());
        const std::set<Leaf> before = unmappedLeaves(source);
        ASSERT_FALSE(before.empty());
        Packet p = parsed(source);
        p.set(fullValues());
        EXPECT_EQ(unmappedLeaves(p.serialize()), before);
        p.set(Values{});
        EXPECT_EQ(unmappedLeaves(p.serialize()), before);
    }
}

TEST(XmpWrite, AltTextKeepsOtherLanguages) {
    const QByteArray source = packet("",
                                     "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Old</rdf:li>"
                                     "<rdf:li xml:lang='de'>Alt</rdf:li><rdf:li xml:lang='fr'>Vieux</rdf:li>"
                                     "</rdf:Alt></dc:title>");
    Packet p = parsed(source);
    Values v = p.values();
    EXPECT_EQ(v.event, "Old");
    v.event = "New";
    p.set(v);
    const std::set<Leaf> all = leaves(p.serialize());
    auto item = [&](const char* path, const char* value) { return all.count({kDc, path, value}) == 1; };
    EXPECT_TRUE(item("dc:title[1]", "New"));
    EXPECT_TRUE(item("dc:title[2]", "Alt"));
    EXPECT_TRUE(item("dc:title[3]", "Vieux"));

    // Without an x-default item the first one is read. Writing adds x-default; a lone item was the
    // value read, and takes the new one too.
    Packet german = parsed(packet("", "<dc:title><rdf:Alt><rdf:li xml:lang='de'>Nur</rdf:li></rdf:Alt></dc:title>"));
    EXPECT_EQ(german.values().event, "Nur");
    v.event = "Only";
    german.set(v);
    const std::set<Leaf> alone = leaves(german.serialize());
    EXPECT_TRUE(alone.count({kDc, "dc:title[1]", "Only"}));
    EXPECT_TRUE(alone.count({kDc, "dc:title[2]", "Only"}));
    EXPECT_TRUE(alone.count({kDc, "dc:title[2]/?xml:lang", "de"}));

    // Clearing the field removes every language: a remaining one would be read as the value.
    v.event.clear();
    p.set(v);
    for (const Leaf& leaf : leaves(p.serialize())) EXPECT_NE(std::get<1>(leaf).rfind("dc:title", 0), 0u);
}

TEST(XmpWrite, WrongFormsAreReadAndReplacedByTheRightOnes) {
    const QByteArray source =
        packet("photoshop:SupplementalCategories='Single' photoshop:DateCreated='2001-02-03'",
               "<dc:subject><rdf:Seq><rdf:li>A</rdf:li><rdf:li>B</rdf:li></rdf:Seq></dc:subject>"
               "<dc:creator><rdf:Bag><rdf:li>Me</rdf:li></rdf:Bag></dc:creator>"
               "<photoshop:City><rdf:Alt><rdf:li xml:lang='x-default'>Bern</rdf:li></rdf:Alt></photoshop:City>"
               "<dc:rights><rdf:Bag><rdf:li>Mine</rdf:li></rdf:Bag></dc:rights>");
    Packet p = parsed(source);
    Values v = p.values();
    EXPECT_EQ(v.supplementalCategories, QStringList{"Single"});
    EXPECT_EQ(v.people, QStringList({"A", "B"}));
    EXPECT_EQ(v.byline, "Me");
    EXPECT_EQ(v.city, "Bern");
    EXPECT_EQ(v.copyright, "Mine");
    p.set(v);  // the same values: the forms are still put right
    const QByteArray out = p.serialize();
    EXPECT_EQ(describe(rewritten(p).values()), describe(v));

    struct Form {
        const char* ns;
        const char* name;
        uint32_t mask;
        uint32_t expected;
    };
    const uint32_t arrayBits = XMP_PROP_VALUE_IS_ARRAY | XMP_PROP_ARRAY_IS_ORDERED | XMP_PROP_ARRAY_IS_ALT |
                               XMP_PROP_ARRAY_IS_ALTTEXT | XMP_PROP_VALUE_IS_STRUCT;
    const Form forms[] = {
        {kPhotoshop, "SupplementalCategories", arrayBits, XMP_PROP_VALUE_IS_ARRAY},
        {kDc, "subject", arrayBits, XMP_PROP_VALUE_IS_ARRAY},
        {kDc, "creator", arrayBits, XMP_PROP_VALUE_IS_ARRAY | XMP_PROP_ARRAY_IS_ORDERED},
        {kPhotoshop, "City", arrayBits, 0},
        {kDc, "rights", XMP_PROP_ARRAY_IS_ALTTEXT, XMP_PROP_ARRAY_IS_ALTTEXT},
    };
    for (const Form& f : forms) {
        const Raw r = raw(out, f.ns, f.name);
        EXPECT_TRUE(r.exists) << f.name;
        EXPECT_EQ(r.options & f.mask, f.expected) << f.name;
    }
}

TEST(XmpWrite, UnchangedFieldsKeepWhatTheIptcFormCannotHold) {
    // Two creators and a date with a fraction: written back unchanged, both stay.
    Packet p = parsed(dataPacket("iptc_repeated.jpg"));
    p.set(p.values());
    QByteArray out = p.serialize();
    EXPECT_EQ(raw(out, kPhotoshop, "DateCreated").value, "1993-01-01T03:11:11.311+01:00");
    EXPECT_TRUE(leaves(out).count({kDc, "dc:creator[2]", "WRONG2of2-XMP-Creator"}));

    // A new by-line is a one-item seq.
    Values v = p.values();
    v.byline = "Someone Else";
    p.set(v);
    out = p.serialize();
    EXPECT_TRUE(leaves(out).count({kDc, "dc:creator[1]", "Someone Else"}));
    EXPECT_FALSE(leaves(out).count({kDc, "dc:creator[2]", "WRONG2of2-XMP-Creator"}));

    // A character XML cannot hold is left out instead of failing the whole write.
    v.caption = QStringLiteral("a") + QChar(0xFFFE) + QStringLiteral("b");
    p.set(v);
    EXPECT_EQ(rewritten(p).values().caption, "ab");
    EXPECT_EQ(rewritten(p).values().byline, "Someone Else");
}

TEST(XmpDate, ReadForms) {
    struct Case {
        const char* xmp;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {"2004-02-26", "20040226", ""},
        {"2020-05-06T07:08:09", "20200506", "070809"},
        {"2020-05-06T07:08", "20200506", "070800"},
        {"1993-01-01T03:11:11.311+01:00", "19930101", "031111+0100"},
        {"2020-05-06T07:08:09Z", "20200506", "070809+0000"},
        {"2020-05-06T07:08:09-05:30", "20200506", "070809-0530"},
        {"2020-07", "20200700", ""},
        {"2020", "20200000", ""},
        {"2020-13-01", "", ""},
        {"2021-02-29", "", ""},
        {"2020-05-06T25:00:00", "", ""},
        {"2020:05:06 07:08:09", "", ""},
        {"yesterday", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xmp);
        const Packet p = parsed(packet(QByteArray("photoshop:DateCreated='") + c.xmp + "'"));
        EXPECT_EQ(p.values().dateText, c.date);
        EXPECT_EQ(p.values().timeText, c.time);
        EXPECT_EQ(p.has(Field::DateCreated), *c.date != 0);
    }
}

TEST(XmpDate, WriteForms) {
    struct Case {
        const char* date;
        const char* time;
        const char* xmp;  // as written; the packet's own "1999-09-09" when the texts are not a date
    };
    const Case cases[] = {
        {"20240315", "", "2024-03-15"},
        {"20240315", "103000", "2024-03-15T10:30:00"},
        {"20240315", "103000+0100", "2024-03-15T10:30:00+01:00"},
        {"20240315", "103000-0930", "2024-03-15T10:30:00-09:30"},
        {"20240300", "", "2024-03"},
        {"20240000", "103000", "2024"},
        {"2024031", "", "1999-09-09"},
        {"20240230", "", "1999-09-09"},
        {"20240315", "25", "1999-09-09"},
        {"20240315", "246000", "1999-09-09"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.date) + " " + c.time);
        Packet p = parsed(packet("photoshop:DateCreated='1999-09-09'"));
        Values v;
        v.dateText = c.date;
        v.timeText = c.time;
        p.set(v);
        EXPECT_EQ(raw(p.serialize(), kPhotoshop, "DateCreated").value, c.xmp);
    }
}

TEST(XmpSerialize, ExactSizeWhenItFits) {
    std::vector<QByteArray> sources = {packet("")};
    for (const char* file : kSourcePackets) sources.push_back(dataPacket(file));
    for (const QByteArray& source : sources) {
        SCOPED_TRACE(source.left(120).toStdString());
        Packet p = parsed(source);
        p.set(fullValues());
        const qsizetype tight = p.serialize(0).size();
        EXPECT_EQ(p.serialize(100).size(), tight + 100);
        for (const qsizetype size : {tight, tight + 1, tight + 4000}) {
            const std::optional<QByteArray> exact = p.serializeExactly(size);
            ASSERT_TRUE(exact) << size;
            EXPECT_EQ(exact->size(), size);
            EXPECT_TRUE(exact->endsWith("<?xpacket end=\"w\"?>"));
            EXPECT_EQ(describe(parsed(*exact).values()), describe(fullValues()));
        }
        for (const qsizetype size : {tight - 1, qsizetype(0), qsizetype(-1)})
            EXPECT_FALSE(p.serializeExactly(size)) << size;
        // The packet as read fits where it was (the UTF-16 one even shrinks).
        const Packet unchanged = parsed(source);
        EXPECT_TRUE(unchanged.serializeExactly(source.size()));
    }
}

TEST(XmpSerialize, NothingThatWouldNotReadBack) {
    // The toolkit reads this namespace name but writes it with its quote unescaped.
    const Packet p = parsed(packet("xmlns:odd='http://example.org/a\"b/' odd:x='1' photoshop:City='Bern'"));
    EXPECT_EQ(p.values().city, "Bern");
    EXPECT_TRUE(p.serialize().isEmpty());
    EXPECT_TRUE(p.serialize(0).isEmpty());
    EXPECT_FALSE(p.serializeExactly(8192));
}

TEST(XmpParse, WhatIsNotAPacketGivesNothing) {
    QByteArray deep = packet("", QByteArray("<dc:a>").repeated(100000) + QByteArray("</dc:a>").repeated(100000));
    QByteArray deepRdf = packet(
        "", QByteArray("<dc:a rdf:parseType='Resource'>").repeated(20000) + QByteArray("</dc:a>").repeated(20000));
    // Valid, but nested deeper than allowed past markup that must not count: a count that took it for
    // end tags or empty elements would see a shallow packet.
    auto deepWith = [](const QByteArray& hidden) {
        return packet("", ("<dc:a rdf:parseType='Resource'><dc:v>" + hidden + "</dc:v>").repeated(150) +
                              QByteArray("</dc:a>").repeated(150));
    };
    QByteArray binary(4096, Qt::Uninitialized);
    QRandomGenerator random(1234);
    for (char& c : binary) c = char(random.bounded(256));
    QByteArray huge = packet("", "<dc:x>" + QByteArray(2 * 1024 * 1024, 'a') + "</dc:x>");
    const QByteArray real = dataPacket("iptc_photomech.jpg");
    QByteArray nulInside = packet("photoshop:City='Bern'");
    nulInside.insert(20, '\0');
    const QByteArray rdfOnly =
        "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
        "xmlns:dc='http://purl.org/dc/elements/1.1/' dc:format='image/jpeg'/></rdf:RDF>";

    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"spaces", QByteArray(300, ' ')},
        {"text", "this is not XML at all"},
        {"binary", binary},
        {"cut short", real.left(real.size() / 2)},
        {"no rdf:RDF", "<x:xmpmeta xmlns:x='adobe:ns:meta/'></x:xmpmeta>"},
        {"rdf:RDF outside x:xmpmeta", rdfOnly},
        {"entities", "<?xml version='1.0'?><!DOCTYPE x [<!ENTITY e 'zz'>]>" + packet("dc:format='&e;'")},
        {"two rdf:RDF",
         packet("").replace(
             "</x:xmpmeta>",
             "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
             "xmlns:dc='http://purl.org/dc/elements/1.1/' dc:format='lost'/></rdf:RDF></x:xmpmeta>")},
        {"unclosed", packet("").replace("</rdf:RDF>", "")},
        {"NUL inside", nulInside},
        {"deep", deep},
        {"deep resources", deepRdf},
        {"deep past comments", deepWith("<!--</x></x></x>-->")},
        {"deep past CDATA", deepWith("<![CDATA[</x></x></x>]]>")},
        {"deep past instructions", deepWith("<?pi </x></x></x>?>")},
        {"deep past quoted '/>'", packet("", QByteArray("<dc:a><rdf:Description dc:t='x/>'>").repeated(60) +
                                                 QByteArray("</rdf:Description></dc:a>").repeated(60))},
        {"huge", huge},
        {"UTF-16 garbage", QByteArray("\xFE\xFF", 2) + binary},
    };
    for (const Case& c : cases) EXPECT_FALSE(Packet::parse(c.bytes)) << c.what;

    // Nesting of a dozen levels and an empty packet are fine.
    EXPECT_TRUE(Packet::parse(
        packet("", QByteArray("<dc:a rdf:parseType='Resource'>").repeated(12) + QByteArray("</dc:a>").repeated(12))));
    const std::optional<Packet> empty = Packet::parse(packet(""));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(hasFields(*empty).empty());
}

TEST(XmpParse, CorpusPacketsReadAndWriteBack) {
    // Every XMP packet the corpus holds either parses, and then takes its own values back without
    // change, or gives nothing; none crashes.
    int parsedCount = 0;
    for (const QString& path : testsupport::corpusFiles()) {
        for (const QByteArray& payload : xmpPayloads(testsupport::readAll(path))) {
            SCOPED_TRACE(path.toStdString());
            std::optional<Packet> p = Packet::parse(payload);
            if (!p) continue;
            ++parsedCount;
            const Values before = p->values();
            const std::set<Leaf> others = unmappedLeaves(p->serialize());
            p->set(before);
            const QByteArray out = p->serialize();
            EXPECT_EQ(describe(parsed(out).values()), describe(before));
            EXPECT_EQ(unmappedLeaves(out), others);
        }
    }
    if (!testsupport::corpusDir().isEmpty()) {
        EXPECT_GT(parsedCount, 0);
    }
}

TEST(XmpThreads, PacketsOnSeveralThreadsAtOnce) {
    const QByteArray source = dataPacket("iptc_photomech.jpg");
    auto work = [&](int seed) {
        for (int i = 0; i < 40; ++i) {
            std::optional<Packet> p = Packet::parse(source);
            if (!p) return false;
            Values v = p->values();
            v.caption = QStringLiteral("thread %1 round %2").arg(seed).arg(i);
            p->set(v);
            const std::optional<Packet> back = Packet::parse(p->serialize());
            if (!back || back->values().caption != v.caption || back->values().people != v.people) return false;
            if (Packet::parse("<not xmp")) return false;
        }
        return true;
    };
    std::vector<std::future<bool>> results;
    for (int t = 0; t < 4; ++t) results.push_back(std::async(std::launch::async, work, t));
    for (auto& r : results) EXPECT_TRUE(r.get());
}
