#include "app/testcommands.h"

#include <QFileInfo>

#include "app/mainwindow.h"
#include "app/menubar.h"
#include "render/page.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "testfile/correction.h"
#include "testfile/testfile.h"
#include "view/view.h"

namespace {

const QString kTitle = QStringLiteral("Programador");

void tell(Model& m, const QString& text)
{
    m.interaction->messageBox(text, kTitle, Buttons::Ok);
}

void titleAfterFile(Model& m, const QString& path)
{
    // Only trailing spaces go: a name may well start with one.
    QString name = fileNameOf(path);
    while (name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    setMainWindowTitle(m, name);
}

// Saves and titles the window; false (after telling the user) when nothing
// was saved.
bool saveAndTitle(Model& m)
{
    if (!writeTestFile(m)) {
        tell(m, kSaveFailed);
        return false;
    }
    titleAfterFile(m, m.testFileName);
    return true;
}

// Every file command starts from an empty name, so testFileName always
// holds the path chosen last.
bool chooseCommandFile(Model& m, FileDialogMode mode)
{
    m.testFileName.clear();
    chooseTestFile(m, m.testFileName, mode);
    return !m.testFileName.isEmpty();
}

} // namespace

int chooseTestFile(Model& m, QString& name, FileDialogMode mode)
{
    const QString folder = name.contains(QLatin1Char('/')) ? QFileInfo(name).path() : QString();
    name = trimSpaces(m.interaction->chooseFile(m.mainWindow, mode, folder));
    return name.isEmpty() ? 0 : 1;
}

OpenResult openTestFile(Model& m, const QString& path)
{
    m.testFileName = path;
    if (!fileExists(path))
        return OpenResult::Missing;
    if (readTestFile(m) != ReadResult::Accepted) {
        tell(m, kReaderRefusal);
        return OpenResult::Refused;
    }
    titleAfterFile(m, path);

    recreatePages(m);
    releaseBitmaps(m);
    createBitmaps(m);
    // The reader has just taken the test type, shape and letter case from
    // the file.
    applyMenuChecks(m);
    clearToWhite(m.sheetBitmap);
    drawPageFrame(m.sheetBitmap);
    buildSheet(m, 1);
    resetPageRecord(m);
    refreshView(m);
    return OpenResult::Opened;
}

void saveTestCommand(Model& m)
{
    if (!chooseCommandFile(m, FileDialogMode::Save))
        return;
    if (!fileExists(m.testFileName)) {
        saveAndTitle(m);
        return;
    }
    if (m.interaction->messageBox(kOverwriteQuestion, kTitle, Buttons::YesNo) != Reply::Yes)
        return;
    if (saveAndTitle(m))
        tell(m, kTestSaved);
}

void readTestCommand(Model& m)
{
    if (!chooseCommandFile(m, FileDialogMode::Open))
        return;
    if (openTestFile(m, m.testFileName) == OpenResult::Refused)
        tell(m, kNotCompatible);
}

void correctTestCommand(Model& m)
{
    if (!chooseCommandFile(m, FileDialogMode::Open))
        return;
    if (!fileExists(m.testFileName)) {
        tell(m, kFileMissing);
        return;
    }
    switch (readKeyFile(m)) {
    case ReadResult::Accepted:
        break;
    case ReadResult::Refused:
        tell(m, kReaderRefusal);
        tell(m, kNotCompatible);
        return;
    case ReadResult::OtherTestType:
        tell(m, kNotCompatible);
        return;
    }
    correctTest(m);
    buildSheet(m, 1);
}

void openCommandLineTestFile(Model& m)
{
    // A desktop hands over the file as one argument, and on this system a
    // file name may hold quotes and outer blanks: such a name is taken as it
    // is. Anything else is a command tail, freed of quotes and outer blanks.
    if (m.commandArguments.size() == 1 && QFileInfo::exists(m.commandArguments.constFirst())) {
        openTestFile(m, m.commandArguments.constFirst());
        return;
    }
    QString path = m.commandTail;
    path.remove(QLatin1Char('"'));
    path = trimSpaces(path);
    if (path.isEmpty())
        return;
    openTestFile(m, path);
}
