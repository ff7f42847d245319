#pragma once

#include <optional>

#include "platform/interaction.h"

// Shows "Configura la impresión" and returns the selected entry texts, or
// nothing when the dialog was closed without "Seguir".
std::optional<PrintSetupChoice> runPrintSetupDialog(const PrintSetupRequest& request);
