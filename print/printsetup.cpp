#include "print/printsetup.h"

#include <QStringView>

#include "platform/interaction.h"
#include "print/printer.h"
#include "settings/texttonumber.h"
#include "sheet/model.h"

void printSetupDialog(Model& m)
{
    PrintSetupRequest request;
    request.printCopies = m.print.printCopies;
    request.printColorMode = m.print.printColorMode;
    request.printQuality = m.print.printQuality;
    request.printerName = defaultPrinterName();

    const auto choice = m.interaction->printSetup(request);
    if (!choice)
        return;
    // Each entry starts with its value: two digits for copies, one for the
    // others. No selection gives the empty text and so 0.
    m.print.printCopies = textToNumber(QStringView(choice->copies).left(2));
    m.print.printColorMode = textToNumber(QStringView(choice->colorMode).left(1));
    m.print.printQuality = textToNumber(QStringView(choice->quality).left(1));
}
