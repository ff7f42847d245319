#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "app/mainwindow.h"
#include "app/qtsharedsettings.h"
#include "platform/userfolders.h"
#include "sheet/model.h"
#include "tests/support/scriptedinteraction.h"
#include "view/viewcontrol.h"

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void openingState_data();
    void openingState();
    void windowProperties();
    void placement_data();
    void placement();
    void qtUserSettingsKeptAway_data();
    void qtUserSettingsKeptAway();
    void closeRequestEndsLikeSalir();
    void focusKeptAcrossDeactivation();
};

void TestMainWindow::openingState_data()
{
    QTest::addColumn<int>("testType");
    QTest::newRow("five answers") << 0;
    QTest::newRow("logic test still gets five columns") << 1;
    QTest::newRow("unknown test type") << 7;
}

void TestMainWindow::openingState()
{
    QFETCH(int, testType);

    ScriptedInteraction ui;
    Model m;
    m.interaction = &ui;
    m.settings.testType = testType;
    m.answerCells.recreate(2);
    m.answerCells.at(1, 1).marked = 1;
    m.pages[7].originY = 3;
    {
        MainWindow window(m);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(m.answerCells.columns(), 5);
        QCOMPARE(m.answerCells.at(1, 1).marked, 0);
        QCOMPARE(m.pages[7].originY, 0);
        const PageRecord& page = pageRecord(m);
        QCOMPARE(page.originX, 0);
        QCOMPARE(page.originY, 0);
        QCOMPARE(page.width, 794);
        QCOMPARE(page.height, 1122);
        QCOMPARE(page.paperColor, 0xFFFFFFu);
        QCOMPARE(m.sheetBitmap.size(), QSize(794, 1122));
        QCOMPARE(m.viewBitmap.size(), QSize(794, 955));
        // Framed sheet, shown at the top.
        QCOMPARE(m.sheetBitmap.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(m.sheetBitmap.pixel(793, 1121), qRgb(0, 0, 0));
        QCOMPARE(m.viewControl->shownImage().pixel(0, 500), qRgb(0, 0, 0));
        QCOMPARE(window.windowTitle(), QStringLiteral("Zelvora"));
        window.end();
        QVERIFY(window.hasEnded());
    }
}

void TestMainWindow::windowProperties()
{
    ScriptedInteraction ui;
    Model m;
    m.interaction = &ui;
    MainWindow window(m);
    QCOMPARE(window.size(), QSize(804, 985));
    QCOMPARE(m.viewControl->geometry(), QRect(5, 5, 794, 955));
    QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(window.windowFlags() & Qt::WindowSystemMenuHint));
    // The view keeps its place and size whatever the window's size.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(300, 200);
    QCOMPARE(m.viewControl->geometry(), QRect(5, 5, 794, 955));
    window.resize(1200, 1100);
    QCOMPARE(m.viewControl->geometry(), QRect(5, 5, 794, 955));
    window.end();
}

void TestMainWindow::placement_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QPoint>("topLeft");

    QTest::newRow("fits: centred") << QRect(0, 0, 1920, 1080) << QSize(806, 1010) << QPoint(557, 35);
    QTest::newRow("laptop: too tall, centred across, caption at the top")
        << QRect(0, 0, 1366, 768) << QSize(806, 1010) << QPoint(280, 0);
    QTest::newRow("panel above and beside the area") << QRect(48, 30, 1318, 738) << QSize(806, 1010) << QPoint(304, 30);
    QTest::newRow("too narrow and too low: top-left of the area")
        << QRect(100, 20, 640, 480) << QSize(806, 1010) << QPoint(100, 20);
    QTest::newRow("exactly as tall") << QRect(0, 0, 1000, 1010) << QSize(806, 1010) << QPoint(97, 0);
}

void TestMainWindow::placement()
{
    QFETCH(QRect, available);
    QFETCH(QSize, frame);
    QFETCH(QPoint, topLeft);
    QCOMPARE(placedTopLeft(available, frame), topLeft);
}

void TestMainWindow::qtUserSettingsKeptAway_data()
{
    QTest::addColumn<bool>("existed");
    QTest::newRow("no file before") << false;
    QTest::newRow("another program's file") << true;
}

// What Qt's dialogs write goes nowhere: the file all Qt programs of the user
// share, and the folder it lies in, stay as they were.
void TestMainWindow::qtUserSettingsKeptAway()
{
    QFETCH(bool, existed);
    const QString configHome = xdgConfigHome();
    const QString shared = configHome + QStringLiteral("/QtProject.conf");
    const QByteArray before = "[FileDialog]\nhistory=/home/otro\n\n[Qt]\ncustomColors\\0=4294967295\n";
    QVERIFY(QDir().mkpath(configHome));
    QFile::remove(shared);
    if (existed) {
        QFile file(shared);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    const QStringList entries = QDir(configHome).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    keepQtUserSettingsAway();
    {
        QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
        QVERIFY(!settings.contains(QStringLiteral("FileDialog/history")));
        settings.setValue(QStringLiteral("Qt/customColors/0"), 255u);
        settings.sync();
        QCOMPARE(settings.status(), QSettings::AccessError);
    }
    {
        // Qt's file dialog saves its state as it goes.
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setDirectory(QDir::tempPath());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.reject();
    }

    QCOMPARE(QDir(configHome).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), entries);
    QFile file(shared);
    QCOMPARE(file.exists(), existed);
    if (existed) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        file.close();
        QFile::remove(shared);
    }
}

void TestMainWindow::closeRequestEndsLikeSalir()
{
    ScriptedInteraction ui;
    Model m;
    m.interaction = &ui;
    // createMainWindow runs until the window ends; the window manager's
    // close request must end it and release the bitmaps.
    QTimer::singleShot(0, [&m] {
        QVERIFY(m.mainWindow);
        m.mainWindow->close();
    });
    createMainWindow(m);
    QVERIFY(m.mainWindow == nullptr);
    QVERIFY(m.sheetBitmap.isNull());
    QVERIFY(m.viewBitmap.isNull());
}

void TestMainWindow::focusKeptAcrossDeactivation()
{
    ScriptedInteraction ui;
    Model m;
    m.interaction = &ui;
    MainWindow window(m);
    auto* other = new QLineEdit(window.centralWidget());
    other->move(5, 970);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    other->setFocus();

    mainWindowHandler(m, winmsg::kNcActivate, 0, 0);
    QCOMPARE(m.savedFocus.data(), QApplication::focusWidget());
    m.viewControl->setFocus();
    mainWindowHandler(m, winmsg::kNcActivate, 1, 0);
    QVERIFY(m.savedFocus.isNull());
    if (QApplication::focusWidget())
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(other));
    window.end();
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
