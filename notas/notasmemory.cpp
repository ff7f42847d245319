#include "notas/notasmemory.h"

#include <cmath>
#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "platform/userfolders.h"

namespace {

const QString kPenaltyNone = QStringLiteral("ninguna");
const QString kPenaltyAutomatic = QStringLiteral("automatica");

bool writeFresh(const QString& path, const NotasMemory& memory)
{
    QSettings file(path, QSettings::IniFormat);
    file.setValue(QStringLiteral("carpetas/clave"), memory.keyFolder);
    file.setValue(QStringLiteral("carpetas/respuestas"), memory.answersFolder);
    file.setValue(QStringLiteral("carpetas/exportar"), memory.exportFolder);
    QString penalty = kPenaltyNone;
    if (memory.options.penaltyKind == PenaltyKind::Automatic)
        penalty = kPenaltyAutomatic;
    else if (memory.options.penaltyKind == PenaltyKind::Points)
        penalty = QString::number(memory.options.penaltyPoints, 'g', 15);
    file.setValue(QStringLiteral("opciones/penalizacion"), penalty);
    file.setValue(QStringLiteral("opciones/escala"), QString::number(memory.options.scale, 'g', 15));
    file.sync();
    return file.status() == QSettings::NoError;
}

} // namespace

QString notasMemoryPath()
{
    return xdgConfigHome() + QStringLiteral("/zelvora/notas.ini");
}

NotasMemory readNotasMemory(const QString& path)
{
    NotasMemory m;
    if (!QFileInfo(path).isFile())
        return m;
    const QSettings file(path, QSettings::IniFormat);
    m.keyFolder = file.value(QStringLiteral("carpetas/clave")).toString();
    m.answersFolder = file.value(QStringLiteral("carpetas/respuestas")).toString();
    m.exportFolder = file.value(QStringLiteral("carpetas/exportar")).toString();
    const QString penalty = file.value(QStringLiteral("opciones/penalizacion")).toString();
    bool ok = false;
    const double points = penalty.toDouble(&ok);
    if (penalty == kPenaltyAutomatic) {
        m.options.penaltyKind = PenaltyKind::Automatic;
    } else if (ok && std::isfinite(points) && points > 0) {
        m.options.penaltyKind = PenaltyKind::Points;
        m.options.penaltyPoints = points;
    }
    const double scale = file.value(QStringLiteral("opciones/escala")).toString().toDouble(&ok);
    if (ok && std::isfinite(scale) && scale > 0)
        m.options.scale = scale;
    return m;
}

bool writeNotasMemory(const QString& path, const NotasMemory& memory)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    // Written whole beside the file, then put in its place: QSettings would
    // refuse to write over a file it could not parse, and the window would
    // then never remember anything again.
    const QString fresh = path + QStringLiteral(".new");
    QFile::remove(fresh);
    if (!writeFresh(fresh, memory)) {
        QFile::remove(fresh);
        return false;
    }
    return ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) == 0;
}
