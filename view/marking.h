#pragma once

#include <cstdint>

#include "platform/winmsg.h"

struct Model;

// Answer k and question q of a cell; (0, 0) is no cell.
struct CellIndex {
    int k = 0;
    int q = 0;
    friend bool operator==(const CellIndex&, const CellIndex&) = default;
};

// The cell whose 16 x 16 hit rectangle (both ends included) holds the page
// point. The grid is fixed, five answers wide in every test type, and the
// sheet's layout puts every cell on it.
CellIndex hitCell(int px, int py);
// Whether the test type lets answer k be marked: 1 to 5 for the five-answer
// test, 1 and 2 for every other non-negative test type, none otherwise.
bool acceptsAnswer(std::int32_t testType, int k);
// Flips the cell's mark and paints the result into the sheet bitmap: the
// mark in fillColor, or white to clear it.
void toggleMark(Model& m, int k, int q);

// Left button down on the view at the click position packed in lParam.
void leftButtonDown(Model& m, winmsg::LParam lParam);
// Left button up: the pointer goes back to the standard arrow.
void leftButtonUp(Model& m);
