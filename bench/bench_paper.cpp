// Reading paper: one 300-dpi page from its decoded image to its answers,
// beside the decoding of that page's JPEG, and a class PDF read with its
// pages in parallel.

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <opencv2/imgcodecs.hpp>

#include "bench/scanpages.h"
#include "paper/scanreading.h"

namespace {

constexpr double kScanDpi = 300;

const std::vector<uchar>& pageJpeg()
{
    static const std::vector<uchar> bytes = [] {
        std::vector<uchar> out;
        cv::imencode(".jpg", scannedPage(0, kScanDpi), out, { cv::IMWRITE_JPEG_QUALITY, 85 });
        return out;
    }();
    return bytes;
}

// The baseline: the same decoding the reader does for an image file.
void BM_decodePageJpeg(benchmark::State& state)
{
    const std::vector<uchar>& jpeg = pageJpeg();
    cv::Mat grey;
    for (auto _ : state) {
        cv::imdecode(jpeg, cv::IMREAD_GRAYSCALE, &grey);
        benchmark::DoNotOptimize(grey.data);
    }
}
BENCHMARK(BM_decodePageJpeg)->Unit(benchmark::kMillisecond);

void BM_readPage(benchmark::State& state)
{
    const cv::Mat grey = cv::imdecode(pageJpeg(), cv::IMREAD_GRAYSCALE);
    PageBuffers buffers;
    for (auto _ : state) {
        ScannedPage page;
        readScannedPage(grey, buffers, page);
        if (!page.problem.isEmpty()) {
            state.SkipWithError(qPrintable(page.problem));
            break;
        }
        benchmark::DoNotOptimize(page.marked);
    }
}
BENCHMARK(BM_readPage)->Unit(benchmark::kMillisecond);

// Wall time of the whole class, reported per page.
void BM_readClassPdf(benchmark::State& state)
{
    constexpr int kPages = 30;
    static QTemporaryDir dir;
    static const QString pdf = dir.filePath(QStringLiteral("clase.pdf"));
    static const bool written = writeScannedPdf(pdf, kPages, kScanDpi);
    if (!written) {
        state.SkipWithError("cannot write the class PDF");
        return;
    }
    for (auto _ : state) {
        const std::vector<ScannedPage> pages = readScans({ pdf });
        if (pages.size() != kPages || !pages.back().problem.isEmpty()) {
            state.SkipWithError("the class PDF was not read");
            break;
        }
    }
    state.counters["s_per_page"] = benchmark::Counter(
        double(kPages) * double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_readClassPdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
