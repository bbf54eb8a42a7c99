// Parses an IPTC dataset list, builds it again as a rewrite would, and parses the result. What the
// user sees must survive the round trip, and a second round trip must change nothing at all.

#include "fuzzsupport.h"
#include "iptcblock.h"
#include "textcodec.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

struct Field {
    QString IptcBlock::*member;
    const char* name;
};
const Field kFields[] = {
    {&IptcBlock::byline, "byline"},       {&IptcBlock::bylineTitle, "bylineTitle"},
    {&IptcBlock::credit, "credit"},       {&IptcBlock::source, "source"},
    {&IptcBlock::writer, "writer"},       {&IptcBlock::caption, "caption"},
    {&IptcBlock::headline, "headline"},   {&IptcBlock::instructions, "instructions"},
    {&IptcBlock::event, "event"},         {&IptcBlock::dateText, "dateText"},
    {&IptcBlock::timeText, "timeText"},   {&IptcBlock::location, "location"},
    {&IptcBlock::city, "city"},           {&IptcBlock::state, "state"},
    {&IptcBlock::country, "country"},     {&IptcBlock::rating, "rating"},
    {&IptcBlock::copyright, "copyright"}, {&IptcBlock::transmissionReference, "transmissionReference"},
    {&IptcBlock::category, "category"},
};

[[noreturn]] void mismatch(const char* what, const QByteArray& before, const QByteArray& after) {
    fprintf(stderr, "IPTC round trip changed %s\n  before: %s\n  after:  %s\n", what, before.toHex(' ').constData(),
            after.toHex(' ').constData());
    __builtin_trap();
}

// Field for field, with the offending one named: sameData alone would not say which.
void requireSameFields(const IptcBlock& a, const IptcBlock& b) {
    for (const Field& f : kFields)
        if (a.*(f.member) != b.*(f.member)) mismatch(f.name, (a.*(f.member)).toUtf8(), (b.*(f.member)).toUtf8());
    if (a.supplementalCategories != b.supplementalCategories)
        mismatch("supplementalCategories", a.supplementalCategories.join('|').toUtf8(),
                 b.supplementalCategories.join('|').toUtf8());
    if (a.people != b.people) mismatch("people", a.people.join('|').toUtf8(), b.people.join('|').toUtf8());
    IptcBlock fieldsA, fieldsB;
    fieldsA.Copy(a);
    fieldsB.Copy(b);
    if (!fieldsA.sameData(fieldsB)) mismatch("sameData over the fields", {}, {});
}

struct Dataset {
    int record, number;
    QByteArrayView value;
    bool operator==(const Dataset&) const = default;
};

// The kept datasets are whole datasets (1C rr nn LLLL value) back to back, nothing else.
std::vector<Dataset> split(const QByteArray& kept, const char* what) {
    std::vector<Dataset> out;
    const auto* d = reinterpret_cast<const uint8_t*>(kept.constData());
    qsizetype pos = 0;
    while (pos < kept.size()) {
        if (kept.size() - pos < 5 || d[pos] != 0x1C) mismatch(what, kept, {});
        const qsizetype length = (d[pos + 3] << 8) | d[pos + 4];
        if (length > kept.size() - pos - 5) mismatch(what, kept, {});
        out.push_back({d[pos + 1], d[pos + 2], QByteArrayView(kept).sliced(pos + 5, length)});
        pos += 5 + length;
    }
    return out;
}

// Record-2 datasets that the IIM defines as binary (record version, rasterized caption, audio,
// object preview, thumbnail); all others hold text.
bool binaryDataset(int number) {
    return number == 0 || number == 125 || (number >= 150 && number <= 154) || (number >= 200 && number <= 202) ||
           number == 224;
}

std::vector<Dataset> withoutCharacterSet(std::vector<Dataset> list) {
    std::erase_if(list, [](const Dataset& d) { return d.record == 1 && d.number == 90; });
    return list;
}

bool anyTextNonAscii(const IptcBlock& block) {
    for (const Field& f : kFields)
        if (!snaplore::text::isAscii(block.*(f.member))) return true;
    for (const QStringList* list : {&block.supplementalCategories, &block.people})
        for (const QString& s : *list)
            if (!snaplore::text::isAscii(s)) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    snaplore::fuzz::initQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IptcBlock first;
    first.ParseDatasetList(QByteArrayView(data, qsizetype(size)));

    WriteError error;
    const QByteArray list = first.BuildDatasetList(&error);
    if (error == WriteError::TooLarge) return 0;  // refused, not written: nothing to compare
    if (error != WriteError::None || list.size() < 2) __builtin_trap();
    if (((uint8_t(list[0]) << 8) | uint8_t(list[1])) != list.size() - 2) mismatch("the list length", {}, list.first(2));

    IptcBlock second;
    second.ParseDatasetList(QByteArrayView(list).sliced(2));
    requireSameFields(first, second);

    // Kept datasets go back as they were, except where the build legitimately rewrites them: it
    // declares UTF-8 (1:90) when a field needs it, and then converts kept Windows-1252 text, which
    // must still read as the same text.
    const bool declaresUtf8 = anyTextNonAscii(first);
    if (first.otherRecordsAfter != second.otherRecordsAfter)
        mismatch("otherRecordsAfter", first.otherRecordsAfter, second.otherRecordsAfter);
    if (!declaresUtf8) {
        if (first.otherRecordsBefore != second.otherRecordsBefore)
            mismatch("otherRecordsBefore", first.otherRecordsBefore, second.otherRecordsBefore);
    } else {
        const auto before = split(first.otherRecordsBefore, "otherRecordsBefore (read)");
        const auto after = split(second.otherRecordsBefore, "otherRecordsBefore (rebuilt)");
        const Dataset utf8{1, 90, QByteArrayView("\x1B%G", 3)};
        if (withoutCharacterSet(before) != withoutCharacterSet(after) ||
            std::count(after.begin(), after.end(), utf8) != 1)
            mismatch("otherRecordsBefore (UTF-8 declared)", first.otherRecordsBefore, second.otherRecordsBefore);
    }
    const auto unknownBefore = split(first.UnknownDatasets, "UnknownDatasets (read)");
    const auto unknownAfter = split(second.UnknownDatasets, "UnknownDatasets (rebuilt)");
    const bool transcoded = declaresUtf8 && first.sourceEncoding() == IptcBlock::TextEncoding::Windows1252;
    if (unknownBefore.size() != unknownAfter.size())
        mismatch("UnknownDatasets", first.UnknownDatasets, second.UnknownDatasets);
    for (size_t i = 0; i < unknownBefore.size(); ++i) {
        Dataset expected = unknownBefore[i];
        QByteArray converted;
        if (transcoded && !binaryDataset(expected.number) && !snaplore::text::isAscii(expected.value)) {
            converted = snaplore::text::fromWindows1252(expected.value).toUtf8();
            expected.value = converted;
        }
        if (!(expected == unknownAfter[i])) mismatch("UnknownDatasets", first.UnknownDatasets, second.UnknownDatasets);
    }

    // Once normalised, a second rewrite of the same block writes the same bytes and reads the same.
    const QByteArray again = second.BuildDatasetList(&error);
    if (error != WriteError::None) mismatch("the second build's success", list, {});
    if (again != list) mismatch("the list on the second build", list, again);
    IptcBlock third;
    third.ParseDatasetList(QByteArrayView(again).sliced(2));
    if (!second.sameData(third)) mismatch("sameData after the second build", list, again);
    return 0;
}
