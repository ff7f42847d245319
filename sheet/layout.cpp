#include "sheet/layout.h"

#include "sheet/model.h"
#include "view/view.h"

void buildSheet(Model& m, int withFrame)
{
    clearToWhite(m.sheetBitmap);
    if (withFrame == 1)
        drawPageFrame(m.sheetBitmap);
    refreshView(m);
}
