#include "print/printsetupdialog.h"

std::optional<PrintSetupChoice> runPrintSetupDialog(const PrintSetupRequest&)
{
    // The dialog arrives with printing; until then the command never opens it.
    return std::nullopt;
}
