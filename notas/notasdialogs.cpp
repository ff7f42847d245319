#include "notas/notasdialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

constexpr QFileDialog::Options kOptions = QFileDialog::DontUseNativeDialog;

} // namespace

QString QtNotasDialogs::openFile(QWidget* owner, const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(owner, title, folder, filter, nullptr, kOptions);
}

QStringList QtNotasDialogs::openFiles(
    QWidget* owner, const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileNames(owner, title, folder, filter, nullptr, kOptions);
}

QString QtNotasDialogs::openFolder(QWidget* owner, const QString& title, const QString& folder)
{
    return QFileDialog::getExistingDirectory(owner, title, folder, kOptions | QFileDialog::ShowDirsOnly);
}

QString QtNotasDialogs::saveFile(QWidget* owner, const QString& title, const QString& path, const QString& filter)
{
    return QFileDialog::getSaveFileName(owner, title, path, filter, nullptr, kOptions);
}

int QtNotasDialogs::chooseCopies(QWidget* owner, const QString& title, const QString& printer)
{
    bool ok = false;
    const int copies = QInputDialog::getInt(
        owner, title, QStringLiteral("Copias para la impresora %1:").arg(printer), 1, 1, 999, 1, &ok);
    return ok ? copies : 0;
}

void QtNotasDialogs::warn(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::warning(owner, title, text);
}

void QtNotasDialogs::inform(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::information(owner, title, text);
}
