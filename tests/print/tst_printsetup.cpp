#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "platform/interaction.h"
#include "print/printcommand.h"
#include "print/printsetup.h"
#include "print/printsetupdialog.h"
#include "sheet/model.h"
#include "tests/support/testmodel.h"
#include "view/viewcontrol.h"

// The test environment points CUPS at a socket where nothing listens, so
// there is no default printer here.

namespace {

const QStringList kCopies = { QStringLiteral("01 copia"), QStringLiteral("02 copias"), QStringLiteral("03 copias"),
    QStringLiteral("04 copias"), QStringLiteral("05 copias"), QStringLiteral("10 copias") };
const QStringList kColorModes = { QStringLiteral("1 - Monocromo"), QStringLiteral("2 - Color") };
const QStringList kQualities = { QStringLiteral("1 - Borrador"), QStringLiteral("2 - Baja Resolución"),
    QStringLiteral("3 - Media Resolución"), QStringLiteral("4 - Alta Resolución") };

QComboBox* list(QDialog& dialog, const char* name)
{
    auto* combo = dialog.findChild<QComboBox*>(QLatin1String(name));
    if (!combo)
        qFatal("no list %s", name);
    return combo;
}

QStringList entries(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QString shown(const QComboBox* combo)
{
    return combo->currentIndex() < 0 ? QString() : combo->currentText();
}

void clickSeguir(QDialog& dialog)
{
    auto* button = dialog.findChild<QPushButton*>(QStringLiteral("seguir"));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Tries to start a second print run from inside the set-up dialog, as a
// click on the still usable menu would, and notes what the view shows
// while the confirmation is open. Every question is answered No.
class ReentrantInteraction final : public Interaction {
public:
    explicit ReentrantInteraction(Model& m)
        : m_(m)
    {
    }

    int printSetups = 0;
    int busyInDialog = -1;
    int offsetAtQuestion = 1;
    QRgb cornerAtQuestion = 0;

    Reply messageBox(const QString&, const QString&, Buttons) override
    {
        offsetAtQuestion = pageRecord(m_).originY;
        cornerAtQuestion = m_.viewControl->shownImage().pixel(0, 0);
        return Reply::No;
    }
    QString chooseFile(QWidget*, FileDialogMode, const QString&) override { return {}; }
    std::optional<std::uint32_t> chooseColor(QWidget*, std::uint32_t, std::array<std::uint32_t, 16>&) override
    {
        return std::nullopt;
    }
    std::optional<PrintSetupChoice> printSetup(const PrintSetupRequest&) override
    {
        ++printSetups;
        busyInDialog = m_.printBusy;
        printCommand(m_);
        return std::nullopt;
    }
    void windowEnded() override { }

private:
    Model& m_;
};

// Ends the main window while the set-up dialog or the question is open, as
// "Salir" in the still usable menu would, and then answers "Seguir" or Yes.
class EndingInteraction final : public Interaction {
public:
    EndingInteraction(Model& m, bool inSetup)
        : m_(m)
        , inSetup_(inSetup)
    {
    }

    int questions = 0;

    Reply messageBox(const QString&, const QString&, Buttons) override
    {
        ++questions;
        m_.windowEnded = true;
        return Reply::Yes;
    }
    QString chooseFile(QWidget*, FileDialogMode, const QString&) override { return {}; }
    std::optional<std::uint32_t> chooseColor(QWidget*, std::uint32_t, std::array<std::uint32_t, 16>&) override
    {
        return std::nullopt;
    }
    std::optional<PrintSetupChoice> printSetup(const PrintSetupRequest&) override
    {
        m_.windowEnded = inSetup_;
        return PrintSetupChoice { kCopies[0], kColorModes[1], kQualities[3] };
    }
    void windowEnded() override { }

private:
    Model& m_;
    bool inSetup_;
};

} // namespace

class TestPrintSetup : public QObject {
    Q_OBJECT
private slots:
    void firstOpeningShowsNothing();
    void remembersSelection_data();
    void remembersSelection();
    void onlyTheSelectedEntryCounts_data();
    void onlyTheSelectedEntryCounts();
    void closingKeepsNothing();
    void runLeavesOtherWindowsUsable_data();
    void runLeavesOtherWindowsUsable();
    void valuesTakenOnSeguir_data();
    void valuesTakenOnSeguir();
    void closingKeepsOldValues();
    void busyRunAndViewDuringQuestion();
    void windowEndedMeanwhile_data();
    void windowEndedMeanwhile();
};

void TestPrintSetup::firstOpeningShowsNothing()
{
    PrintSetupDialog dialog { PrintSetupRequest {} };
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Configura la impresión"));
    QVERIFY(!dialog.parentWidget());
    QCOMPARE(entries(list(dialog, "copies")), kCopies);
    QCOMPARE(entries(list(dialog, "colorMode")), kColorModes);
    QCOMPARE(entries(list(dialog, "quality")), kQualities);
    for (const char* name : { "copies", "colorMode", "quality" }) {
        QCOMPARE(list(dialog, name)->currentIndex(), -1);
        QCOMPARE(list(dialog, name)->currentText(), QString());
    }
    auto* printer = dialog.findChild<QLabel*>(QStringLiteral("printerName"));
    QVERIFY(printer);
    QCOMPARE(printer->text(), QString());
    QCOMPARE(printer->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));

    clickSeguir(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.choice().copies, QString());
    QCOMPARE(dialog.choice().colorMode, QString());
    QCOMPARE(dialog.choice().quality, QString());
}

void TestPrintSetup::remembersSelection_data()
{
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("copiesShown");
    QTest::addColumn<QString>("colorShown");
    QTest::addColumn<QString>("qualityShown");

    QTest::newRow("ten copies is the sixth entry") << 10 << 2 << 4 << kCopies[5] << kColorModes[1] << kQualities[3];
    QTest::newRow("three copies") << 3 << 1 << 1 << kCopies[2] << kColorModes[0] << kQualities[0];
    QTest::newRow("one copy") << 1 << 0 << 2 << kCopies[0] << QString() << kQualities[1];
    QTest::newRow("nothing chosen") << 0 << 0 << 0 << QString() << QString() << QString();
}

void TestPrintSetup::remembersSelection()
{
    QFETCH(int, copies);
    QFETCH(int, colorMode);
    QFETCH(int, quality);

    // Through the model: "Seguir" stores the values, the next opening is
    // asked to show them and the dialog selects the matching entries.
    TestModel t;
    t.ui.printAnswers.push_back({ true,
        { copies == 10   ? kCopies[5]
                : copies ? kCopies[copies - 1]
                         : QString(),
            colorMode ? kColorModes[colorMode - 1] : QString(), quality ? kQualities[quality - 1] : QString() } });
    t.ui.printAnswers.push_back({ false, {} });
    printSetupDialog(t.m);
    QCOMPARE(t.m.print.printCopies, copies);
    QCOMPARE(t.m.print.printColorMode, colorMode);
    QCOMPARE(t.m.print.printQuality, quality);
    printSetupDialog(t.m);
    QCOMPARE(t.ui.printRequests.size(), std::size_t(2));

    PrintSetupDialog dialog(t.ui.printRequests.back());
    QTEST(shown(list(dialog, "copies")), "copiesShown");
    QTEST(shown(list(dialog, "colorMode")), "colorShown");
    QTEST(shown(list(dialog, "quality")), "qualityShown");
}

void TestPrintSetup::onlyTheSelectedEntryCounts_data()
{
    QTest::addColumn<int>("leaveKey");
    QTest::newRow("field left") << int(Qt::Key_Tab);
    QTest::newRow("Return in the field") << int(Qt::Key_Return);
}

void TestPrintSetup::onlyTheSelectedEntryCounts()
{
    QFETCH(int, leaveKey);

    PrintSetupRequest request;
    request.printQuality = 2;
    PrintSetupDialog dialog(request);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    list(dialog, "colorMode")->setCurrentIndex(1);

    // Typed over nothing selected, in another case than the entry's, and
    // over a selected entry; then the field is left.
    QComboBox* copies = list(dialog, "copies");
    copies->setFocus();
    QTest::keyClicks(copies, QStringLiteral("05 COPIAS"));
    QTest::keyClick(copies, Qt::Key(leaveKey));
    QComboBox* quality = list(dialog, "quality");
    quality->setFocus();
    quality->lineEdit()->selectAll();
    QTest::keyClicks(quality, QStringLiteral("4 - alta"));
    QTest::keyClick(quality, Qt::Key(leaveKey));

    // The fields show what counts again.
    QCOMPARE(copies->currentIndex(), -1);
    QCOMPARE(copies->currentText(), QString());
    QCOMPARE(quality->currentText(), kQualities[1]);
    if (dialog.result() != QDialog::Accepted)
        clickSeguir(dialog);
    QCOMPARE(dialog.choice().copies, QString());
    QCOMPARE(dialog.choice().colorMode, kColorModes[1]);
    QCOMPARE(dialog.choice().quality, kQualities[1]);
}

void TestPrintSetup::closingKeepsNothing()
{
    PrintSetupRequest request;
    request.printCopies = 3;
    PrintSetupDialog dialog(request);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialog.show();
    list(dialog, "copies")->setCurrentIndex(5);
    dialog.close();
    QCOMPARE(rejected.count(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.choice().copies, QString());
}

void TestPrintSetup::runLeavesOtherWindowsUsable_data()
{
    QTest::addColumn<bool>("seguir");
    QTest::newRow("Seguir") << true;
    QTest::newRow("closed") << false;
}

void TestPrintSetup::runLeavesOtherWindowsUsable()
{
    QFETCH(bool, seguir);

    PrintSetupRequest request;
    request.printCopies = 10;
    request.printerName = QStringLiteral("zelvora");
    bool seen = false;
    QWidget* modal = nullptr;
    QTimer::singleShot(0, this, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<PrintSetupDialog*>(top);
            if (!dialog || !dialog->isVisible())
                continue;
            seen = true;
            modal = QApplication::activeModalWidget();
            QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("printerName"))->text(), request.printerName);
            list(*dialog, "quality")->setCurrentIndex(3);
            if (seguir)
                clickSeguir(*dialog);
            else
                dialog->close();
        }
    });
    const auto choice = runPrintSetupDialog(request);
    QVERIFY(seen);
    QVERIFY(!modal);
    QCOMPARE(choice.has_value(), seguir);
    if (seguir) {
        QCOMPARE(choice->copies, kCopies[5]);
        QCOMPARE(choice->colorMode, QString());
        QCOMPARE(choice->quality, kQualities[3]);
    }
}

