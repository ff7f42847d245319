#pragma once

#include <vector>

#include <QHash>
#include <QString>

// The review of a class's doubtful paper cells. The doubtful cells come
// from revision.csv in the folder the scans were read into; every decision
// is written into the student's test file at once and recorded in
// `kDecisionsFileName` beside it, so a review left half way resumes where
// it stopped and survives the scans being read again.

inline constexpr const char* kDecisionsFileName = "revision-decisiones.csv";

// Where a class's scans are read when the teacher names no folder: beside
// the key, `<key folder>/<key name>-papel`, when that folder is there to be
// written or can be made. A key on a read-only stick or share, or in
// another user's folder, has its scans read into the user's own data
// folder instead, `zelvora/papel/<key name>-<8 hex digits>`, the digits
// telling apart keys of one name in different folders.
QString paperFolderFor(const QString& keyPath);
QString paperFolderBesideKey(const QString& keyPath);

struct ReviewCell {
    // The sheet's test file and its name in the folder without ".ztest".
    QString testFile;
    QString stem;
    // "clase.pdf, página 3" and the student's id or number.
    QString page;
    QString student;
    int question = 0;
    // 1 for A (or V, T), and so on.
    int answer = 0;
    QString letter;
    // How full the cell was measured, in percent.
    int fill = 0;
    // The picture of the question's row, empty when there is none.
    QString rowImage;
};

// The doubtful cells listed in `folder`'s revision.csv that wait for a
// decision, in the order listed.
std::vector<ReviewCell> pendingReview(const QString& folder);

// How many cells wait in each sheet, by the test file's path.
QHash<QString, int> pendingBySheet(const std::vector<ReviewCell>& cells);

// What the teacher said of a doubtful cell: the letter of its question to
// mark (its own letter marks it, another one marks that one instead), or 0
// to leave the cell empty, which is also the reading that was chosen.
struct CellDecision {
    int marked = 0;
};

// Writes the decision into the cell's test file (atomically, every other
// record kept byte for byte), then records it. False with `error`, nothing
// recorded, when the test file is gone, unreadable or cannot be written.
bool decideCell(const QString& folder, const ReviewCell& cell, CellDecision decision, QString& error);

// Writes every recorded decision into the test files again, after the scans
// were read anew over them. Decisions whose sheet is gone are skipped.
void replayDecisions(const QString& folder);
