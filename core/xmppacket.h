#pragma once
// The picture data fields as an XMP packet holds them, after the IPTC Photo Metadata mapping:
//   event            dc:title (x-default)            headline      photoshop:Headline
//   caption          dc:description (x-default)      people        dc:subject (bag, in order)
//   location         Iptc4xmpCore:Location           city, state, country  photoshop:City, State, Country
//   date and time    photoshop:DateCreated            rating        photoshop:Urgency
//   instructions     photoshop:Instructions           by-line       dc:creator (seq)
//   by-line title    photoshop:AuthorsPosition        credit        photoshop:Credit
//   source           photoshop:Source                 copyright     dc:rights (x-default)
//   writer           photoshop:CaptionWriter          category      photoshop:Category
//   supplemental categories  photoshop:SupplementalCategories (bag)
// The packet is parsed and written in memory only; every other property and namespace stays as it
// was. No file is touched here.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace xmp {

// One field of the mapping.
enum class Field {
    Event,
    Headline,
    Caption,
    People,
    Location,
    City,
    State,
    Country,
    DateCreated,
    Urgency,
    Instructions,
    Byline,
    BylineTitle,
    Credit,
    Source,
    Copyright,
    Writer,
    Category,
    SupplementalCategories,
};
inline constexpr int kFieldCount = 19;
// "dc:title" and the like, for messages and `info --json`.
const char* propertyName(Field field);

// The values in the forms the IPTC datasets hold them. Lists are people (dc:subject) and
// supplemental categories; by-line is one text (the first dc:creator item when read; written as a
// one-item seq). The date and time are the IPTC forms: `dateText` "YYYYMMDD" and `timeText`
// "HHMMSS" with an optional zone suffix "+HHMM"/"-HHMM"; photoshop:DateCreated reads and writes as
// "YYYY-MM-DD", "YYYY-MM-DDThh:mm:ss" or with a zone "YYYY-MM-DDThh:mm:ss+hh:mm" (a date alone gives
// an empty `timeText`; seconds missing count as 00; fractions are dropped). An empty text (or an
// empty list, or an empty `dateText`) means the field has no value.
struct Values {
    QString event, headline, caption, location, city, state, country, urgency, instructions;
    QString byline, bylineTitle, credit, source, copyright, writer, category;
    QString dateText, timeText;
    QStringList people, supplementalCategories;
};

class Packet {
public:
    // Parses a packet: the bytes of the XMP APP1 segment after its "http://ns.adobe.com/xap/1.0/\0"
    // name, wrapper, padding and all. Nothing when they do not parse as XMP.
    static std::optional<Packet> parse(QByteArrayView bytes);

    Packet(Packet&&) noexcept;
    Packet& operator=(Packet&&) noexcept;
    ~Packet();

    // Whether the packet has the property of `field` with a value (for the localised texts: an
    // x-default item, else the first item; for the lists: at least one item).
    bool has(Field field) const;
    // The values of the properties the packet has; the others stay empty.
    Values values() const;

    // Every leaf property outside the mapping as "schema path=value", sorted: what a save must leave
    // as it was.
    QStringList otherProperties() const;

    // Puts every field into the packet: a value replaces the property's, an empty one removes the
    // property. The array forms are kept: bags for people and supplemental categories, a seq for the
    // by-line, x-default items of alt-texts (other languages' items stay).
    void set(const Values& values);

    // The packet serialised with its wrapper, in UTF-8, exactly `size` bytes long (padded with the
    // spaces and line feeds of the packet's padding), so that it can take the place of the packet as
    // read; nothing when it does not fit in `size`. Nor when what the toolkit writes would not parse
    // again (it does not escape every odd part of a packet it has read), as with `serialize`.
    std::optional<QByteArray> serializeExactly(qsizetype size, Values* readBack = nullptr) const;
    // The packet serialised with its wrapper and `padding` bytes of padding; empty when it would not
    // parse again.
    QByteArray serialize(qsizetype padding = 2048, Values* readBack = nullptr) const;

private:
    struct Impl;
    explicit Packet(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace xmp