void TestPrintSetup::valuesTakenOnSeguir_data()
{
    QTest::addColumn<QString>("copies");
    QTest::addColumn<QString>("colorMode");
    QTest::addColumn<QString>("quality");
    QTest::addColumn<int>("expectedCopies");
    QTest::addColumn<int>("expectedColor");
    QTest::addColumn<int>("expectedQuality");

    QTest::newRow("ten copies, colour, high") << kCopies[5] << kColorModes[1] << kQualities[3] << 10 << 2 << 4;
    QTest::newRow("one copy, mono, draft") << kCopies[0] << kColorModes[0] << kQualities[0] << 1 << 1 << 1;
    QTest::newRow("nothing selected") << QString() << QString() << QString() << 0 << 0 << 0;
}

void TestPrintSetup::valuesTakenOnSeguir()
{
    QFETCH(QString, copies);
    QFETCH(QString, colorMode);
    QFETCH(QString, quality);

    TestModel t;
    t.m.print = { 5, 2, 3 };
    t.ui.printAnswers.push_back({ true, { copies, colorMode, quality } });
    printSetupDialog(t.m);
    QCOMPARE(t.ui.printRequests.size(), std::size_t(1));
    QCOMPARE(t.ui.printRequests[0].printCopies, 5);
    QCOMPARE(t.ui.printRequests[0].printColorMode, 2);
    QCOMPARE(t.ui.printRequests[0].printQuality, 3);
    // No default printer: an empty name and no message.
    QCOMPARE(t.ui.printRequests[0].printerName, QString());
    QVERIFY(t.ui.messages.empty());
    QTEST(t.m.print.printCopies, "expectedCopies");
    QTEST(t.m.print.printColorMode, "expectedColor");
    QTEST(t.m.print.printQuality, "expectedQuality");
}

