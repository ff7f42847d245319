#pragma once

#include <QRectF>
#include <QSizeF>
#include <QPointF>

// Where everything lies on a printed answer sheet, in millimetres from the
// page's top-left corner, x to the right and y downwards. The printer and
// the reader both take every position from here, so a sheet printed by one
// build is read by the next only while these numbers stay as they are.

enum class PaperSize { A4, Letter };

inline constexpr int kPaperQuestionsPerColumn = 25;
inline constexpr int kPaperColumns = 4;
inline constexpr int kStudentNumberDigits = 8;

// Solid black squares near the four corners; the reader finds the page by
// them, whatever its rotation, and maps it back onto these positions.
inline constexpr double kMarkSideMm = 6.0;
inline constexpr double kMarkInsetMm = 11.0; // page edge to a mark's centre

// Answer and digit cells are this wide and tall; the fill is measured inside.
inline constexpr double kCellMm = 4.4;
inline constexpr double kRowPitchMm = 7.2;
inline constexpr double kAnswerPitchMm = 7.2;
inline constexpr double kDigitPitchXMm = 6.0;
inline constexpr double kDigitPitchYMm = 5.2;
inline constexpr double kCodeSideMm = 22.0;

QSizeF paperSizeMm(PaperSize size);

// Centre of registration mark `corner`: 0 top left, 1 top right,
// 2 bottom right, 3 bottom left.
QPointF markCentreMm(PaperSize size, int corner);

// The square that holds the QR code, quiet zone excluded.
QRectF codeRectMm(PaperSize size);

// Top of the grid of questions; the header (title, student, instruction,
// code, number grid) lies above it.
double questionGridTopMm(PaperSize size);

// Cell of answer k (1..5) of question q (1..100). Two-answer tests use the
// slots of k = 1 and 2.
QRectF answerCellMm(PaperSize size, int q, int k);
// Where the answer letter of that cell is printed, left of the cell.
QRectF answerLetterMm(PaperSize size, int q, int k);
// Where the number of question q is printed, right-aligned.
QRectF questionNumberMm(PaperSize size, int q);
// The whole row of question q, number to last cell, for review images.
QRectF questionRowMm(PaperSize size, int q, int answers);

// Cell of digit d (0..9) in column c (0..7, most significant first) of the
// student-number grid of anonymous pages.
QRectF digitCellMm(PaperSize size, int column, int digit);
// The box above column c where the student may write the digit.
QRectF digitHeadMm(PaperSize size, int column);
