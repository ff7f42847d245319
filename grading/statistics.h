#pragma once

#include <array>
#include <optional>
#include <vector>

#include "grading/scoring.h"

// Figures that do not exist for the class at hand (no student, no spread)
// are empty rather than a made-up 0.
struct ClassSummary {
    int students = 0;
    std::optional<double> mean;
    std::optional<double> median;
    // Of the grades as a whole population: the class is all there is.
    std::optional<double> deviation;
    std::optional<double> lowest;
    std::optional<double> highest;
    int passed = 0;
    // Kuder-Richardson 20 over the counted questions; empty with fewer than
    // two questions or when every student has the same number of hits.
    std::optional<double> reliability;
};

// Why a question deserves a second look.
enum ReviewFlag : unsigned {
    VeryHard = 1u << 0,
    VeryEasy = 1u << 1,
    NegativeDiscrimination = 1u << 2,
};

// Below and above these shares of hits a question tells little about who
// knows the subject.
inline constexpr double kVeryHardBelow = 0.20;
inline constexpr double kVeryEasyAbove = 0.90;
// The share of the class in each of the top and bottom groups.
inline constexpr double kGroupShare = 0.27;

struct QuestionAnalysis {
    int question = 0;
    AnswerMask key = 0;
    // Share of students with a hit, 0 to 1.
    std::optional<double> correct;
    // Share of hits in the top group minus the bottom group, ranking by hits.
    std::optional<double> discrimination;
    // Correlation of the question's hit with the hits on the other questions.
    std::optional<double> pointBiserial;
    // Students who marked each letter (a student with two marks counts in
    // both), and those who left the question blank.
    std::array<int, kMaxAnswers> chosen {};
    int blank = 0;
    unsigned review = 0;
};

ClassSummary summarizeClass(const std::vector<StudentResult>& students, const GradingKey& key);
std::vector<QuestionAnalysis> analyseQuestions(const std::vector<StudentResult>& students, const GradingKey& key);

// "muy difícil, discriminación negativa"; empty when nothing is flagged.
QString reviewText(unsigned review);
