// Writes a class PDF of scanned answer sheets for the memory benchmark.
// Usage: make_scans FILE.pdf PAGES [DPI]
#include <QGuiApplication>

#include <cstdio>

#include "bench/scanpages.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_scans FILE.pdf PAGES [DPI]\n");
        return 2;
    }
    const double dpi = argc > 3 ? std::atof(argv[3]) : 300.0;
    return writeScannedPdf(QString::fromLocal8Bit(argv[1]), std::atoi(argv[2]), dpi) ? 0 : 1;
}