void TestPrintSetup::closingKeepsOldValues()
{
    TestModel t;
    t.m.print = { 3, 2, 4 };
    t.ui.printAnswers.push_back({ false, { kCopies[5], kColorModes[0], kQualities[0] } });
    // The print run still follows and asks; No ends it.
    t.ui.replies.push_back(Reply::No);
    printCommand(t.m);
    QCOMPARE(t.m.print.printCopies, 3);
    QCOMPARE(t.m.print.printColorMode, 2);
    QCOMPARE(t.m.print.printQuality, 4);
    QCOMPARE(t.ui.messages.size(), std::size_t(1));
    QCOMPARE(t.ui.messages[0].text, QStringLiteral("Imprimir ?\r\nSi/No ?"));
    QCOMPARE(t.m.printBusy, 0);
}

void TestPrintSetup::busyRunAndViewDuringQuestion()
{
    TestModel t;
    ReentrantInteraction ui(t.m);
    t.m.interaction = &ui;
    pageRecord(t.m).originY = -561;
    printCommand(t.m);
    QCOMPARE(ui.printSetups, 1);
    QCOMPARE(ui.busyInDialog, 1);
    QCOMPARE(t.m.printBusy, 0);
    // The question shows the top of the sheet without its frame; afterwards
    // the frame is back.
    QCOMPARE(ui.offsetAtQuestion, 0);
    QCOMPARE(ui.cornerAtQuestion, QRgb(0xFFFFFFFF));
    QCOMPARE(t.m.viewControl->shownImage().pixel(0, 0), QRgb(0xFF000000));
}

void TestPrintSetup::windowEndedMeanwhile_data()
{
    QTest::addColumn<bool>("inSetup");
    QTest::addColumn<int>("questions");
    QTest::newRow("during the set-up dialog") << true << 0;
    QTest::newRow("during the question") << false << 1;
}

// Nothing more happens once the window has ended: no question, no print
// (here it would end in an error box), no drawing.
void TestPrintSetup::windowEndedMeanwhile()
{
    QFETCH(bool, inSetup);

    TestModel t;
    EndingInteraction ui(t.m, inSetup);
    t.m.interaction = &ui;
    printCommand(t.m);
    QTEST(ui.questions, "questions");
    QCOMPARE(t.m.printBusy, 0);
    QCOMPARE(t.m.print.printQuality, 4);
    // The sheet is left as the last step before the end drew it.
    const QRgb corner = inSetup ? QRgb(0xFF000000) : QRgb(0xFFFFFFFF);
    QCOMPARE(t.m.sheetBitmap.pixel(0, 0), corner);
}

QTEST_MAIN(TestPrintSetup)
#include "tst_printsetup.moc"
