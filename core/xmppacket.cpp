#include "xmppacket.h"

#include "diagnostics.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <dlfcn.h>
#include <iostream>
#include <limits>
#include <type_traits>

// Only the declarations and constants: the library itself is loaded on first use.
#include <exempi/xmp.h>

namespace xmp {
namespace {

// An XMP packet in a JPEG fits in one APP1 segment (under 64 KiB). Far larger input is not such a
// packet, and the toolkit's property lookups grow with the square of the property count.
constexpr qsizetype kMaxPacketSize = 1024 * 1024;
// The toolkit builds, walks and frees the element tree recursively, so a deep enough nesting runs
// off the stack. Real packets nest about a dozen levels.
constexpr int kMaxNesting = 100;

// exempi is loaded on first use instead of being linked: loading it with the program made every
// start of snaplore-cli about a tenth slower, and most runs never meet an XMP packet. Only the
// in-memory calls are bound; the file calls are not, so the toolkit never opens a file.
struct Exempi {
    decltype(&::xmp_init) init;
    decltype(&::xmp_get_error) get_error;
    decltype(&::xmp_new_empty) new_empty;
    decltype(&::xmp_copy) copy;
    decltype(&::xmp_free) free;
    decltype(&::xmp_parse) parse;
    decltype(&::xmp_serialize) serialize;
    decltype(&::xmp_get_property) get_property;
    decltype(&::xmp_get_array_item) get_array_item;
    decltype(&::xmp_get_localized_text) get_localized_text;
    decltype(&::xmp_set_property) set_property;
    decltype(&::xmp_set_localized_text) set_localized_text;
    decltype(&::xmp_append_array_item) append_array_item;
    decltype(&::xmp_delete_property) delete_property;
    decltype(&::xmp_has_property) has_property;
    decltype(&::xmp_string_new) string_new;
    decltype(&::xmp_string_free) string_free;
    decltype(&::xmp_string_cstr) string_cstr;
    decltype(&::xmp_string_len) string_len;
    decltype(&::xmp_iterator_new) iterator_new;
    decltype(&::xmp_iterator_next) iterator_next;
    decltype(&::xmp_iterator_free) iterator_free;
};
Exempi lib;

// Loads and starts the toolkit; false when it is not there or does not start.
bool startToolkit() {
    void* handle = dlopen(SNAPLORE_EXEMPI_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        qCWarning(lcXmp) << "XMP packets are not read:" << dlerror();
        return false;
    }
    bool bound = true;
    auto bind = [&](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
        bound = bound && function;
    };
    bind(lib.init, "xmp_init");
    bind(lib.get_error, "xmp_get_error");
    bind(lib.new_empty, "xmp_new_empty");
    bind(lib.copy, "xmp_copy");
    bind(lib.free, "xmp_free");
    bind(lib.parse, "xmp_parse");
    bind(lib.serialize, "xmp_serialize");
    bind(lib.get_property, "xmp_get_property");
    bind(lib.get_array_item, "xmp_get_array_item");
    bind(lib.get_localized_text, "xmp_get_localized_text");
    bind(lib.set_property, "xmp_set_property");
    bind(lib.set_localized_text, "xmp_set_localized_text");
    bind(lib.append_array_item, "xmp_append_array_item");
    bind(lib.delete_property, "xmp_delete_property");
    bind(lib.has_property, "xmp_has_property");
    bind(lib.string_new, "xmp_string_new");
    bind(lib.string_free, "xmp_string_free");
    bind(lib.string_cstr, "xmp_string_cstr");
    bind(lib.string_len, "xmp_string_len");
    bind(lib.iterator_new, "xmp_iterator_new");
    bind(lib.iterator_next, "xmp_iterator_next");
    bind(lib.iterator_free, "xmp_iterator_free");
    if (!bound) {
        qCWarning(lcXmp) << "XMP packets are not read:" << SNAPLORE_EXEMPI_LIBRARY << "lacks a function";
        return false;
    }
    // exempi prints the message of every error it reports on std::cerr as well as returning
    // false. A picture with a broken packet is an ordinary case here and must not print toolkit
    // noise; the program itself never writes to std::cerr.
    std::cerr.setstate(std::ios::badbit);
    bool ready = false;
    try {
        ready = lib.init();
    } catch (...) {
    }
    if (!ready) qCWarning(lcXmp) << "XMP packets are not read: the toolkit did not start";
    return ready;
}

// Whether the toolkit is there and started. It starts once, in whichever thread reads a packet
// first, while the others wait (a function's static is initialised once, thread-safely; unlike
// std::call_once it needs no thread-local storage, which would add a library to every start).
// Calls on separate packets need no lock of ours: the toolkit locks each packet object and its
// shared namespace table itself, and keeps the last error per thread.
bool toolkitReady() {
    static const bool ready = startToolkit();
    return ready;
}

struct XmpFree {
    void operator()(XmpPtr x) const noexcept {
        try {
            lib.free(x);
        } catch (...) {
        }
    }
};
using XmpHandle = std::unique_ptr<std::remove_pointer_t<XmpPtr>, XmpFree>;

class XmpText {
public:
    XmpText() : s_(lib.string_new()) {
        if (!s_) throw std::bad_alloc();
    }
    ~XmpText() { lib.string_free(s_); }
    XmpText(const XmpText&) = delete;
    XmpText& operator=(const XmpText&) = delete;
    XmpStringPtr get() const { return s_; }
    QString text() const { return QString::fromUtf8(lib.string_cstr(s_), qsizetype(lib.string_len(s_))); }

private:
    XmpStringPtr s_;
};

constexpr const char* kNsDc = "http://purl.org/dc/elements/1.1/";
constexpr const char* kNsPhotoshop = "http://ns.adobe.com/photoshop/1.0/";
constexpr const char* kNsIptcCore = "http://iptc.org/std/Iptc4xmpCore/1.0/xmlns/";

enum class Form { Simple, AltText, Bag, Seq, Date };

struct Mapping {
    Field field;
    const char* ns;
    const char* name;
    const char* label;
    Form form;
    QString Values::*text;      // the simple and alt-text fields, and the by-line
    QStringList Values::*list;  // the bags
};

const Mapping kMappings[] = {
    {Field::Event, kNsDc, "title", "dc:title", Form::AltText, &Values::event, nullptr},
    {Field::Headline, kNsPhotoshop, "Headline", "photoshop:Headline", Form::Simple, &Values::headline, nullptr},
    {Field::Caption, kNsDc, "description", "dc:description", Form::AltText, &Values::caption, nullptr},
    {Field::People, kNsDc, "subject", "dc:subject", Form::Bag, nullptr, &Values::people},
    {Field::Location, kNsIptcCore, "Location", "Iptc4xmpCore:Location", Form::Simple, &Values::location, nullptr},
    {Field::City, kNsPhotoshop, "City", "photoshop:City", Form::Simple, &Values::city, nullptr},
    {Field::State, kNsPhotoshop, "State", "photoshop:State", Form::Simple, &Values::state, nullptr},
    {Field::Country, kNsPhotoshop, "Country", "photoshop:Country", Form::Simple, &Values::country, nullptr},
    {Field::DateCreated, kNsPhotoshop, "DateCreated", "photoshop:DateCreated", Form::Date, nullptr, nullptr},
    {Field::Urgency, kNsPhotoshop, "Urgency", "photoshop:Urgency", Form::Simple, &Values::urgency, nullptr},
    {Field::Instructions, kNsPhotoshop, "Instructions", "photoshop:Instructions", Form::Simple, &Values::instructions,
     nullptr},
    {Field::Byline, kNsDc, "creator", "dc:creator", Form::Seq, &Values::byline, nullptr},
    {Field::BylineTitle, kNsPhotoshop, "AuthorsPosition", "photoshop:AuthorsPosition", Form::Simple,
     &Values::bylineTitle, nullptr},
    {Field::Credit, kNsPhotoshop, "Credit", "photoshop:Credit", Form::Simple, &Values::credit, nullptr},
    {Field::Source, kNsPhotoshop, "Source", "photoshop:Source", Form::Simple, &Values::source, nullptr},
    {Field::Copyright, kNsDc, "rights", "dc:rights", Form::AltText, &Values::copyright, nullptr},
    {Field::Writer, kNsPhotoshop, "CaptionWriter", "photoshop:CaptionWriter", Form::Simple, &Values::writer, nullptr},
    {Field::Category, kNsPhotoshop, "Category", "photoshop:Category", Form::Simple, &Values::category, nullptr},
    {Field::SupplementalCategories, kNsPhotoshop, "SupplementalCategories", "photoshop:SupplementalCategories",
     Form::Bag, nullptr, &Values::supplementalCategories},
};
static_assert(sizeof(kMappings) / sizeof(kMappings[0]) == kFieldCount);

const Mapping& mappingOf(Field field) {
    for (const Mapping& s : kMappings)
        if (s.field == field) return s;
    return kMappings[0];
}

// --- Reading the bytes -------------------------------------------------------------------------

// The packet as UTF-8 without NUL bytes, the form handed to the toolkit. A packet may come in
// UTF-16 or UTF-32 (told by its first bytes, as XML does); trailing NULs are padding some writers
// leave. With no NUL left, the toolkit cannot take the text for a wider encoding and so sees the
// same markup as the nesting check below.
std::optional<QByteArray> utf8Text(QByteArrayView bytes) {
    auto starts = [&](QByteArrayView prefix) { return bytes.startsWith(prefix); };
    std::optional<QStringConverter::Encoding> wide;
    if (starts(QByteArrayView("\x00\x00\xFE\xFF", 4)) || starts(QByteArrayView("\x00\x00\x00<", 4)))
        wide = QStringConverter::Utf32BE;
    else if (starts(QByteArrayView("\xFF\xFE\x00\x00", 4)) || starts(QByteArrayView("<\x00\x00\x00", 4)))
        wide = QStringConverter::Utf32LE;
    else if (starts("\xFE\xFF") || starts(QByteArrayView("\x00<", 2)))
        wide = QStringConverter::Utf16BE;
    else if (starts("\xFF\xFE") || starts(QByteArrayView("<\x00", 2)))
        wide = QStringConverter::Utf16LE;

    QByteArray text;
    if (wide) {
        QStringDecoder decode(*wide);
        text = QString(decode(bytes)).toUtf8();
    } else {
        text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3).toByteArray() : bytes.toByteArray();
    }
    while (text.endsWith('\0')) text.chop(1);
    if (text.contains('\0')) return std::nullopt;
    return text;
}

// Whether the elements of `text` nest no deeper than `limit`. The count never falls below what an
// XML parser has built when it stops: markup inside comments, CDATA sections, processing
// instructions and quoted attribute values does not count, and whatever is not a comment, CDATA,
// instruction or end tag counts as an element opened.
bool nestingWithin(QByteArrayView text, int limit) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    int depth = 0;
    auto skipPast = [&](QByteArrayView end) {
        const qsizetype at = text.indexOf(end, i);
        i = at < 0 ? n : at + end.size();
    };
    while (i < n) {
        const qsizetype open = text.indexOf('<', i);
        if (open < 0) break;
        i = open + 1;
        const QByteArrayView rest = text.sliced(i);
        if (rest.startsWith("!--")) {
            i += 3;
            skipPast("-->");
            continue;
        }
        if (rest.startsWith("![CDATA[")) {
            i += 8;
            skipPast("]]>");
            continue;
        }
        if (rest.startsWith("?")) {
            i += 1;
            skipPast("?>");
            continue;
        }
        const bool endTag = rest.startsWith("/");
        char quote = 0;
        qsizetype j = i;
        for (; j < n; ++j) {
            const char c = text[j];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        const bool emptyElement = !endTag && j < n && j > i && text[j - 1] == '/';
        i = j < n ? j + 1 : n;
        if (endTag) {
            if (depth > 0) --depth;
        } else if (!emptyElement && ++depth > limit) {
            return false;
        }
    }
    return true;
}

// The rdf:RDF elements inside x:xmpmeta (or the older x:xapmeta), which are all the toolkit looks
// at: it reads the first of them only, and takes a packet without one for an empty packet.
struct RdfElements {
    int count = 0;
    bool wellFormed = false;
};
RdfElements rdfInMetaElement(const QByteArray& text) {
    static const QString kMetaNs = QStringLiteral("adobe:ns:meta/");
    static const QString kRdfNs = QStringLiteral("http://www.w3.org/1999/02/22-rdf-syntax-ns#");
    QXmlStreamReader reader(text);
    RdfElements rdf;
    int metaDepth = -1;
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                if (metaDepth < 0 && reader.namespaceUri() == kMetaNs &&
                    (reader.name() == u"xmpmeta" || reader.name() == u"xapmeta"))
                    metaDepth = depth;
                else if (metaDepth >= 0 && reader.namespaceUri() == kRdfNs && reader.name() == u"RDF")
                    ++rdf.count;
                break;
            case QXmlStreamReader::EndElement:
                if (depth == metaDepth) metaDepth = -1;
                --depth;
                break;
            default:
                break;
        }
    }
    rdf.wellFormed = !reader.hasError();
    return rdf;
}

