#include "platform/ownerlessdialog.h"

#include <QDialog>
#include <QEventLoop>

int runOwnerlessDialog(QDialog& dialog)
{
    // Message boxes make themselves modal unless told otherwise.
    dialog.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    loop.exec(QEventLoop::DialogExec);
    return dialog.result();
}
