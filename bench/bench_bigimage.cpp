// The large picture view on a 20-megapixel picture: from selecting the picture to its large view
// painted, against decoding the picture at full size. The picture is made at start in a temporary
// folder; the view runs on the offscreen platform.
//
//   bench_bigimage --benchmark_filter=BigImage

#include "bigimageview.h"
#include "entrylistview.h"
#include "framecontext.h"
#include "picturerecord.h"
#include "settingsstore.h"
#include "snaploredoc.h"

#include <QApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

// Answers every question with No: the bench never saves.
class NoPrompter : public Prompter {
public:
    int messageBox(const QString&, const QString&, unsigned) override { return id::No; }
    unsigned choiceMessageBox(const QString&, const QString&, unsigned, const ChoiceParams&) override {
        return id::No;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString existingDirectory(const QString&, const QString&) override { return {}; }
};

class BenchFrame : public FrameContext {
public:
    explicit BenchFrame(const QString& iniPath) : settings_(iniPath) {}
    CSnaploreDoc& document() override { return document_; }
    Prompter& prompter() override { return prompter_; }
    SettingsStore& settings() override { return settings_; }
    void OpenFolder(const QString&) override {}
    QString currentFolder() const override { return {}; }
    QString myDocumentsPath() const override { return {}; }
    QString myPicturesPath() const override { return {}; }
    void setStatusText(const QString&, bool) override {}
    void setArchiveStrings(const QString&, const QString&) override {}
    void createCatalog() override {}
    void startPictureDrag(PictureRecord&, QWidget*) override {}
    bool isActiveView(const QWidget*) const override { return false; }
    void setActiveView(QWidget*) override {}
    int pictureCount() const override { return 0; }
    int pictureIndex(const PictureRecord*, const QString&) const override { return -1; }
    const PictureRecord* pictureAt(int) const override { return nullptr; }
    void firstPicture() override {}
    void nextPicture() override {}
    void previousPicture() override {}
    const EntryListView& entryList() const override { return entries_; }

    struct NoEntries : EntryListView {
        QList<OutputEntry> entries() const override { return {}; }
    } entries_;
    NoPrompter prompter_;
    SettingsStore settings_;
    CSnaploreDoc document_{prompter_};
};

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

// A 5472 x 3648 picture with detail in it, so that the decoder has real work.
const QString& twentyMegapixels() {
    static const QString path = [] {
        QImage image(5472, 3648, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, image.width(), image.height());
        gradient.setColorAt(0, QColor(30, 90, 160));
        gradient.setColorAt(1, QColor(220, 180, 60));
        painter.fillRect(image.rect(), gradient);
        painter.setPen(QPen(Qt::white, 3));
        for (int x = 0; x < image.width(); x += 37) painter.drawLine(x, 0, image.width() - x, image.height());
        painter.end();
        const QString file = scratch().filePath(QStringLiteral("twenty.jpg"));
        QImageWriter writer(file, "jpeg");
        writer.setQuality(90);
        if (!writer.write(image)) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return file;
    }();
    return path;
}

void BM_BigImageFullDecode(benchmark::State& state) {
    const QString path = twentyMegapixels();
    for (auto _ : state) {
        QImageReader reader(path);
        reader.setAutoTransform(false);
        const QImage image = reader.read();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_BigImageFullDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// Selecting the picture opens it in the document; the view loads what it needs and paints. 1000
// pixels wide as in a usual picture column, and 1920 as a slide show's change without the decode ahead.
// The timed loop of both: `path` opened afresh in the document, and the view of `size` painted.
void openAndPaint(benchmark::State& state, BenchFrame& frame, const QString& path, QSize size) {
    CBigImageView view(frame);
    view.resize(size);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        frame.document().NewDocument();
        frame.document().OpenPictureFile(path);
        view.viewport()->repaint();
    }
    state.counters["decoded_width"] = frame.document().picture() ? frame.document().picture()->image().width() : 0;
}

void BM_BigImageSelectToPainted(benchmark::State& state) {
    BenchFrame frame(scratch().filePath(QStringLiteral("Snaplore.conf")));
    openAndPaint(state, frame, twentyMegapixels(), QSize(int(state.range(0)), int(state.range(1))));
}
BENCHMARK(BM_BigImageSelectToPainted)->Args({1000, 760})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseRealTime();

// The slide show decodes the next picture at screen size while the current one shows: this is the
// work taken off the change of picture.
void BM_SlideShowScreenDecode(benchmark::State& state) {
    const QString path = twentyMegapixels();
    for (auto _ : state) {
        const QImage image = PictureRecord::decodeImage(path, 0, QSize(1920, 1080));
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_SlideShowScreenDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// A change of picture in a full-screen slide show when the picture was decoded ahead: the view takes
// the decoded image and paints. Against BM_BigImageSelectToPainted/1920/1080, which decodes on arrival.
void BM_SlideShowChangeDecodedAhead(benchmark::State& state) {
    const QString path = twentyMegapixels();
    const QImage ahead = PictureRecord::decodeImage(path, 0, QSize(1920, 1080));
    BenchFrame frame(scratch().filePath(QStringLiteral("Snaplore.conf")));
    // Connected before the view, so the image is there when the view looks for it.
    QObject::connect(&frame.document(), &CSnaploreDoc::updateAllViews, [&] {
        if (PictureRecord* p = frame.document().picture(); p && !p->imageLoaded()) p->adoptImage(ahead, 0);
    });
    openAndPaint(state, frame, path, QSize(1920, 1080));
}
BENCHMARK(BM_SlideShowChangeDecodedAhead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