// At most one start tag whose local name is "RDF" can be in the text: every "RDF" that is not part of
// an end tag is counted, in markup or not, so the count is never below the real one. Lets reading
// pass over the full walk above for the packets that plainly have one rdf:RDF.
bool atMostOneRdfStart(QByteArrayView text) {
    int starts = 0;
    for (qsizetype at = text.indexOf("RDF"); at >= 0; at = text.indexOf("RDF", at + 3)) {
        qsizetype i = at;
        // Back over the prefix to the tag's '<'; an end tag has '/' after it.
        while (i > 0 && text[i - 1] != '<' && text[i - 1] != '>' && !std::isspace(uchar(text[i - 1]))) --i;
        const bool endTag = i > 0 && text[i - 1] == '<' && i < text.size() && text[i] == '/';
        if (!endTag && ++starts > 1) return false;
    }
    return true;
}

bool hasAnyNode(XmpPtr x) {
    XmpIteratorPtr it = lib.iterator_new(x, nullptr, nullptr, XMP_ITER_PROPERTIES);
    if (!it) return false;
    const bool any = lib.iterator_next(it, nullptr, nullptr, nullptr, nullptr);
    lib.iterator_free(it);
    return any;
}

// --- Reading properties --------------------------------------------------------------------------

struct Property {
    uint32_t options = 0;
    QString value;  // a simple property's
};

