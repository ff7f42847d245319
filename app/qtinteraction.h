#pragma once

#include "platform/interaction.h"

// The real dialogs. Qt's own widgets are used instead of the desktop's native
// dialogs so the behaviour is the same on every desktop.
class QtInteraction final : public Interaction {
public:
    Reply messageBox(const QString& text, const QString& title, Buttons buttons) override;
    QString chooseFile(QWidget* owner, FileDialogMode mode, const QString& startFolder) override;
    std::optional<std::uint32_t> chooseColor(
        QWidget* owner, std::uint32_t initial, std::array<std::uint32_t, 16>& customColors) override;
    std::optional<PrintSetupChoice> printSetup(const PrintSetupRequest& request) override;
    void windowEnded() override;

private:
    bool windowEnded_ = false;
};
