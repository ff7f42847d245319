#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

// Qt's own dialogs keep state in a settings file that every Qt program of
// the user shares ("QtProject.conf"): the colour dialog its custom colours,
// the file dialog its history and view. This program keeps its custom
// colours for the run only and owns nothing in that file, so the file is
// put back as it was found: the same bytes, or no file at all.
struct SharedQtSettings {
    QString path;
    bool existed = false;
    std::optional<QByteArray> content; // nothing: no file, or unreadable
    bool folderExisted = false;
};

// Must run before any dialog and after the application object exists.
SharedQtSettings keepSharedQtSettings();
void restoreSharedQtSettings(const SharedQtSettings& kept);