std::optional<Property> property(XmpPtr x, const Mapping& s) {
    XmpText value;
    Property p;
    if (!lib.get_property(x, s.ns, s.name, value.get(), &p.options)) return std::nullopt;
    p.value = value.text();
    return p;
}

// The simple items of an array property, or the value of a simple one; empty texts left out.
QStringList readItems(XmpPtr x, const Mapping& s) {
    QStringList items;
    const std::optional<Property> p = property(x, s);
    if (!p) return items;
    if (XMP_IS_PROP_SIMPLE(p->options)) {
        if (!p->value.isEmpty()) items.append(p->value);
        return items;
    }
    if (!XMP_IS_PROP_ARRAY(p->options)) return items;
    XmpText item;
    uint32_t options = 0;
    for (int32_t index = 1; lib.get_array_item(x, s.ns, s.name, index, item.get(), &options); ++index) {
        if (XMP_IS_PROP_SIMPLE(options) && lib.string_len(item.get()) > 0) items.append(item.text());
    }
    return items;
}

// One text: the value of a simple property, the x-default (else the first) item of an alt-text,
// the first item of any other array.
QString readText(XmpPtr x, const Mapping& s) {
    const std::optional<Property> p = property(x, s);
    if (!p) return {};
    if (XMP_IS_PROP_SIMPLE(p->options)) return p->value;
    if (!XMP_IS_PROP_ARRAY(p->options)) return {};
    XmpText item;
    if (XMP_IS_ARRAY_ALTTEXT(p->options) &&
        lib.get_localized_text(x, s.ns, s.name, "", "x-default", nullptr, item.get(), nullptr))
        return item.text();
    uint32_t options = 0;
    if (lib.get_array_item(x, s.ns, s.name, 1, item.get(), &options) && XMP_IS_PROP_SIMPLE(options)) return item.text();
    return {};
}

