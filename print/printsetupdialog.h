#pragma once

#include <optional>

#include <QDialog>
#include <QPointer>

#include "platform/interaction.h"

class QComboBox;

// "Configura la impresión": three lists and "Seguir". It only collects the
// selected entry texts; turning them into numbers is the caller's business.
class PrintSetupDialog final : public QDialog {
    Q_OBJECT

public:
    explicit PrintSetupDialog(const PrintSetupRequest& request);

    // The selected entries at the moment "Seguir" was activated.
    const PrintSetupChoice& choice() const { return choice_; }

    // Pixels of a dialog unit, from the dialog font's base units.
    int unitsToPixelsX(int units) const;
    int unitsToPixelsY(int units) const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void seguir();

    int baseUnitX_ = 0;
    int baseUnitY_ = 0;
    QComboBox* copies_ = nullptr;
    QComboBox* colorMode_ = nullptr;
    QComboBox* quality_ = nullptr;
    QPointer<QWidget> focusBeforeDeactivation_;
    PrintSetupChoice choice_;
};

// Shows the dialog and returns the selected entry texts, or nothing when it
// was closed without "Seguir".
std::optional<PrintSetupChoice> runPrintSetupDialog(const PrintSetupRequest& request);
