#pragma once

struct Model;

// Where the sheet puts its 100 questions: four columns of 25 rows, each row
// a number box and then its cells 22 pixels apart. The mouse finds cells on
// this same grid.
inline constexpr int kSheetColumns = 4;
inline constexpr int kRowsPerColumn = 25;
inline constexpr int kFirstLabelX = 120;
inline constexpr int kColumnStep = 145;
inline constexpr int kFirstRowY = 75;
inline constexpr int kRowStep = 40;
inline constexpr int kLabelWidth = 30;
inline constexpr int kCellSize = 15;
inline constexpr int kCellGap = 7;
inline constexpr int kFirstCellX = kFirstLabelX + kLabelWidth + 2;
inline constexpr int kCellStep = kCellSize + kCellGap;

// Draws the whole sheet into the sheet bitmap, records every laid-out cell's
// rectangle, paints the marks and refreshes the view where the model has
// one. withFrame = 0 leaves out the black page frame (the page image and
// the printed page).
void buildSheet(Model& m, int withFrame);
