#include "tests/support/testmodel.h"

#include "settings/settingsfile.h"
#include "sheet/layout.h"
#include "view/view.h"
#include "view/viewcontrol.h"

void setDefaultSettings(Settings& s)
{
    s = defaultSettings();
}

TestModel::TestModel()
    : window(std::make_unique<QWidget>())
{
    setDefaultSettings(m.settings);
    m.interaction = &ui;
    m.programFolder = folder.path();
    m.programPath = folder.filePath(QStringLiteral("zelvora"));
    m.mainWindow = window.get();
    attachView(m, new ViewControl(m, window.get()));
    m.mainWindow->setWindowTitle(QStringLiteral("Zelvora"));
    recreatePages(m);
    createBitmaps(m);
    m.answerCells.recreate(5);
    buildSheet(m, 1);
    resetPageRecord(m);
    refreshView(m);
}

TestModel::~TestModel() = default;
