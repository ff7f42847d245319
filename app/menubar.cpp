#include "app/menubar.h"

#include <QAction>
#include <QMenuBar>

#include "app/commands.h"
#include "sheet/model.h"

namespace {

QAction* findAction(const Model& m, std::uint16_t id)
{
    if (!m.menuBar)
        return nullptr;
    for (QAction* menu : m.menuBar->actions()) {
        if (!menu->menu())
            continue;
        for (QAction* item : menu->menu()->actions())
            if (!item->isSeparator() && item->data().toInt() == id)
                return item;
    }
    return nullptr;
}

void check(const Model& m, std::uint16_t id, bool checked)
{
    if (QAction* item = findAction(m, id))
        item->setChecked(checked);
}

} // namespace

void buildMenuBar(Model&)
{
}

void applyMenuChecks(Model& m)
{
    const Settings& s = m.settings;
    check(m, command::kLetraMayuscula, s.letterCase == 1);
    check(m, command::kLetraMinuscula, s.letterCase != 1);
    check(m, command::kCeldasCuadradas, s.cellShape == 0);
    check(m, command::kCeldasRedondas, s.cellShape != 0);
    if (s.testType >= 0 && s.testType <= 2) {
        check(m, command::kTest5Respuestas, s.testType == 0);
        check(m, command::kTestLogicaEspanol, s.testType == 1);
        check(m, command::kTestBooleanLogic, s.testType == 2);
    }
}
