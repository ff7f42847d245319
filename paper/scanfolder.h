#pragma once

#include <vector>

#include <QString>
#include <QStringList>

#include "paper/scanreading.h"

struct Model;

inline constexpr const char* kReviewFileName = "revision.csv";
inline constexpr const char* kReviewImageFolder = "revision";

struct ScanFolderResult {
    // The test file written for each page that was read (empty where none
    // was), in the order of the pages.
    QStringList testFiles;
    // Rows listed in revision.csv: doubtful cells and pages not read.
    int listed = 0;
    int doubtfulCells = 0;
    int pagesNotRead = 0;
    int sheetsWritten = 0;
};

// Writes into `folder` (made when missing) one test file per page read,
// exactly as the exam edition saves that sheet (`ID.ztest`, or
// `ID (2).ztest` for a further page of the same student, never over
// another page of this run), a picture of each doubtful row (in the
// subfolder `revision`), and revision.csv listing every doubtful cell and
// every page not read. False
// with `error` when something could not be written; what could, is.
bool writeScanFolder(const QString& folder, const std::vector<ScannedPage>& pages, Model& scratch,
    ScanFolderResult& result, QString& error);

// The sheet of one page as a test file's bytes, for the writer and tests.
QByteArray scannedTestFile(const ScannedPage& page, Model& scratch);
