#pragma once

// Qt's own dialogs keep state in a settings file that every Qt program of
// the user shares ("QtProject.conf" in the config home): the file dialog its
// history and view when it closes, the colour dialog its custom colours from
// a static object when the process ends, after main has returned. This
// program owns nothing in that file; its custom colours live in the model
// for the run. So Qt's user-scope settings are sent where no file can ever
// be made: Qt's dialogs then read nothing and their writes fail quietly,
// whenever they happen, and the user's file is never opened for writing.
//
// Must run before anything makes a user-scope QSettings, since one made
// earlier keeps its path; the program calls it before the application
// object exists.
void keepQtUserSettingsAway();
