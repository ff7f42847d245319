#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QString>

class QWidget;

// Everything that asks the user something passes through here, so the
// running program shows real dialogs while tests answer from a script.
enum class Buttons { Ok, YesNo };
enum class Reply { Ok, Yes, No };
enum class FileDialogMode { Open, Save };

// The texts of the three selected entries of the print set-up dialog, empty
// where nothing is selected.
struct PrintSetupChoice {
    QString copies;
    QString colorMode;
    QString quality;
};

// What the print set-up dialog shows when it opens: the remembered
// selections (0 selects nothing) and the default printer's name.
struct PrintSetupRequest {
    std::int32_t printCopies = 0;
    std::int32_t printColorMode = 0;
    std::int32_t printQuality = 0;
    QString printerName;
};

class Interaction {
public:
    virtual ~Interaction() = default;

    // Message boxes have no owner window and no icon, and leave the main
    // window usable while they are open.
    virtual Reply messageBox(const QString& text, const QString& title, Buttons buttons) = 0;

    // The chosen path, or empty when cancelled. The open dialog accepts only
    // an existing file; the save dialog never asks about overwriting.
    virtual QString chooseFile(QWidget* owner, FileDialogMode mode, const QString& startFolder) = 0;

    // Starts at `initial`; the dialog may change the custom colours. Empty
    // when cancelled. Colours are 0x00BBGGRR.
    virtual std::optional<std::uint32_t> chooseColor(
        QWidget* owner, std::uint32_t initial, std::array<std::uint32_t, 16>& customColors)
        = 0;

    // Empty when the dialog was closed without "Seguir".
    virtual std::optional<PrintSetupChoice> printSetup(const PrintSetupRequest& request) = 0;

    // The main window has ended while commands may still wait on ownerless
    // boxes: those close as if cancelled (No, OK, no "Seguir"), and any
    // question asked afterwards gets that answer without being shown.
    virtual void windowEnded() = 0;
};
