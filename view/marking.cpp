#include "view/marking.h"

#include "sheet/model.h"
#include "view/view.h"
#include "view/viewcontrol.h"

void leftButtonDown(Model& m, winmsg::LParam)
{
    drawPageFrame(m.sheetBitmap);
    refreshView(m);
}

void leftButtonUp(Model& m)
{
    if (m.viewControl)
        m.viewControl->setCursor(Qt::ArrowCursor);
}
