#include "print/printcommand.h"

#include "print/printsetup.h"
#include "print/printsheet.h"
#include "sheet/model.h"

void printCommand(Model& m)
{
    if (m.printBusy != 0)
        return;
    m.printBusy = 1;
    printSetupDialog(m);
    if (!m.windowEnded)
        printSheet(m);
    m.printBusy = 0;
}
