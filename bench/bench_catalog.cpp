// Timings of the catalog on camera pictures (tests/data and the corpus's exif-samples), each folder
// copied COPIES times so that a catalog has the size of a real one:
//   Create       writing a folder's catalog, against InfoJson, the work of `snaplore-cli info --json`
//   Load         loading it with every entry, against ReadBytes, reading the file's bytes
//   Update       the catalog after one picture was written, against WriteOnce, writing the
//                catalog's bytes once through the safe write
//   SaveInCataloguedFolder  the window's save: the time until it takes input again (manual time),
//                with the picture's own write and the catalog's write in the background as counters
// Load also reports the heap that a loaded catalog holds, against the catalog file's size.
// Arg 50 gives about 2,000 pictures.
//
//   bench_catalog --benchmark_filter=Catalog

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QCoreApplication>
#include <chrono>
#include <map>
#include <memory>

#include "catalog.h"
#include "catalogupdate.h"
#include "picturechange.h"
#include "picturejson.h"
#include "picturerecord.h"
#include "prompter.h"
#include "safewrite.h"
#include "snaploredoc.h"

namespace {

QStringList cameraPictures() {
    QStringList files;
    for (const QString& folder :
         {QStringLiteral(SNAPLORE_TEST_DATA), QStringLiteral(SNAPLORE_CORPUS_DIR "/exif-samples")}) {
        QDirIterator it(folder, {"*.jpg"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) files << it.next();
    }
    files.sort();
    return files;
}

// A folder with `copies` copies of every camera picture, made once per size and kept for the run.
const QTemporaryDir& pictureFolder(int copies) {
    static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    auto& dir = folders[copies];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        int n = 0;
        for (int c = 0; c < copies; ++c)
            for (const QString& path : cameraPictures())
                QFile::copy(
                    path,
                    dir->filePath(
                        QStringLiteral("%1_%2").arg(n++, 5, 10, QLatin1Char('0')).arg(QFileInfo(path).fileName())));
    }
    return *dir;
}

QStringList picturesIn(const QTemporaryDir& dir) {
    QStringList files;
    for (const QString& name : QDir(dir.path()).entryList({"*.jpg"}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

void BM_CatalogCreate(benchmark::State& state) {
    const QTemporaryDir& dir = pictureFolder(int(state.range(0)));
    Catalog catalog;
    for (auto _ : state) {
        const CatalogCreateReport report = catalog.create(dir.path(), false);
        if (!report.ok()) state.SkipWithError("create failed");
        benchmark::DoNotOptimize(report.count);
    }
    state.counters["pictures"] = double(picturesIn(dir).size());
}
BENCHMARK(BM_CatalogCreate)->Arg(1)->Arg(20)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

// What `snaplore-cli info --json` does for the same files, in process.
void BM_CatalogInfoJson(benchmark::State& state) {
    const QStringList files = picturesIn(pictureFolder(int(state.range(0))));
    for (auto _ : state) {
        QJsonArray all;
        for (const QString& path : files) {
            const PictureRecord picture(path);
            all.append(pictureToJson(picture, path, {}));
        }
        benchmark::DoNotOptimize(QJsonDocument(all).toJson(QJsonDocument::Indented).size());
    }
}
BENCHMARK(BM_CatalogInfoJson)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CatalogLoad(benchmark::State& state) {
    const QTemporaryDir& dir = pictureFolder(int(state.range(0)));
    Catalog catalog;
    catalog.create(dir.path(), false);
    const double fileSize = double(QFileInfo(dir.filePath("Snaplore.sidx")).size());
    {
        // The heap a loaded catalog holds, with the whole-file buffer of loading given back.
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        Catalog held;
        held.load(dir.path(), true);
        const double bytes = double(mallinfo2().uordblks) - double(before);
        state.counters["fileKiB"] = fileSize / 1024;
        state.counters["heldKiB"] = bytes / 1024;
        state.counters["heldPerFileByte"] = bytes / fileSize;
    }
    for (auto _ : state) {
        Catalog loaded;
        loaded.load(dir.path(), true);
        benchmark::DoNotOptimize(loaded.pictures().size());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * fileSize));
}
BENCHMARK(BM_CatalogLoad)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading the catalog file's bytes and nothing else: the floor for loading.
void BM_CatalogReadBytes(benchmark::State& state) {
    const QTemporaryDir& dir = pictureFolder(int(state.range(0)));
    Catalog catalog;
    catalog.create(dir.path(), false);
    for (auto _ : state) {
        QFile file(dir.filePath("Snaplore.sidx"));
        file.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(file.readAll().size());
    }
}
BENCHMARK(BM_CatalogReadBytes)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Writes a new headline into one picture, as every writer does, and hands over what its catalog keeps.
PictureChange writeHeadline(const QString& path, int n) {
    PictureRecord picture(path);
    picture.iptc().headline = QStringLiteral("Headline %1").arg(n);
    PictureChange change;
    picture.iptc().WriteIptc({}, nullptr, true, &change);
    return change;
}

void BM_CatalogUpdate(benchmark::State& state) {
    const QTemporaryDir& dir = pictureFolder(int(state.range(0)));
    Catalog().create(dir.path(), false);
    const QString picture = picturesIn(dir).front();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const PictureChange change = writeHeadline(picture, ++n);
        state.ResumeTiming();
        if (!catalogupdate::applyToFolder(dir.path(), {change}).written) state.SkipWithError("update failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations() * QFileInfo(dir.filePath("Snaplore.sidx")).size()));
}
BENCHMARK(BM_CatalogUpdate)->Arg(1)->Arg(20)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor for an update: the catalog's bytes read and written once through the safe write.
void BM_CatalogWriteOnce(benchmark::State& state) {
    const QTemporaryDir& dir = pictureFolder(int(state.range(0)));
    Catalog().create(dir.path(), false);
    for (auto _ : state) {
        QFile file(dir.filePath("Snaplore.sidx"));
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        const WriteResult result = safeWrite(dir.filePath("copy.bin"), [&](QFile& out) {
            return out.write(bytes) == bytes.size();
        });
        if (!result) state.SkipWithError("write failed");
    }
    QFile::remove(dir.filePath("copy.bin"));
}
BENCHMARK(BM_CatalogWriteOnce)->Arg(1)->Arg(20)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

class SilentPrompter final : public Prompter {
public:
    int messageBox(const QString&, const QString&, unsigned) override { return id::Ok; }
    unsigned choiceMessageBox(const QString&, const QString&, unsigned, const ChoiceParams&) override { return 0; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString existingDirectory(const QString&, const QString&) override { return {}; }
};

// The window's save of the open picture in a catalogued folder: the time from Save until the window
// takes input again. Counters: the picture's own write alone (another picture, no document), and the
// catalog's write that follows in the background.
void BM_SaveInCataloguedFolder(benchmark::State& state) {
    const QTemporaryDir& dir = pictureFolder(int(state.range(0)));
    Catalog().create(dir.path(), false);
    const QStringList pictures = picturesIn(dir);
    SilentPrompter prompter;
    CSnaploreDoc document(prompter);
    if (!document.OpenPictureFile(pictures.front())) state.SkipWithError("open failed");
    double pictureMs = 0, catalogMs = 0;
    int n = 0;
    for (auto _ : state) {
        ++n;
        document.setFormEdit([n](PictureRecord& p) { p.iptc().headline = QStringLiteral("Saved %1").arg(n); });
        const auto start = std::chrono::steady_clock::now();
        if (!document.SavePictureFile()) state.SkipWithError("save failed");
        state.SetIterationTime(msSince(start) / 1000);

        const auto alone = std::chrono::steady_clock::now();
        PictureRecord other(pictures.back());
        other.iptc().headline = QStringLiteral("Alone %1").arg(n);
        other.save();
        pictureMs += msSince(alone);

        const auto background = std::chrono::steady_clock::now();
        document.finishCatalogWrites();
        catalogMs += msSince(background);
    }
    state.counters["pictureWriteMs"] = pictureMs / n;
    state.counters["catalogWriteMs"] = catalogMs / n;
    state.counters["pictures"] = double(pictures.size());
}
BENCHMARK(BM_SaveInCataloguedFolder)->Arg(50)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The document's background catalog writes report back through the event loop's thread.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