struct DateTime {
    QString date, time;
    bool operator==(const DateTime&) const = default;
};

// "YYYY", "YYYY-MM", "YYYY-MM-DD", then optionally "Thh:mm", ":ss", a fraction and a zone ("Z" or
// "+hh:mm"), into the IPTC forms "YYYYMMDD" (00 for a missing month or day) and "HHMMSS+HHMM".
std::optional<DateTime> parseXmpDate(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{4})(?:-(\d{2})(?:-(\d{2})(?:T(\d{2}):(\d{2})(?::(\d{2})(?:[.,]\d+)?)?(Z|[+-]\d{2}:\d{2})?)?)?)?$)"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    const int year = m.captured(1).toInt();
    const int month = m.hasCaptured(2) ? m.captured(2).toInt() : 0;
    const int day = m.hasCaptured(3) ? m.captured(3).toInt() : 0;
    if (month > 12 || (m.hasCaptured(2) && month == 0)) return std::nullopt;
    if (day > 0 && !QDate(year, month, day).isValid()) return std::nullopt;
    if (m.hasCaptured(3) && day == 0) return std::nullopt;
    DateTime result;
    result.date = QStringLiteral("%1%2%3")
                      .arg(m.captured(1))
                      .arg(month, 2, 10, QLatin1Char('0'))
                      .arg(day, 2, 10, QLatin1Char('0'));
    if (m.hasCaptured(4)) {
        const int hour = m.captured(4).toInt(), minute = m.captured(5).toInt();
        const int second = m.hasCaptured(6) ? m.captured(6).toInt() : 0;
        if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
        result.time = m.captured(4) + m.captured(5) + (m.hasCaptured(6) ? m.captured(6) : QStringLiteral("00"));
        const QString zone = m.captured(7);
        if (zone == u"Z") {
            result.time += QStringLiteral("+0000");
        } else if (!zone.isEmpty()) {
            if (zone.mid(1, 2).toInt() > 23 || zone.mid(4, 2).toInt() > 59) return std::nullopt;
            result.time += zone.left(3) + zone.mid(4, 2);
        }
    }
    return result;
}

