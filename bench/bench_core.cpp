// Timings of the picture core on real pictures: tests/data plus, when present, the shared corpus
// (its malformed/ folder left out: those files measure error paths, not pictures).
//
//   bench_core --benchmark_filter=HeaderWalk

#include "pictureheader.h"
#include "picturerecord.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QStringList jpegsUnder(const QString& folder, bool recursive) {
    QStringList files;
    QDirIterator it(folder, {"*.jpg", "*.jpeg", "*.JPG", "*.JPEG"}, QDir::Files,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.contains(QLatin1String("/malformed/"))) files << path;
    }
    files.sort();
    return files;
}

// Every sample picture: what a folder listing meets.
const QStringList& allPictures() {
    static const QStringList files =
        jpegsUnder(SNAPLORE_TEST_DATA, false) + jpegsUnder(SNAPLORE_CORPUS_DIR, true);
    return files;
}

// The camera pictures: what a caption edit rewrites.
const QStringList& cameraPictures() {
    static const QStringList files =
        jpegsUnder(SNAPLORE_TEST_DATA, false) + jpegsUnder(SNAPLORE_CORPUS_DIR "/exif-samples", true);
    return files;
}

// The header walk as a folder listing runs it: open, walk, close.
void BM_HeaderWalkFromFile(benchmark::State& state) {
    const QStringList& files = allPictures();
    for (auto _ : state)
        for (const QString& path : files) {
            PictureRecord picture(path);
            benchmark::DoNotOptimize(picture.headerSize());
        }
    state.SetItemsProcessed(state.iterations() * files.size());
    state.counters["files"] = double(files.size());
}
BENCHMARK(BM_HeaderWalkFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same walk over bytes already in memory (as from a catalog's header copy): the parsing alone.
void BM_HeaderWalkInMemory(benchmark::State& state) {
    std::vector<QByteArray> pictures;
    for (const QString& path : allPictures()) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) pictures.push_back(f.readAll());
    }
    for (auto _ : state)
        for (const QByteArray& bytes : pictures) {
            QBuffer buffer;
            buffer.setData(bytes);
            buffer.open(QIODevice::ReadOnly);
            JpegSectionReader reader;
            IptcBlock iptc;
            PictureHeader header;
            WalkPictureHeader(buffer, buffer.size(), reader, iptc, header);
            benchmark::DoNotOptimize(header.headerSize);
        }
    state.SetItemsProcessed(state.iterations() * qint64(pictures.size()));
}
BENCHMARK(BM_HeaderWalkInMemory)->Unit(benchmark::kMillisecond);

// A caption edit: read, set the headline, rewrite safely (temporary file, flush, read back, rename).
// Each round starts from fresh copies so that every round does the same work.
void BM_RewritePerMegabyte(benchmark::State& state) {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    // The originals are kept in memory: the corpus is read-only, and copies must be writable.
    struct Job {
        QByteArray original;
        QString copy;
    };
    auto restore = [](const Job& job) {
        QFile out(job.copy);
        return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(job.original) == job.original.size();
    };
    std::vector<Job> jobs;
    qint64 bytes = 0;
    for (const QString& path : cameraPictures()) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly)) continue;
        Job job{in.readAll(), dir.filePath(QString::number(jobs.size()) + ".jpg")};
        // Only pictures that can be rewritten at all: a refused file measures nothing.
        if (!restore(job)) continue;
        PictureRecord probe(job.copy);
        if (!probe.isJpeg() || !probe.iptc().WriteIptc()) continue;
        bytes += job.original.size();
        jobs.push_back(std::move(job));
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (const Job& job : jobs) restore(job);
        state.ResumeTiming();
        for (const Job& job : jobs) {
            PictureRecord picture(job.copy);
            picture.iptc().headline = QStringLiteral("Benchmark headline");
            if (!picture.iptc().WriteIptc()) state.SkipWithError(qPrintable("rewrite failed: " + job.copy));
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * qint64(jobs.size()));
    state.counters["files"] = double(jobs.size());
    state.counters["MB"] = double(bytes) / (1 << 20);
}
BENCHMARK(BM_RewritePerMegabyte)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
