#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include "paper/pagereader.h"
#include "paper/scanreadwatch.h"
#include "platform/filestamp.h"
#include "paper/sheetcode.h"

// Reading a class's scans: every page of every input, located, decoded and
// measured, in parallel over the cores.

struct DoubtfulCell {
    int question = 0;
    int answer = 0;
    float fill = 0;
};

struct ScannedPage {
    QString source; // the input file
    int page = 1; // within it, from 1
    int pagesInSource = 1;
    // Why the page yields no sheet; empty when it was read.
    QString problem;
    std::optional<SheetCode> code;
    // The roster id, or the number the student filled in.
    QString student;
    // Bit k - 1 of question q - 1 for each answer read as marked.
    std::array<std::uint8_t, 100> marked {};
    std::vector<DoubtfulCell> doubts;
    // A PNG of the row of each question with a doubtful cell.
    std::vector<std::pair<int, QByteArray>> rowImages;
    // Another page of the same run already holds this student.
    bool repeated = false;
};

// "clase.pdf, página 3", or the file's name alone for a one-page image.
QString pageLabel(const ScannedPage& page);

// The scan files named by the inputs, in order: a file as given, a folder
// by its PDFs and images sorted by name. An input that does not exist comes
// back as a page with its problem.
QStringList scanFiles(const QStringList& inputs, std::vector<ScannedPage>& missing);

// The pages of each scan file as last read, before a run settled them, so
// that a class read again after a page was added reads only what is new.
// A file is read anew when its stamp differs.
struct ScanReadCache {
    struct File {
        std::optional<FileStamp> stamp;
        std::vector<ScannedPage> pages;
    };
    QHash<QString, File> files;
};

// Reads every page of `files` on `threads` threads (all cores when 0),
// keeping the order of the files and their pages. Pages of another exam,
// and later pages of a student already read, are marked as such: with
// `keyMarks` (as examFitsKey takes them) another exam is one not printed
// for that key, without it one other than most pages of the run. Nothing
// when `watch` was cancelled: a run cut short would settle its students on
// the pages it happened to reach. With `cache`, files it holds unchanged
// are not read again, and it is left holding `files` as now read.
std::vector<ScannedPage> readScans(const QStringList& files, int threads = 0,
    const std::vector<unsigned>* keyMarks = nullptr, const ScanReadWatch& watch = {}, ScanReadCache* cache = nullptr);

// Reads one decoded grey page into `out`: the sheet's code, the student,
// every answer read and every doubt, with a picture of each doubtful row.
void readScannedPage(const cv::Mat& grey, PageBuffers& buffers, ScannedPage& out);

// One page on its own, for tests and the fuzzer: `bytes` is an encoded
// image.
ScannedPage readScanImage(const QByteArray& bytes);
