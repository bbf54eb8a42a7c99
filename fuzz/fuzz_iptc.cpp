// Parses an IPTC dataset list and builds it again twice, as a save would: once unchanged, once with a
// new headline. Unchanged, every dataset read (zero-length and extended-length ones too) must go
// back as it was; changed, only the headline may differ, apart from the UTF-8 declaration and the
// conversion of kept Windows-1252 text that non-ASCII text brings. A second build of what was built
// must change nothing at all.

#include "fuzzsupport.h"
#include "iptcwalk.h"
#include "iptcblock.h"
#include "textcodec.h"

#include <QByteArrayView>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using namespace snaplore::fuzz;

constexpr QByteArrayView kUtf8("\x1B%G", 3);

[[noreturn]] void mismatch(const char* what, QByteArrayView before, QByteArrayView after) {
    fprintf(stderr, "IPTC round trip changed %s\n  before: %s\n  after:  %s\n", what,
            before.toByteArray().toHex(' ').constData(), after.toByteArray().toHex(' ').constData());
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

// The whole datasets at the start of `list`; `end` gets the offset where the walk stopped.
std::vector<Dataset> datasets(QByteArrayView list, qsizetype* end = nullptr) {
    std::vector<Dataset> out;
    const qsizetype stop = appendDatasets(list, out);
    if (end) *end = stop;
    return out;
}

// A kept run (UnknownDatasets and the other records) holds whole datasets back to back, nothing else.
void requireWholeDatasets(const QByteArray& run, const char* what) {
    qsizetype end = 0;
    datasets(run, &end);
    if (end != run.size()) mismatch(what, run, {});
}

// The datasets as a build writes them: the records before 2, then record 2, then the later ones,
// each in the order read.
struct Groups {
    QByteArray before, record2, after;
    QByteArray joined() const { return before + record2 + after; }
};
Groups grouped(const std::vector<Dataset>& list) {
    Groups g;
    for (const Dataset& ds : list) (ds.record < 2 ? g.before : ds.record == 2 ? g.record2 : g.after).append(ds.whole);
    return g;
}

bool isHeadline(const Dataset& ds) { return ds.record == 2 && ds.number == 105 && !ds.extended; }

// Record-2 datasets that the IIM defines as binary (record version, rasterized caption, audio,
// object preview, thumbnail); all others hold text.
bool binaryDataset(int number) {
    return number == 0 || number == 125 || (number >= 150 && number <= 154) || (number >= 200 && number <= 202) ||
           number == 224;
}

// The last character-set dataset decides how the text is read.
bool declaresUtf8(const std::vector<Dataset>& list) {
    bool utf8 = false;
    for (const Dataset& ds : list)
        if (ds.record == 1 && ds.number == 90) utf8 = ds.value == kUtf8;
    return utf8;
}

QByteArray datasetBytes(int record, int number, const QByteArray& value) {
    QByteArray out;
    out.append(char(0x1C)).append(char(record)).append(char(number));
    out.append(char(value.size() >> 8)).append(char(value.size() & 0xFF));
    return out + value;
}

QByteArray body(const QByteArray& list) {
    if (list.size() < 2) __builtin_trap();
    if (((uint8_t(list[0]) << 8) | uint8_t(list[1])) != list.size() - 2) mismatch("the list length", {}, list.first(2));
    return list.sliced(2);
}

QByteArray padded(QByteArray datasets) {
    if (datasets.size() & 1) datasets.append('\0');
    return datasets;
}

// Built again without a change, a block writes exactly the list it was read from.
void requireStable(const IptcBlock& block, const QByteArray& list) {
    WriteError error;
    const QByteArray again = block.BuildDatasetList(&error);
    if (error != WriteError::None) mismatch("the second build's success", list, {});
    if (again != list) mismatch("the list on the second build", list, again);
    IptcBlock reread;
    reread.ParseDatasetList(QByteArrayView(again).sliced(2));
    if (!block.sameData(reread)) mismatch("sameData after the second build", list, again);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    snaplore::fuzz::initQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input(data, qsizetype(size));
    IptcBlock first;
    first.ParseDatasetList(input);
    requireWholeDatasets(first.UnknownDatasets, "UnknownDatasets (read)");
    requireWholeDatasets(first.otherRecordsBefore, "otherRecordsBefore (read)");
    requireWholeDatasets(first.otherRecordsAfter, "otherRecordsAfter (read)");
    const std::vector<Dataset> read = datasets(input);

    // Unchanged: every dataset read goes back byte for byte, grouped by record, padded to even.
    WriteError error;
    const QByteArray list = first.BuildDatasetList(&error);
    if (error == WriteError::TooLarge) return 0;  // refused, not written: nothing to compare
    if (error != WriteError::None) __builtin_trap();
    const QByteArray expected = padded(grouped(read).joined());
    if (body(list) != expected) mismatch("the unchanged list", expected, body(list));
    IptcBlock second;
    second.ParseDatasetList(body(list));
    requireSameFields(first, second);
    if (first.UnknownDatasets != second.UnknownDatasets)
        mismatch("UnknownDatasets", first.UnknownDatasets, second.UnknownDatasets);
    if (first.otherRecordsBefore != second.otherRecordsBefore)
        mismatch("otherRecordsBefore", first.otherRecordsBefore, second.otherRecordsBefore);
    if (first.otherRecordsAfter != second.otherRecordsAfter)
        mismatch("otherRecordsAfter", first.otherRecordsAfter, second.otherRecordsAfter);
    requireStable(second, list);

    // Changed: the last byte picks the new headline (plain, none, or text that needs UTF-8).
    IptcBlock edited = first;
    switch (size > 0 ? data[size - 1] & 3 : 0) {
        case 0: edited.headline = QStringLiteral("fuzz"); break;
        case 1: edited.headline.clear(); break;
        case 2: edited.headline = QStringLiteral("Stra\u00DFe in Z\u00FCrich"); break;
        default: edited.headline += QStringLiteral("\u20AC"); break;
    }
    if (edited.headline == first.headline) return 0;
    const QByteArray changedList = edited.BuildDatasetList(&error);
    if (error == WriteError::TooLarge) return 0;
    if (error != WriteError::None) __builtin_trap();
    const QByteArray changedBody = body(changedList);
    IptcBlock third;
    third.ParseDatasetList(changedBody);
    requireSameFields(edited, third);

    // Non-ASCII text makes the list declare UTF-8 when it did not; kept Windows-1252 text then
    // follows into UTF-8, except in binary and extended-length datasets.
    // It does so too when the list was read as Windows-1252 only because of the old headline: the
    // rest, all valid UTF-8, would otherwise read back as other text.
    bool anyCharacterSet = false, keptNonAscii = false, keptAllUtf8 = true;
    for (const Dataset& ds : read) {
        anyCharacterSet = anyCharacterSet || (ds.record == 1 && ds.number == 90);
        if (ds.record != 2 || ds.extended || binaryDataset(ds.number) || isHeadline(ds) ||
            snaplore::text::isAscii(ds.value))
            continue;
        keptNonAscii = true;
        keptAllUtf8 = keptAllUtf8 && snaplore::text::isValidUtf8(ds.value);
    }
    const bool meaningWouldChange = first.sourceEncoding() == IptcBlock::TextEncoding::Windows1252 &&
                                    !anyCharacterSet && keptNonAscii && keptAllUtf8;
    const bool addUtf8 =
        (!snaplore::text::isAscii(edited.headline) || meaningWouldChange) && !declaresUtf8(read);
    const bool transcode = addUtf8 && first.sourceEncoding() == IptcBlock::TextEncoding::Windows1252;
    Groups want;
    for (const Dataset& ds : read) {
        if (ds.record < 2) {
            if (!(addUtf8 && ds.number == 90 && ds.record == 1)) want.before.append(ds.whole);
        } else if (ds.record > 2) {
            want.after.append(ds.whole);
        } else if (!isHeadline(ds)) {
            if (transcode && !ds.extended && !binaryDataset(ds.number) && !snaplore::text::isAscii(ds.value))
                want.record2.append(
                    datasetBytes(2, ds.number, snaplore::text::fromWindows1252(ds.value).toUtf8()));
            else
                want.record2.append(ds.whole);
        }
    }
    if (addUtf8) want.before.append(datasetBytes(1, 90, kUtf8.toByteArray()));

    Groups got;
    QByteArray headlines;
    for (const Dataset& ds : datasets(changedBody)) {
        if (isHeadline(ds))
            headlines.append(ds.whole);
        else
            (ds.record < 2 ? got.before : ds.record == 2 ? got.record2 : got.after).append(ds.whole);
    }
    if (got.before != want.before) mismatch("the records before 2", want.before, got.before);
    if (got.record2 != want.record2) mismatch("the record-2 datasets besides the headline", want.record2, got.record2);
    if (got.after != want.after) mismatch("the records after 2", want.after, got.after);
    const QByteArray wantHeadline =
        edited.headline.isEmpty() ? QByteArray() : datasetBytes(2, 105, edited.headline.toUtf8());
    if (headlines != wantHeadline) mismatch("the headline datasets", wantHeadline, headlines);

    // Once built, the list is what a later unchanged build writes again.
    requireStable(third, changedList);
    return 0;
}