// The XMP form of IPTC date and time texts; nothing when they are not a date and time. A month or
// day of 00 (unknown) shortens the date, and a time then has nothing to attach to.
std::optional<QString> xmpDate(const QString& dateText, const QString& timeText) {
    static const QRegularExpression datePattern(QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})$)"));
    static const QRegularExpression timePattern(QStringLiteral(R"(^(\d{2})(\d{2})(\d{2})(?:([+-])(\d{2})(\d{2}))?$)"));
    const QRegularExpressionMatch d = datePattern.match(dateText);
    if (!d.hasMatch()) return std::nullopt;
    const int year = d.captured(1).toInt(), month = d.captured(2).toInt(), day = d.captured(3).toInt();
    if (month > 12 || (month == 0 && day != 0)) return std::nullopt;
    if (day != 0 && !QDate(year, month, day).isValid()) return std::nullopt;
    QRegularExpressionMatch t;
    if (!timeText.isEmpty()) {
        t = timePattern.match(timeText);
        if (!t.hasMatch() || t.captured(1).toInt() > 23 || t.captured(2).toInt() > 59 || t.captured(3).toInt() > 59)
            return std::nullopt;
        if (t.hasCaptured(4) && (t.captured(5).toInt() > 23 || t.captured(6).toInt() > 59)) return std::nullopt;
    }
    if (month == 0) return d.captured(1);
    if (day == 0) return d.captured(1) + u'-' + d.captured(2);
    QString text = d.captured(1) + u'-' + d.captured(2) + u'-' + d.captured(3);
    if (t.hasMatch()) {
        text += u'T' + t.captured(1) + u':' + t.captured(2) + u':' + t.captured(3);
        if (t.hasCaptured(4)) text += t.captured(4) + t.captured(5) + u':' + t.captured(6);
    }
    return text;
}

