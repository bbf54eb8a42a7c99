// Timings of the catalog on camera pictures (tests/data and the corpus's exif-samples), each folder
// copied COPIES times so that a catalog has the size of a real one:
//   Create       writing a folder's catalog, against InfoJson, the work of `snaplore-cli info --json`
//   Load         loading it with every entry, against ReadBytes, reading the file's bytes
// Load also reports the heap that a loaded catalog holds, against the catalog file's size.
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
#include <map>
#include <memory>

#include "catalog.h"
#include "picturejson.h"
#include "picturerecord.h"

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
BENCHMARK(BM_CatalogCreate)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

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

}  // namespace

BENCHMARK_MAIN();
