#include "app/qtinteraction.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/color.h"
#include "print/printsetupdialog.h"

Reply QtInteraction::messageBox(const QString& text, const QString& title, Buttons buttons)
{
    QMessageBox box;
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(title);
    // The texts carry Windows line ends; a lone CR would show as a glyph.
    box.setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? Reply::Yes : Reply::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Reply::Ok;
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

std::optional<std::uint32_t> QtInteraction::chooseColor(QWidget* owner, std::uint32_t initial,
                                                        std::array<std::uint32_t, 16>& customColors)
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
    return runPrintSetupDialog(request);
}
