#include "app/commands.h"

#include <array>

#include "app/mainwindow.h"
#include "sheet/model.h"

namespace {

struct CommandEntry {
    std::uint16_t id;
    void (*action)(Model&);
};

const std::array kCommands{
    CommandEntry{command::kSalir, endMainWindow},
};

} // namespace

void dispatchCommand(Model& m, std::uint16_t id)
{
    for (const CommandEntry& entry : kCommands) {
        if (entry.id == id) {
            entry.action(m);
            return;
        }
    }
}
