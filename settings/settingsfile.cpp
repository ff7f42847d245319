#include "settings/settingsfile.h"

#include <array>
#include <cstdint>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringView>

#include "platform/userfolders.h"
#include "settings/profilefile.h"
#include "settings/texttonumber.h"

namespace {

struct SettingKey {
    QStringView key;
    std::int32_t Settings::*value;
    QStringView defaultText;
};

constexpr QStringView kSection = u"Personalizar";

// The profile functions hand a value back in a 260-byte buffer, so at most
// 259 characters of it are read.
constexpr qsizetype kValueChars = 259;

// Read and written in this order.
const std::array<SettingKey, 7> kKeys = { {
    { u"Tipo Letra", &Settings::letterCase, u"1" },
    { u"Forma", &Settings::cellShape, u"0" },
    { u"Test", &Settings::testType, u"0" },
    { u"Color Relleno", &Settings::fillColor, u"0" },
    { u"Color Texto", &Settings::textColor, u"0" },
    { u"Color Acierto", &Settings::hitColor, u"65280" },
    { u"Color Fallo", &Settings::missColor, u"255" },
} };

// One blank in front of a value that is not negative, where the minus sign
// of a negative one stands.
QString valueText(std::int32_t v)
{
    return v < 0 ? QString::number(v) : QLatin1Char(' ') + QString::number(v);
}

QString besideProgram(const Model& m)
{
    return m.programFolder + QStringLiteral("/Configuracion.ini");
}

void getSettings(Model& m, const QString& path)
{
    // An unreadable file reads as a missing one: every key at its default.
    const QString text = readProfileFile(path).value_or(QString());
    for (const SettingKey& k : kKeys)
        m.settings.*k.value = textToNumber(
            QStringView(profileString(text, kSection, k.key, k.defaultText.toString())).left(kValueChars));
}

// A file without any write permission is locked, as an administrator locks
// the settings, whoever runs the program: root may write it all the same,
// and the atomic replace would even swap it for a writable one, so the mode
// bits are read and not only what the system would allow.
bool isLocked(const QString& path)
{
    const QFileInfo file(path);
    constexpr QFile::Permissions kAnyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return file.exists() && (!file.isWritable() || !(file.permissions() & kAnyWrite));
}

void saveSettings(const Model& m, const QString& path)
{
    if (isLocked(path))
        return;
    // Without the old text there is no keeping its other sections and
    // comments, so an unreadable file is left as it is.
    std::optional<QString> text = readProfileFile(path);
    if (!text)
        return;
    // The per-user folder may not exist yet; a program folder always does.
    if (path != besideProgram(m))
        QDir().mkpath(QFileInfo(path).absolutePath());
    for (const SettingKey& k : kKeys)
        setProfileString(*text, kSection, k.key, valueText(m.settings.*k.value));
    writeProfileFile(path, *text);
}

// A settings file beside the executable is the settings file, writable or
// not, in a folder the user may write or not: it is how a portable copy,
// or an administrator, sets them. Only without one, and where no new file
// may be made beside the executable, are they the user's own; always so for
// an installed program, whose folder belongs to the packages.
// Never cut to a fixed length: a cut path would name another file.
QString settingsFilePath(const Model& m)
{
    if (!m.installedProgram && !m.programFolder.isEmpty()
        && (m.filesBesideProgram || QFileInfo(besideProgram(m)).exists()))
        return besideProgram(m);
    const QString folder = m.edition == Edition::Exam ? QStringLiteral("/brastin") : QStringLiteral("/zelvora");
    return xdgConfigHome() + folder + QStringLiteral("/Configuracion.ini");
}

} // namespace

void settingsFile(Model& m, const QString& mode)
{
    // No folder means no known place for the file; never fall back to "/".
    if (m.filesBesideProgram && !m.installedProgram && m.programFolder.isEmpty())
        return;
    if (mode == u"get")
        getSettings(m, settingsFilePath(m));
    else if (mode == u"save")
        saveSettings(m, settingsFilePath(m));
}

Settings defaultSettings()
{
    Settings s;
    for (const SettingKey& k : kKeys)
        s.*k.value = textToNumber(k.defaultText);
    return s;
}
