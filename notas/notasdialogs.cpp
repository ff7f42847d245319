#include "notas/notasdialogs.h"

#include <QFileDialog>
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

void QtNotasDialogs::warn(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::warning(owner, title, text);
}

void QtNotasDialogs::inform(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::information(owner, title, text);
}
