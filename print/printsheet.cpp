#include "print/printsheet.h"

#include <QString>

#include "platform/interaction.h"
#include "print/printer.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "view/view.h"

namespace {

void showSheetAtTop(Model& m, int withFrame)
{
    buildSheet(m, withFrame);
    resetPageRecord(m);
    refreshView(m);
}

} // namespace

void printSheet(Model& m)
{
    showSheetAtTop(m, 0);
    const QString title = QStringLiteral("Programador");
    const Reply reply = m.interaction->messageBox(QStringLiteral("Imprimir ?\r\nSi/No ?"), title, Buttons::YesNo);
    // The boxes leave the main window usable, so it may have ended while
    // one was open; then there is no sheet left to print or show.
    if (m.windowEnded)
        return;
    if (reply == Reply::Yes) {
        switch (printOnDefaultPrinter(m.sheetBitmap, m.print)) {
        case PrintResult::Printed:
            break;
        case PrintResult::DeviceUnavailable:
            m.interaction->messageBox(QStringLiteral("Err: 68 Device unavailable"), title, Buttons::Ok);
            break;
        case PrintResult::NoPrinterName:
            m.interaction->messageBox(QStringLiteral("Err: 0 No Error"), title, Buttons::Ok);
            break;
        case PrintResult::DocumentLost:
            m.interaction->messageBox(QStringLiteral("Err: 57 Device I/O error"), title, Buttons::Ok);
            break;
        }
        if (m.windowEnded)
            return;
    }
    // Whatever happened, the screen shows the framed sheet from its top.
    showSheetAtTop(m, 1);
}
