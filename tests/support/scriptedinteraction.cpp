#include "tests/support/scriptedinteraction.h"

#include <QTest>

Reply ScriptedInteraction::messageBox(const QString& text, const QString& title, Buttons buttons)
{
    messages.push_back({text, title, buttons});
    if (buttons == Buttons::Ok)
        return Reply::Ok;
    if (replies.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + text), __FILE__, __LINE__);
        return Reply::No;
    }
    const Reply reply = replies.front();
    replies.pop_front();
    return reply;
}

QString ScriptedInteraction::chooseFile(QWidget*, FileDialogMode mode, const QString& startFolder)
{
    fileRequests.push_back({mode, startFolder});
    if (files.empty()) {
        QTest::qFail("unexpected file dialog", __FILE__, __LINE__);
        return {};
    }
    QString file = files.front();
    files.pop_front();
    return file;
}

std::optional<std::uint32_t> ScriptedInteraction::chooseColor(QWidget*, std::uint32_t initial,
                                                              std::array<std::uint32_t, 16>& customColors)
{
    colorInitials.push_back(initial);
    if (!customColorEdits.empty()) {
        customColors = customColorEdits.front();
        customColorEdits.pop_front();
    }
    if (colors.empty()) {
        QTest::qFail("unexpected colour dialog", __FILE__, __LINE__);
        return std::nullopt;
    }
    const auto color = colors.front();
    colors.pop_front();
    return color;
}

std::optional<PrintSetupChoice> ScriptedInteraction::printSetup(const PrintSetupRequest& request)
{
    printRequests.push_back(request);
    if (printAnswers.empty()) {
        QTest::qFail("unexpected print set-up dialog", __FILE__, __LINE__);
        return std::nullopt;
    }
    const PrintSetupAnswer answer = printAnswers.front();
    printAnswers.pop_front();
    if (!answer.seguir)
        return std::nullopt;
    return answer.choice;
}
