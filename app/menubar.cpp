#include "app/menubar.h"

#include <span>

#include <QAction>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>

#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/swatches.h"
#include "platform/winmsg.h"
#include "sheet/model.h"

namespace {

using namespace command;

// A command id of 0 stands for a separator.
struct MenuItem {
    const char* text;
    std::uint16_t id;
};

// What stands beside an item where a check mark would.
enum class Marks { None, Checks, Swatches };

struct Menu {
    const char* title;
    std::span<const MenuItem> items;
    Marks marks;
};

constexpr MenuItem kArchivosFull[] = {
    {"Resetea", kResetea},     {nullptr, 0}, {"Grabar test", kGrabarTest}, {nullptr, 0},
    {"Leer test", kLeerTest},  {nullptr, 0}, {"Corregir test", kCorregirTest}, {nullptr, 0},
    {"Imprimir", kImprimir},   {nullptr, 0}, {"Fotocopia", kFotocopia},   {nullptr, 0},
    {"Autor", kAutor},         {nullptr, 0}, {"Salir", kSalir},
};

constexpr MenuItem kArchivosExam[] = {
    {"Resetea", kResetea}, {nullptr, 0}, {"Grabar test", kGrabarTest}, {nullptr, 0}, {"Salir", kSalir},
};

constexpr MenuItem kPersonalizar[] = {
    {"Celdas cuadradas", kCeldasCuadradas},
    {"Celdas redondas", kCeldasRedondas},
    {nullptr, 0},
    {"Letra Mayuscula", kLetraMayuscula},
    {"Letra Minuscula", kLetraMinuscula},
    {nullptr, 0},
    {"Test 5 respuestas", kTest5Respuestas},
    {"Test Logica Español", kTestLogicaEspanol},
    {"Test Boolean Logic English", kTestBooleanLogic},
};

constexpr MenuItem kColorFull[] = {
    {"Relleno", kRelleno}, {"Escritura", kEscritura}, {"Acierto", kAcierto}, {"Fallo", kFallo},
};

constexpr MenuItem kColorExam[] = {
    {"Relleno", kRelleno},
    {"Escritura", kEscritura},
};

// The edition chooses between these two tables and nothing else.
constexpr Menu kFullMenus[] = {
    {"Archivos", kArchivosFull, Marks::None},
    {"Personalizar", kPersonalizar, Marks::Checks},
    {"Color", kColorFull, Marks::Swatches},
};

constexpr Menu kExamMenus[] = {
    {"Archivos", kArchivosExam, Marks::None},
    {"Personalizar", kPersonalizar, Marks::Checks},
    {"Color", kColorExam, Marks::Swatches},
};

// The colour each "Color" item shows, by position in that menu.
ColorRef swatchColor(const Model& m, std::size_t position)
{
    const Settings& s = m.settings;
    const std::int32_t colours[] = {s.fillColor, s.textColor, s.hitColor, s.missColor};
    return ColorRef(colours[position]) & 0xFFFFFF;
}

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

void buildMenuBar(Model& m)
{
    auto* bar = new QMenuBar;
    const std::span<const Menu> menus = m.edition == Edition::Full ? std::span<const Menu>(kFullMenus)
                                                                   : std::span<const Menu>(kExamMenus);
    for (const Menu& table : menus) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(table.title));
        for (std::size_t position = 0; position < table.items.size(); ++position) {
            const MenuItem& item = table.items[position];
            if (!item.text) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setData(int(item.id));
            if (table.marks == Marks::Swatches)
                action->setIcon(QIcon(QPixmap::fromImage(makeSwatch(swatchColor(m, position)))));
            action->setCheckable(table.marks == Marks::Checks);
            const std::uint16_t id = item.id;
            QObject::connect(action, &QAction::triggered, bar,
                             [&m, id] { mainWindowHandler(m, winmsg::kCommand, id, 0); });
        }
    }

    // The bar that is replaced may be the one whose item is running this
    // very rebuild, so it goes only once control is back in the event loop.
    // (QMainWindow::setMenuBar defers the deletion itself.)
    QMenuBar* old = m.menuBar;
    m.menuBar = bar;
    if (auto* window = qobject_cast<QMainWindow*>(m.mainWindow)) {
        window->setMenuBar(bar);
    } else {
        bar->setParent(m.mainWindow);
        if (old)
            old->deleteLater();
    }
    applyMenuChecks(m);
}

void applyMenuChecks(Model& m)
{
    const Settings& s = m.settings;
    check(m, kLetraMayuscula, s.letterCase == 1);
    check(m, kLetraMinuscula, s.letterCase != 1);
    check(m, kCeldasCuadradas, s.cellShape == 0);
    check(m, kCeldasRedondas, s.cellShape != 0);
    if (s.testType >= 0 && s.testType <= 2) {
        check(m, kTest5Respuestas, s.testType == 0);
        check(m, kTestLogicaEspanol, s.testType == 1);
        check(m, kTestBooleanLogic, s.testType == 2);
    }
}

void checkMenuItem(Model& m, std::uint16_t id, bool checked)
{
    check(m, id, checked);
}
