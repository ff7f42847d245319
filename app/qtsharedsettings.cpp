#include "app/qtsharedsettings.h"

#include <QSettings>

void keepQtUserSettingsAway()
{
    // /dev/null is a device on every system this program runs on, so no
    // folder below it can be created, by root neither. A private temporary
    // folder would not do: the colour dialog writes after any clean-up of
    // ours has run, and Qt creates the folder again to write into it.
    const QString nowhere = QStringLiteral("/dev/null/zelvora");
    // The file dialog and the colour dialog use the native format, which on
    // Unix is the INI one; both are moved so that neither falls back.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
}
