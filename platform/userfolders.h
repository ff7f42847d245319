#pragma once

#include <QString>
#include <QStringList>

// The freedesktop base directories, read from the environment on every call
// so that a changed environment (tests point them at temporary folders) is
// honoured at once. Unset, empty or relative values fall back to the
// defaults of the XDG Base Directory rules.
QString xdgDataHome();
QString xdgConfigHome();
QStringList xdgDataDirs();
QStringList xdgConfigDirs();

// The user's pictures folder as `xdg-user-dir PICTURES` names it: the
// XDG_PICTURES_DIR line of user-dirs.dirs in the config home (the last one
// wins, "$HOME" expanded), else the variable of that name in the
// environment, else the home folder. The folder may not exist yet.
QString xdgPicturesFolder();

// Whether the program runs from the folder the packages install it into,
// which belongs to the package manager even when root runs the program.
// An empty install folder is none.
bool runsFromInstallFolder(const QString& programFolder, const QString& installFolder);

// Whether the program keeps new files (its page image, a first settings
// file) beside the executable, as a portable copy does: only where the user
// may write that folder and it is not the install folder.
bool keepsFilesBesideProgram(const QString& programFolder, const QString& installFolder);
