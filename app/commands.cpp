#include "app/commands.h"

#include <array>

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QImage>

#include "app/mainwindow.h"
#include "app/menubar.h"
#include "app/testcommands.h"
#include "platform/atomicfile.h"
#include "platform/interaction.h"
#include "platform/userfolders.h"
#include "print/printcommand.h"
#include "sheet/layout.h"
#include "sheet/model.h"

namespace {

using namespace command;

constexpr ColorRef kColorDialogStart = 0x808080;

// The table is re-created whatever was in it, so choosing the test type that
// is already checked empties the sheet too.
void chooseTestType(Model& m, std::int32_t testType, std::uint16_t item)
{
    checkMenuItem(m, kTest5Respuestas, item == kTest5Respuestas);
    checkMenuItem(m, kTestLogicaEspanol, item == kTestLogicaEspanol);
    checkMenuItem(m, kTestBooleanLogic, item == kTestBooleanLogic);
    m.settings.testType = testType;
    m.answerCells.recreate(answerCount(m));
    buildSheet(m, 1);
}

void chooseCellShape(Model& m, std::int32_t shape)
{
    checkMenuItem(m, kCeldasCuadradas, shape == 0);
    checkMenuItem(m, kCeldasRedondas, shape != 0);
    m.settings.cellShape = shape;
    buildSheet(m, 1);
}

void chooseLetterCase(Model& m, std::int32_t letterCase)
{
    m.settings.letterCase = letterCase;
    checkMenuItem(m, kLetraMayuscula, letterCase == 1);
    checkMenuItem(m, kLetraMinuscula, letterCase != 1);
    buildSheet(m, 1);
}

// The dialog always opens on mid grey, not on the setting's colour. Marks
// keep the colours they were painted with; only what is drawn from the
// settings changes.
void chooseColor(Model& m, std::int32_t Settings::*setting)
{
    const std::optional<ColorRef> chosen = m.interaction->chooseColor(m.mainWindow, kColorDialogStart, m.customColors);
    if (!chosen)
        return;
    m.settings.*setting = std::int32_t(*chosen & 0xFFFFFF);
    buildMenuBar(m);
    buildSheet(m, 1);
}

void reset(Model& m)
{
    const std::int32_t type = m.settings.testType;
    if (type >= 0 && type <= 2) {
        m.answerCells.recreate(answerCount(m));
        clearAnswerCells(m, answerCount(m));
    }
    buildSheet(m, 1);
    setMainWindowTitle(m, QStringLiteral("Zelvora"));
}

// The frameless page as a BMP file, replacing an older one only by a whole
// new one. False when nothing was written.
bool savePageImage(const QImage& page, const QString& folder)
{
    QByteArray image;
    QBuffer buffer(&image);
    if (!buffer.open(QIODevice::WriteOnly) || !page.save(&buffer, "BMP"))
        return false;
    return QDir().mkpath(folder) && writeFileAtomically(folder + QStringLiteral("/zelvora.bmp"), image);
}

// A portable copy writes the page beside the executable and says nothing,
// even when that fails. An installed program writes it into the user's
// pictures folder, which the user cannot guess, so it says where the image
// went or that it could not be written.
void writePageImage(Model& m)
{
    buildSheet(m, 0);
    const QString folder = m.filesBesideProgram ? m.programFolder : xdgPicturesFolder();
    const bool written = savePageImage(m.sheetBitmap, folder);
    buildSheet(m, 1);
    if (m.filesBesideProgram)
        return;
    const QString path = QDir::toNativeSeparators(folder + QStringLiteral("/zelvora.bmp"));
    const QString text = written ? QStringLiteral("La fotocopia se ha guardado en:\r\n") + path
                                 : QStringLiteral("No se ha podido guardar la fotocopia en:\r\n") + path;
    m.interaction->messageBox(text, QStringLiteral("Programador"), Buttons::Ok);
}

void showAuthor(Model& m)
{
    m.interaction->messageBox(QStringLiteral("Programa Realizado por : \r\nhttps://zelvora.org\r\nVisitame ..."),
                              QStringLiteral("Programador"), Buttons::Ok);
}

struct CommandEntry {
    std::uint16_t id;
    void (*action)(Model&);
};

const std::array kCommands{
    CommandEntry{kImprimir, printCommand},
    CommandEntry{kCorregirTest, correctTestCommand},
    CommandEntry{kLeerTest, readTestCommand},
    CommandEntry{kGrabarTest, saveTestCommand},
    CommandEntry{kRelleno, [](Model& m) { chooseColor(m, &Settings::fillColor); }},
    CommandEntry{kEscritura, [](Model& m) { chooseColor(m, &Settings::textColor); }},
    CommandEntry{kAcierto, [](Model& m) { chooseColor(m, &Settings::hitColor); }},
    CommandEntry{kFallo, [](Model& m) { chooseColor(m, &Settings::missColor); }},
    CommandEntry{kResetea, reset},
    CommandEntry{kLetraMayuscula, [](Model& m) { chooseLetterCase(m, 1); }},
    CommandEntry{kLetraMinuscula, [](Model& m) { chooseLetterCase(m, 0); }},
    CommandEntry{kCeldasCuadradas, [](Model& m) { chooseCellShape(m, 0); }},
    CommandEntry{kCeldasRedondas, [](Model& m) { chooseCellShape(m, 1); }},
    CommandEntry{kTest5Respuestas, [](Model& m) { chooseTestType(m, 0, kTest5Respuestas); }},
    CommandEntry{kTestLogicaEspanol, [](Model& m) { chooseTestType(m, 1, kTestLogicaEspanol); }},
    CommandEntry{kTestBooleanLogic, [](Model& m) { chooseTestType(m, 2, kTestBooleanLogic); }},
    CommandEntry{kFotocopia, writePageImage},
    CommandEntry{kAutor, showAuthor},
    CommandEntry{kSalir, endMainWindow},
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