DateTime readDate(XmpPtr x, const Mapping& s) {
    const std::optional<DateTime> date = parseXmpDate(readText(x, s));
    return date ? *date : DateTime{};
}

// --- Writing properties --------------------------------------------------------------------------

// U+FFFE and U+FFFF cannot appear in XML; the toolkit refuses a value holding one.
QString xmlText(QString text) {
    text.removeIf([](QChar c) { return c.unicode() == 0xFFFE || c.unicode() == 0xFFFF; });
    return text;
}

QStringList xmlTexts(const QStringList& texts) {
    QStringList result;
    for (const QString& t : texts) {
        const QString clean = xmlText(t);
        if (!clean.isEmpty()) result.append(clean);
    }
    return result;
}

bool removeProperty(XmpPtr x, const Mapping& s) {
    return !lib.has_property(x, s.ns, s.name) || lib.delete_property(x, s.ns, s.name);
}

bool writeArray(XmpPtr x, const Mapping& s, uint32_t arrayForm, const QStringList& items) {
    if (!removeProperty(x, s)) return false;
    for (const QString& item : items)
        if (!lib.append_array_item(x, s.ns, s.name, arrayForm, item.toUtf8().constData(), 0)) return false;
    return true;
}

// Writes one field; a property that already holds the value in the right form is left as it is, so
// that its qualifiers, other items (a second creator) and date precision stay.
bool writeField(XmpPtr x, const Mapping& s, const Values& values) {
    const std::optional<Property> p = property(x, s);
    const uint32_t options = p ? p->options : 0;
    const bool simple = p && XMP_IS_PROP_SIMPLE(options);
    // Replaces the property when it has another form than the one written.
    auto clearOtherForm = [&](bool rightForm) { return !p || rightForm || removeProperty(x, s); };
    switch (s.form) {
        case Form::Simple: {
            const QString value = xmlText(values.*s.text);
            if (value.isEmpty()) return removeProperty(x, s);
            if (simple && p->value == value) return true;
            return clearOtherForm(simple) && lib.set_property(x, s.ns, s.name, value.toUtf8().constData(), 0);
        }
        case Form::AltText: {
            const QString value = xmlText(values.*s.text);
            if (value.isEmpty()) return removeProperty(x, s);
            const bool altText = p && XMP_IS_ARRAY_ALTTEXT(options);
            if (altText && readText(x, s) == value) return true;
            return clearOtherForm(altText) &&
                   lib.set_localized_text(x, s.ns, s.name, "", "x-default", value.toUtf8().constData(), 0);
        }
        case Form::Seq: {
            const QString value = xmlText(values.*s.text);
            if (value.isEmpty()) return removeProperty(x, s);
            const bool seq = p && XMP_IS_ARRAY_ORDERED(options) && !XMP_IS_ARRAY_ALT(options);
            if (seq && readText(x, s) == value) return true;
            return writeArray(x, s, XMP_PROP_VALUE_IS_ARRAY | XMP_PROP_ARRAY_IS_ORDERED, {value});
        }
        case Form::Bag: {
            const QStringList items = xmlTexts(values.*s.list);
            if (items.isEmpty()) return removeProperty(x, s);
            const bool bag = p && XMP_IS_PROP_ARRAY(options) && XMP_IS_ARRAY_UNORDERED(options);
            if (bag && readItems(x, s) == items) return true;
            return writeArray(x, s, XMP_PROP_VALUE_IS_ARRAY, items);
        }
        case Form::Date: {
            if (values.dateText.isEmpty()) return removeProperty(x, s);
            const std::optional<QString> text = xmpDate(values.dateText, values.timeText);
            // Texts that are not a date leave the property as it is rather than lose it.
            if (!text) return true;
            if (simple && parseXmpDate(p->value) == parseXmpDate(*text)) return true;
            return clearOtherForm(simple) && lib.set_property(x, s.ns, s.name, text->toUtf8().constData(), 0);
        }
    }
    return false;
}

}  // namespace

