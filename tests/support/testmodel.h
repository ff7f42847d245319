#pragma once

#include <memory>

#include <QTemporaryDir>
#include <QWidget>

#include "sheet/model.h"
#include "tests/support/scriptedinteraction.h"

class ViewControl;

// A model as the main window leaves it after opening, with a bare window
// and a view control of its own, a scripted interaction and a temporary
// program folder. Settings start at the program's defaults.
struct TestModel {
    TestModel();
    ~TestModel();

    Model m;
    ScriptedInteraction ui;
    QTemporaryDir folder;
    std::unique_ptr<QWidget> window;
};

void setDefaultSettings(Settings& s);
