#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QHash>
#include <QString>
#include <QStringList>

#include "grading/classgrading.h"
#include "grading/statistics.h"

struct Model;
struct ScanReadCache;

// The penalty as the window offers it: none, the one the key's number of
// answers gives, or a number of points per wrong answer.
enum class PenaltyKind { None, Automatic, Points };

struct GradingOptions {
    PenaltyKind penaltyKind = PenaltyKind::None;
    double penaltyPoints = 0;
    double scale = 10;
};

// The rules the command line's --penalizacion and --escala give for the
// same choice, so that both grade a class alike.
ScoringRules scoringRules(const GradingOptions& options, const GradingKey& key);

// What happened to one answer file of the class. Inputs wait until a
// grading with a usable key has looked at them.
enum class InputState { Waiting, Graded, Refused };

struct InputRow {
    QString path;
    InputState state = InputState::Refused;
    QString reason;
    // For a sheet read from paper: the page it came from ("clase.pdf,
    // página 3"), and its doubtful cells still waiting for a decision;
    // -1 for a file saved on screen.
    QString page;
    int doubts = -1;
};

// One complete grading of the class, ready for the tables and the exports.
struct GradedClass {
    ClassGrading grading;
    ClassSummary summary;
    std::vector<QuestionAnalysis> questions;
    // Every answer file and input that named nothing, in the order given.
    std::vector<InputRow> inputs;
    // For each sheet read from paper, by its path: the scan file and the
    // page in it (from 0).
    QHash<QString, std::pair<QString, int>> scanPages;
};

// What the key says about itself before anything is graded.
struct KeyDescription {
    QString testType;
    int questions = 0;
};
std::optional<KeyDescription> describeKey(Model& scratch, const QString& keyPath, QString& reason);

// The scans of the class as last read into `folder`, so that grading again
// with other options neither reads them again nor undoes a review. Read
// anew when the scans, the key or the folder change.
struct PaperReading {
    QString folder;
    QStringList scanInputs;
    QString keyPath;
    bool read = false;
    // Each scan file's pages as read, so that a page added to the class
    // (as the scanner brings them one by one) is the only one read.
    std::shared_ptr<ScanReadCache> readings;
    PaperSheets sheets;
    std::vector<RefusedFile> refused;
    QString error;
};

// Grades the answer files the inputs name against the key, a large class on
// several threads, each with a scratch model of its own (`scratch` is the
// calling thread's). Each file is looked at before and after it is read: one
// that vanishes or changes meanwhile is refused, so no grade stands for a
// file that is no longer what was read. Empty, with `reason` set, when the
// key cannot be used; empty too when `cancel` was raised, so a cancelled run
// leaves nothing behind. `progress` hears, on the calling thread only, how
// many of how many files are done, at the latest once all are. With `paper`,
// PDFs and images among the inputs (and in their folders) are read into its
// folder and graded with the rest, `progress` first hearing the pages read;
// a cancel stops the reading between two pages and writes nothing into the
// folder. Each student's doubtful cells are those the review has not
// decided yet.
std::optional<GradedClass> gradeInputs(Model& scratch, const QString& keyPath, const QStringList& inputs,
    const GradingOptions& options, const std::atomic<bool>& cancel, const std::function<void(int, int)>& progress,
    QString& reason, PaperReading* paper = nullptr);
