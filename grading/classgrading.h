#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <QHash>
#include <QString>
#include <QStringList>

#include "grading/scoring.h"
#include "paper/scanreadwatch.h"

struct Model;
struct ScanReadCache;

// A file left out of the class and why, in words a teacher can act on.
struct RefusedFile {
    QString path;
    QString reason;
};

struct ClassGrading {
    QString keyPath;
    GradingKey key;
    ScoringRules rules;
    std::vector<StudentResult> students;
    std::vector<RefusedFile> refused;
};

// The same file whatever the spelling of its path, links and ".." included:
// its device and inode, from one stat() (no walk of the path's folders).
// Empty for a path that names no file yet.
using FileIdentity = std::pair<std::uint64_t, std::uint64_t>;
std::optional<FileIdentity> fileIdentity(const QString& path);

// Reads the key at `path` with the sheet's own reader. Empty, with `reason`
// set, when it cannot be used: refused by the reader, or marking no answer
// of its test type.
std::optional<GradingKey> readGradingKey(Model& scratch, const QString& path, QString& reason);

// The answer files named by the inputs, in order: a file as given, a folder
// by its ".ztest" files sorted by name (not its subfolders). The key itself
// and a file named twice are left out. Inputs that do not exist are refused.
QStringList answerFiles(const QStringList& inputs, const QString& keyPath, std::vector<RefusedFile>& refused);

// Reads and scores one answer file against the key, or says why not.
std::optional<StudentResult> gradeAnswerFile(
    Model& scratch, const QString& path, const GradingKey& key, const ScoringRules& rules, QString& reason);

// Grades every file, keeping each student's answers only; `progress` (may be
// empty) hears after each file how many of how many are done. The students
// are then named as nameStudents() says.
void gradeClass(Model& scratch, const QStringList& files, ClassGrading& grading,
    const std::function<void(int, int)>& progress = {});

// Each student is named by the answer file's name; when two files share a
// name (ana.ztest in 3A/ and in 3B/), every student is named by the path
// from the folder that holds all the files instead (3A/ana.ztest), so the
// table, the CSV, the workbook and the sheets tell them apart. Relative
// paths are taken from the current folder.
void nameStudents(std::vector<StudentResult>& students);

// Splits the inputs into those holding test files and those holding scans:
// a folder may hold both and goes into both lists.
void splitInputs(const QStringList& inputs, QStringList& testInputs, QStringList& scanInputs);

// Test files read from paper for grading beside the others.
struct PaperSheets {
    QStringList files;
    // Doubtful cells of each file read from paper, and the page it came
    // from, by its path.
    QHash<QString, int> doubtfulCells;
    QHash<QString, QString> pages;
    // The scan file and the page in it (from 0) each sheet was read from.
    QHash<QString, std::pair<QString, int>> sources;
    // Rows of revision.csv.
    int listed = 0;
};

// Reads every page of the scans into `folder` (test files, revision.csv and
// the pictures of doubtful rows). Pages that yield no sheet, a further page
// of a student, and pages not printed for `key` are refused with their
// reason.
// False with `error` when the folder could not be written. A read that
// `watch` cancels writes nothing and leaves `sheets` and `refused` as
// they were. With `cache`, scan files read before and unchanged since are
// not read again.
bool readPaperSheets(const QStringList& scanInputs, const QString& folder, const GradingKey& key, Model& scratch,
    PaperSheets& sheets, std::vector<RefusedFile>& refused, QString& error, const ScanReadWatch& watch = {},
    ScanReadCache* cache = nullptr);

// Why the sheet's reader refused the file at `path`.
QString refusalReason(const QString& path);
