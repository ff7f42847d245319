#include "app/qtinteraction.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/color.h"
#include "platform/ownerlessdialog.h"
#include "print/printsetupdialog.h"

Reply QtInteraction::messageBox(const QString& text, const QString& title, Buttons buttons)
{
    const Reply cancelled = buttons == Buttons::YesNo ? Reply::No : Reply::Ok;
    if (windowEnded_)
        return cancelled;
    QMessageBox box;
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(title);
    // The texts carry Windows line ends; a lone CR would show as a glyph.
    box.setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    runOwnerlessDialog(box);
    // A box closed because the window ended has no clicked button.
    return box.clickedButton() && box.standardButton(box.clickedButton()) == QMessageBox::Yes ? Reply::Yes : cancelled;
}

QString QtInteraction::chooseFile(QWidget* owner, FileDialogMode mode, const QString& startFolder)
{
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(QStringLiteral("Test (*.ztest)"));
    dialog.setDirectory(startFolder.isEmpty() ? QDir::currentPath() : startFolder);
    if (mode == FileDialogMode::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("ztest"));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

std::optional<std::uint32_t> QtInteraction::chooseColor(
    QWidget* owner, std::uint32_t initial, std::array<std::uint32_t, 16>& customColors)
{
    // Qt keeps its custom colours process-wide; ours are handed in and read
    // back so that only this list carries them.
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, qColorFromColorRef(customColors[std::size_t(i)]));
    QColorDialog dialog(qColorFromColorRef(initial), owner);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    for (int i = 0; i < 16; ++i)
        customColors[std::size_t(i)] = colorRefFromRgb(QColorDialog::customColor(i).rgb());
    if (!accepted)
        return std::nullopt;
    return colorRefFromRgb(dialog.currentColor().rgb());
}

std::optional<PrintSetupChoice> QtInteraction::printSetup(const PrintSetupRequest& request)
{
    if (windowEnded_)
        return std::nullopt;
    return runPrintSetupDialog(request);
}

void QtInteraction::windowEnded()
{
    windowEnded_ = true;
    // The only windows without owner are the message boxes and the print
    // set-up dialog; dialogs owned by the main window block it while open,
    // so it cannot end under them.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog && dialog->isVisible() && !dialog->parentWidget())
            dialog->reject();
    }
}
