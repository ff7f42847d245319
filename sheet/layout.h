#pragma once

struct Model;

// Draws the whole sheet into the sheet bitmap, records every laid-out cell's
// rectangle, paints the marks and refreshes the view. withFrame = 0 leaves
// out the black page frame (the page image and the printed page).
void buildSheet(Model& m, int withFrame);
