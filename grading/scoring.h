#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QString>

#include "sheet/model.h"

// Bit k - 1 is set when answer k of a question is marked. Five answers fit,
// so a student's whole sheet is 100 bytes, not a table of cells.
using AnswerMask = std::uint8_t;
using SheetAnswers = std::array<AnswerMask, kQuestions>;

// The key as grading uses it: what it marks per question and which questions
// count (those where it marks at least one answer).
struct GradingKey {
    std::int32_t testType = 0;
    int answers = 0;
    SheetAnswers marks {};
    std::vector<int> questions;
    // The key's cells as read, for correcting a sheet with them.
    AnswerTable cells;
};

struct ScoringRules {
    double penalty = 0;
    double scale = 10;
};

enum class Outcome : std::uint8_t { Hit, Miss, Blank };

struct StudentResult {
    // The answer file's name, as the class lists it, and its full path.
    QString name;
    QString path;
    SheetAnswers answers {};
    int hits = 0;
    int misses = 0;
    int blanks = 0;
    double points = 0;
    double grade = 0;
    bool passed = false;
    // Cells of a sheet read from paper that the reader could not decide;
    // each was taken as not marked, so the grade waits for a teacher's look.
    int doubtfulCells = 0;
};

// What every output writes beside a student whose paper sheet has doubtful
// cells.
QString paperReviewText();

// Only `marked` = 1 counts as a mark, as when a sheet is corrected; answers
// beyond `answers` are never looked at.
SheetAnswers sheetAnswers(const AnswerTable& table, int answers);
GradingKey gradingKey(const AnswerTable& table, std::int32_t testType);

// 1 / (answers - 1): what a guess among the answers is worth on average.
double automaticPenalty(int answers);

Outcome questionOutcome(AnswerMask key, AnswerMask marked);
StudentResult scoreStudent(const GradingKey& key, const SheetAnswers& answers, const ScoringRules& rules);

// "A" to "E", "V"/"F" or "T"/"F" in capitals, in answer order ("AC" for two
// marks); empty for a blank question.
QString answerLetters(AnswerMask marked, std::int32_t testType);
// The name the menu gives the test type.
QString testTypeName(std::int32_t testType);
