#pragma once

#include <deque>
#include <optional>
#include <vector>

#include <QString>

#include "platform/interaction.h"

// Answers every question from a script and records what was asked, so no
// test ever waits on a dialog. A question with no scripted answer fails the
// running test and gets the safest answer (No, cancel).
class ScriptedInteraction final : public Interaction {
public:
    struct Message {
        QString text;
        QString title;
        Buttons buttons;
    };
    struct FileRequest {
        FileDialogMode mode;
        QString startFolder;
    };

    std::deque<Reply> replies;
    std::deque<QString> files;
    std::deque<std::optional<std::uint32_t>> colors;
    // Applied to the custom colours while a colour dialog is "open".
    std::deque<std::array<std::uint32_t, 16>> customColorEdits;
    // One entry per opening: "Seguir" with these selections, or closed
    // through the window manager when `seguir` is false.
    struct PrintSetupAnswer {
        bool seguir = true;
        PrintSetupChoice choice;
    };
    std::deque<PrintSetupAnswer> printAnswers;

    std::vector<Message> messages;
    std::vector<FileRequest> fileRequests;
    std::vector<std::uint32_t> colorInitials;
    std::vector<PrintSetupRequest> printRequests;

    Reply messageBox(const QString& text, const QString& title, Buttons buttons) override;
    QString chooseFile(QWidget* owner, FileDialogMode mode, const QString& startFolder) override;
    std::optional<std::uint32_t> chooseColor(
        QWidget* owner, std::uint32_t initial, std::array<std::uint32_t, 16>& customColors) override;
    std::optional<PrintSetupChoice> printSetup(const PrintSetupRequest& request) override;
    void windowEnded() override { }
};