const char* propertyName(Field field) { return mappingOf(field).label; }

struct Packet::Impl {
    XmpHandle xmp;
};

Packet::Packet(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Packet::Packet(Packet&&) noexcept = default;
Packet& Packet::operator=(Packet&&) noexcept = default;
Packet::~Packet() = default;

std::optional<Packet> Packet::parse(QByteArrayView bytes) {
    if (bytes.size() > kMaxPacketSize) return std::nullopt;
    try {
        if (!toolkitReady()) return std::nullopt;
        const std::optional<QByteArray> text = utf8Text(bytes);
        if (!text || !nestingWithin(*text, kMaxNesting)) return std::nullopt;
        XmpHandle x(lib.new_empty());
        if (!x) return std::nullopt;
        if (!lib.parse(x.get(), text->constData(), size_t(text->size()))) {
            qCDebug(lcXmp) << "packet does not parse, toolkit error" << lib.get_error();
            return std::nullopt;
        }
        // Writing back a packet whose properties the toolkit did not all see would lose them: those
        // of a second rdf:RDF, or all of them when it found none where it looks (an rdf:RDF outside
        // x:xmpmeta). A packet that only seems empty is taken when it has its one rdf:RDF.
        const bool anyNode = hasAnyNode(x.get());
        if (!anyNode || !atMostOneRdfStart(*text)) {
            const RdfElements rdf = rdfInMetaElement(*text);
            if (rdf.count > 1) return std::nullopt;
            if (!anyNode && (rdf.count == 0 || !rdf.wellFormed)) return std::nullopt;
        }
        auto impl = std::make_unique<Impl>();
        impl->xmp = std::move(x);
        return Packet(std::move(impl));
    } catch (...) {
        return std::nullopt;
    }
}

bool Packet::has(Field field) const {
    if (!impl_) return false;
    try {
        const Mapping& s = mappingOf(field);
        switch (s.form) {
            case Form::Bag:
                return !readItems(impl_->xmp.get(), s).isEmpty();
            case Form::Date:
                return !readDate(impl_->xmp.get(), s).date.isEmpty();
            default:
                return !readText(impl_->xmp.get(), s).isEmpty();
        }
    } catch (...) {
        return false;
    }
}

QStringList Packet::otherProperties() const {
    QStringList out;
    if (!impl_) return out;
    try {
        XmpIteratorPtr it = lib.iterator_new(impl_->xmp.get(), nullptr, nullptr, XMP_ITER_JUSTLEAFNODES);
        if (!it) return out;
        XmpText schema, path, value;
        while (lib.iterator_next(it, schema.get(), path.get(), value.get(), nullptr)) {
            const QString name = path.text();
            bool mapped = false;
            for (const Mapping& s : kMappings) {
                const QString label = QLatin1String(s.label);
                if (name.startsWith(label) &&
                    (name.size() == label.size() || name[label.size()] == u'[' || name[label.size()] == u'/'))
                    mapped = true;
            }
            if (!mapped) out << schema.text() + u' ' + name + u'=' + value.text();
        }
        lib.iterator_free(it);
    } catch (...) {
    }
    out.sort();
    return out;
}

Values Packet::values() const {
    Values result;
    if (!impl_) return result;
    try {
        XmpPtr x = impl_->xmp.get();
        for (const Mapping& s : kMappings) {
            switch (s.form) {
                case Form::Bag:
                    result.*s.list = readItems(x, s);
                    break;
                case Form::Date: {
                    const DateTime date = readDate(x, s);
                    result.dateText = date.date;
                    result.timeText = date.time;
                    break;
                }
                default:
                    result.*s.text = readText(x, s);
                    break;
            }
        }
    } catch (...) {
    }
    return result;
}

void Packet::set(const Values& values) {
    // Written on a copy that replaces the packet only when every field went in: a failing toolkit
    // call can leave a half-made property behind.
    if (!impl_) return;
    try {
        XmpHandle copy(lib.copy(impl_->xmp.get()));
        if (!copy) return;
        for (const Mapping& s : kMappings) {
            if (!writeField(copy.get(), s, values)) {
                qCWarning(lcXmp) << "could not write" << s.label << "toolkit error" << lib.get_error();
                return;
            }
        }
        impl_->xmp = std::move(copy);
    } catch (...) {
    }
}

// What the toolkit writes is read back before it is given out: it writes some odd parts of a packet
// it has read (a namespace name holding a quote) without escaping them, and a packet that no longer
// parses must not take the place of one that did.
std::optional<QByteArray> Packet::serializeExactly(qsizetype size, Values* readBack) const {
    if (!impl_ || size <= 0 || quint64(size) > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    try {
        XmpText out;
        if (!lib.serialize(impl_->xmp.get(), out.get(), XMP_SERIAL_USECOMPACTFORMAT | XMP_SERIAL_EXACTPACKETLENGTH,
                           uint32_t(size)))
            return std::nullopt;
        QByteArray bytes(lib.string_cstr(out.get()), qsizetype(lib.string_len(out.get())));
        if (bytes.size() != size) return std::nullopt;
        const std::optional<Packet> again = parse(bytes);
        if (!again) return std::nullopt;
        if (readBack) *readBack = again->values();
        return bytes;
    } catch (...) {
        return std::nullopt;
    }
}

QByteArray Packet::serialize(qsizetype padding, Values* readBack) const {
    if (!impl_) return {};
    try {
        XmpText out;
        if (padding <= 0) {
            // The toolkit takes a padding of 0 for its default of 2 KiB: one byte shorter than the
            // packet with one byte of padding is the packet with none.
            if (!lib.serialize(impl_->xmp.get(), out.get(), XMP_SERIAL_USECOMPACTFORMAT, 1)) return {};
            return serializeExactly(qsizetype(lib.string_len(out.get())) - 1, readBack).value_or(QByteArray());
        }
        const uint32_t pad = uint32_t(std::min<qsizetype>(padding, std::numeric_limits<int32_t>::max()));
        if (!lib.serialize(impl_->xmp.get(), out.get(), XMP_SERIAL_USECOMPACTFORMAT, pad)) return {};
        QByteArray bytes(lib.string_cstr(out.get()), qsizetype(lib.string_len(out.get())));
        const std::optional<Packet> again = parse(bytes);
        if (!again) return {};
        if (readBack) *readBack = again->values();
        return bytes;
    } catch (...) {
        return {};
    }
}

}  // namespace xmp
