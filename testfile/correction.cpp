#include "testfile/correction.h"

#include "sheet/model.h"

void correctTest(Model& m)
{
    const int columns = m.answerCells.columns();
    for (int q = 1; q <= kQuestions; ++q) {
        for (int k = 1; k <= columns; ++k) {
            AnswerCell& cell = m.answerCells.at(k, q);
            // Only an exact 1 counts as marked: other values read from a
            // file are left alone on both sides.
            if (m.keyCells.at(k, q).marked != 1)
                continue;
            if (cell.marked == 1) {
                cell.markColor = ColorRef(m.settings.hitColor);
            } else if (cell.marked == 0) {
                cell.marked = 1;
                cell.markColor = ColorRef(m.settings.missColor);
            }
        }
    }
}
