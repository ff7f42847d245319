#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/menubar.h"
#include "app/swatches.h"
#include "platform/color.h"
#include "tests/support/scopedenvironment.h"
#include "tests/support/testmodel.h"

using namespace command;

namespace {

// One line per item: "menu/text=id", "menu/-" for a separator, with
// "[x]" or "[ ]" for checkable items.
QStringList describe(const QMenuBar* bar)
{
    QStringList lines;
    for (QAction* menuAction : bar->actions()) {
        const QString title = menuAction->text();
        for (QAction* item : menuAction->menu()->actions()) {
            if (item->isSeparator()) {
                lines << title + QStringLiteral("/-");
                continue;
            }
            QString line = title + QLatin1Char('/') + item->text() + QLatin1Char('=') + QString::number(item->data().toInt());
            if (item->isCheckable())
                line += item->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
            lines << line;
        }
    }
    return lines;
}

QAction* itemOf(const Model& m, std::uint16_t id)
{
    for (QAction* menuAction : m.menuBar->actions())
        for (QAction* item : menuAction->menu()->actions())
            if (!item->isSeparator() && item->data().toInt() == id)
                return item;
    return nullptr;
}

bool checked(const Model& m, std::uint16_t id)
{
    return itemOf(m, id)->isChecked();
}

// Only the low word carries the id; the high word is noise to the dispatch.
void send(Model& m, std::uint16_t id)
{
    mainWindowHandler(m, winmsg::kCommand, 0xA5A50000u | id, 0);
}

void markCell(Model& m, int k, int q, ColorRef color)
{
    m.answerCells.at(k, q).marked = 1;
    m.answerCells.at(k, q).markColor = color;
}

const QStringList kPersonalizar = {
    QStringLiteral("Personalizar/Celdas cuadradas=1077 [x]"),
    QStringLiteral("Personalizar/Celdas redondas=1078 [ ]"),
    QStringLiteral("Personalizar/-"),
    QStringLiteral("Personalizar/Letra Mayuscula=1081 [x]"),
    QStringLiteral("Personalizar/Letra Minuscula=1082 [ ]"),
    QStringLiteral("Personalizar/-"),
    QStringLiteral("Personalizar/Test 5 respuestas=1079 [x]"),
    QStringLiteral("Personalizar/Test Logica Español=1080 [ ]"),
    QStringLiteral("Personalizar/Test Boolean Logic English=1084 [ ]"),
};

} // namespace

class TestMenus : public QObject {
    Q_OBJECT
private slots:
    void structure_data();
    void structure();
    void checksFollowSettings_data();
    void checksFollowSettings();
    void appearanceCommands_data();
    void appearanceCommands();
    void choosingCheckedTestTypeEmptiesSheet();
    void reset_data();
    void reset();
    void colourKeepsEarlierMarks();
    void cancelledColourChangesNothing();
    void swatchPicture();
    void swatchesShowColours();
    void pageImage();
    void pageImageFolderNotWritable();
    void installedPageImageGoesToPictures_data();
    void installedPageImageGoesToPictures();
    void author();
    void idsWithoutActionDoNothing_data();
    void idsWithoutActionDoNothing();
};

void TestMenus::structure_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<QStringList>("expected");

    QStringList full = {
        QStringLiteral("Archivos/Resetea=1083"),  QStringLiteral("Archivos/-"), QStringLiteral("Archivos/Grabar test=1087"),
        QStringLiteral("Archivos/-"),             QStringLiteral("Archivos/Leer test=1088"), QStringLiteral("Archivos/-"),
        QStringLiteral("Archivos/Corregir test=1089"), QStringLiteral("Archivos/-"), QStringLiteral("Archivos/Imprimir=1092"),
        QStringLiteral("Archivos/-"),             QStringLiteral("Archivos/Fotocopia=1070"), QStringLiteral("Archivos/-"),
        QStringLiteral("Archivos/Autor=1048"),    QStringLiteral("Archivos/-"), QStringLiteral("Archivos/Salir=1047"),
    };
    full << kPersonalizar
         << QStringList{QStringLiteral("Color/Relleno=1085"), QStringLiteral("Color/Escritura=1086"),
                        QStringLiteral("Color/Acierto=1090"), QStringLiteral("Color/Fallo=1091")};
    QStringList exam = {
        QStringLiteral("Archivos/Resetea=1083"), QStringLiteral("Archivos/-"), QStringLiteral("Archivos/Grabar test=1087"),
        QStringLiteral("Archivos/-"), QStringLiteral("Archivos/Salir=1047"),
    };
    exam << kPersonalizar << QStringList{QStringLiteral("Color/Relleno=1085"), QStringLiteral("Color/Escritura=1086")};

    QTest::newRow("zelvora") << int(Edition::Full) << full;
    QTest::newRow("brastin") << int(Edition::Exam) << exam;
}

void TestMenus::structure()
{
    QFETCH(int, edition);
    QFETCH(QStringList, expected);

    TestModel t;
    t.m.edition = Edition(edition);
    buildMenuBar(t.m);
    QCOMPARE(describe(t.m.menuBar), expected);
    // Every "Color" item carries its swatch.
    const QList<QAction*> colours = t.m.menuBar->actions().at(2)->menu()->actions();
    for (QAction* item : colours)
        QVERIFY2(!item->icon().isNull(), qPrintable(item->text()));
}

void TestMenus::checksFollowSettings_data()
{
    QTest::addColumn<int>("letterCase");
    QTest::addColumn<int>("cellShape");
    QTest::addColumn<int>("testType");
    QTest::addColumn<QList<std::uint16_t>>("checkedItems");

    QTest::newRow("defaults") << 1 << 0 << 0 << QList<std::uint16_t>{kLetraMayuscula, kCeldasCuadradas, kTest5Respuestas};
    QTest::newRow("small, round, logic") << 0 << 1 << 1
                                         << QList<std::uint16_t>{kLetraMinuscula, kCeldasRedondas, kTestLogicaEspanol};
    QTest::newRow("odd values") << 7 << 7 << 2 << QList<std::uint16_t>{kLetraMinuscula, kCeldasRedondas, kTestBooleanLogic};
    QTest::newRow("unknown test type checks none") << 1 << 0 << 9 << QList<std::uint16_t>{kLetraMayuscula, kCeldasCuadradas};
}

void TestMenus::checksFollowSettings()
{
    QFETCH(int, letterCase);
    QFETCH(int, cellShape);
    QFETCH(int, testType);
    QFETCH(QList<std::uint16_t>, checkedItems);

    TestModel t;
    t.m.settings.letterCase = letterCase;
    t.m.settings.cellShape = cellShape;
    t.m.settings.testType = testType;
    buildMenuBar(t.m);
    for (std::uint16_t id : {kCeldasCuadradas, kCeldasRedondas, kLetraMayuscula, kLetraMinuscula, kTest5Respuestas,
                             kTestLogicaEspanol, kTestBooleanLogic})
        QCOMPARE(checked(t.m, id), checkedItems.contains(id));
}

void TestMenus::appearanceCommands_data()
{
    QTest::addColumn<std::uint16_t>("id");
    QTest::addColumn<int>("letterCase");
    QTest::addColumn<int>("cellShape");
    QTest::addColumn<int>("testType");
    QTest::addColumn<int>("columns");

    QTest::newRow("Celdas redondas") << kCeldasRedondas << 1 << 1 << 0 << 5;
    QTest::newRow("Celdas cuadradas") << kCeldasCuadradas << 1 << 0 << 0 << 5;
    QTest::newRow("Letra Minuscula") << kLetraMinuscula << 0 << 0 << 0 << 5;
    QTest::newRow("Letra Mayuscula") << kLetraMayuscula << 1 << 0 << 0 << 5;
    QTest::newRow("Test Logica Español") << kTestLogicaEspanol << 1 << 0 << 1 << 2;
    QTest::newRow("Test Boolean Logic English") << kTestBooleanLogic << 1 << 0 << 2 << 2;
    QTest::newRow("Test 5 respuestas") << kTest5Respuestas << 1 << 0 << 0 << 5;
}

void TestMenus::appearanceCommands()
{
    QFETCH(std::uint16_t, id);
    QFETCH(int, letterCase);
    QFETCH(int, cellShape);
    QFETCH(int, testType);
    QFETCH(int, columns);

    TestModel t;
    buildMenuBar(t.m);
    // Start from the opposite of every default so each command shows.
    t.m.settings.letterCase = id == kLetraMayuscula ? 0 : 1;
    t.m.settings.cellShape = id == kCeldasCuadradas ? 1 : 0;
    markCell(t.m, 1, 1, 0x0000FF);
    send(t.m, id);

    QCOMPARE(t.m.settings.letterCase, letterCase);
    QCOMPARE(t.m.settings.cellShape, cellShape);
    QCOMPARE(t.m.settings.testType, testType);
    QCOMPARE(t.m.answerCells.columns(), columns);
    QVERIFY(checked(t.m, id));
    const bool testTypeChosen = id == kTest5Respuestas || id == kTestLogicaEspanol || id == kTestBooleanLogic;
    // Shape and letter case keep the marks; a test type empties the table.
    QCOMPARE(t.m.answerCells.at(1, 1).marked, testTypeChosen ? 0 : 1);
    const std::uint16_t partner = id == kCeldasRedondas ? kCeldasCuadradas
        : id == kCeldasCuadradas                         ? kCeldasRedondas
        : id == kLetraMinuscula                          ? kLetraMayuscula
        : id == kLetraMayuscula                          ? kLetraMinuscula
        : id == kTest5Respuestas                         ? kTestLogicaEspanol
                                                         : kTest5Respuestas;
    QVERIFY(!checked(t.m, partner));
}

void TestMenus::choosingCheckedTestTypeEmptiesSheet()
{
    TestModel t;
    buildMenuBar(t.m);
    send(t.m, kTestLogicaEspanol);
    markCell(t.m, 2, 40, 0);
    send(t.m, kTestLogicaEspanol);
    QCOMPARE(t.m.answerCells.at(2, 40).marked, 0);
    QVERIFY(checked(t.m, kTestLogicaEspanol));
}

void TestMenus::reset_data()
{
    QTest::addColumn<int>("testType");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("emptied");

    QTest::newRow("five answers") << 0 << 5 << true;
    QTest::newRow("logic") << 1 << 2 << true;
    QTest::newRow("boolean") << 2 << 2 << true;
    QTest::newRow("unknown type leaves the table") << 5 << 5 << false;
}

void TestMenus::reset()
{
    QFETCH(int, testType);
    QFETCH(int, columns);
    QFETCH(bool, emptied);

    TestModel t;
    buildMenuBar(t.m);
    t.m.settings.testType = testType;
    markCell(t.m, 1, 1, 0xFF);
    markCell(t.m, 2, 100, 0xFF);
    setMainWindowTitle(t.m, QStringLiteral("examen.ztest"));
    send(t.m, kResetea);

    QCOMPARE(t.m.answerCells.columns(), columns);
    QCOMPARE(t.m.answerCells.at(1, 1).marked, emptied ? 0 : 1);
    QCOMPARE(t.m.answerCells.at(2, 100).marked, emptied ? 0 : 1);
    QCOMPARE(t.m.mainWindow->windowTitle(), QStringLiteral("Zelvora"));
}

void TestMenus::colourKeepsEarlierMarks()
{
    TestModel t;
    buildMenuBar(t.m);
    markCell(t.m, 1, 1, ColorRef(t.m.settings.fillColor));
    t.ui.colors.push_back(0x00FF0000);
    send(t.m, kRelleno);
    QCOMPARE(t.m.settings.fillColor, 0x00FF0000);
    QCOMPARE(t.ui.colorInitials, std::vector<std::uint32_t>{0x808080});
    // The earlier mark stays black on the rebuilt sheet.
    QCOMPARE(t.m.answerCells.at(1, 1).markColor, ColorRef(0));
}

void TestMenus::cancelledColourChangesNothing()
{
    TestModel t;
    buildMenuBar(t.m);
    std::array<std::uint32_t, 16> custom{};
    custom[3] = 0x123456;
    t.ui.customColorEdits.push_back(custom);
    t.ui.colors.push_back(0x0000AA00);
    send(t.m, kAcierto);
    t.ui.colors.push_back(std::nullopt);
    send(t.m, kAcierto);

    QCOMPARE(t.m.settings.hitColor, 0x0000AA00);
    QCOMPARE(t.m.customColors[3], 0x123456u);
    const QImage swatch = itemOf(t.m, kAcierto)->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(swatch.pixel(8, 8), rgbFromColorRef(0x0000AA00));
}

void TestMenus::swatchPicture()
{
    const QImage s = makeSwatch(0x00332211);
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0), fill = qRgb(0x11, 0x22, 0x33);
    QCOMPARE(s.size(), QSize(16, 16));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int dx = std::min(x, 15 - x), dy = std::min(y, 15 - y);
            QRgb want = fill;
            if (dx + dy < 2)
                want = white;
            else if (dx == 0 || dy == 0 || (dx == 1 && dy == 1))
                want = black;
            if (s.pixel(x, y) != want)
                QFAIL(qPrintable(QStringLiteral("swatch pixel (%1, %2)").arg(x).arg(y)));
        }
    }
    // The rounded corners: the two pixels next to a corner are ground.
    QCOMPARE(s.pixel(0, 0), white);
    QCOMPARE(s.pixel(1, 0), white);
    QCOMPARE(s.pixel(2, 0), black);
    QCOMPARE(s.pixel(1, 1), black);
}

void TestMenus::swatchesShowColours()
{
    TestModel t;
    t.m.settings.fillColor = 0x0000FF;
    t.m.settings.textColor = 0x00FF00;
    buildMenuBar(t.m);
    const QList<QAction*> items = t.m.menuBar->actions().at(2)->menu()->actions();
    const ColorRef want[] = {0x0000FF, 0x00FF00, 0x00FF00, 0x0000FF};
    for (int i = 0; i < 4; ++i) {
        const QImage img = items.at(i)->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(img.pixel(8, 8), rgbFromColorRef(want[i]));
    }
    QVERIFY(QDir(t.m.programFolder).entryList(QDir::Files).isEmpty());
}

void TestMenus::pageImage()
{
    TestModel t;
    buildMenuBar(t.m);
    const QString path = t.m.programFolder + QStringLiteral("/zelvora.bmp");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    send(t.m, kFotocopia);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.size() > 54);
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(u32(18), 794u);
    QCOMPARE(u32(22), 1122u);
    QCOMPARE(u16(28), quint16(24));
    QCOMPARE(u32(30), 0u);

    const QImage image(path);
    QCOMPARE(image.size(), QSize(794, 1122));
    const QRgb white = qRgb(255, 255, 255);
    for (int x : {0, 400, 793}) {
        QCOMPARE(image.pixel(x, 0), white);
        QCOMPARE(image.pixel(x, 1121), white);
    }
    QCOMPARE(image.pixel(0, 600), white);
    QCOMPARE(image.pixel(793, 600), white);
    // The screen keeps its frame.
    QCOMPARE(t.m.sheetBitmap.pixel(0, 600), qRgb(0, 0, 0));
    QVERIFY(t.ui.messages.empty());
}

void TestMenus::pageImageFolderNotWritable()
{
    TestModel t;
    buildMenuBar(t.m);
    // Taking the file's name with a folder holds for root too.
    QVERIFY(QDir(t.m.programFolder).mkdir(QStringLiteral("zelvora.bmp")));
    send(t.m, kFotocopia);
    QVERIFY(QFileInfo(t.m.programFolder + QStringLiteral("/zelvora.bmp")).isDir());
    QVERIFY(t.ui.messages.empty());
    QCOMPARE(t.m.sheetBitmap.pixel(0, 600), qRgb(0, 0, 0));
    QCOMPARE(QDir(t.m.programFolder).entryList(QDir::Files), QStringList());
}

void TestMenus::installedPageImageGoesToPictures_data()
{
    QTest::addColumn<QByteArray>("userDirs");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("blocked");

    QTest::newRow("pictures folder made on first use")
        << QByteArray("XDG_PICTURES_DIR=\"$HOME/Imágenes\"\n") << "Imágenes" << false;
    QTest::newRow("no user folders: home") << QByteArray() << "" << false;
    QTest::newRow("name taken by a folder") << QByteArray() << "" << true;
}

// The installed program says where the image went, or that it is not there,
// and never writes beside the executable.
void TestMenus::installedPageImageGoesToPictures()
{
    QFETCH(QByteArray, userDirs);
    QFETCH(QString, folder);
    QFETCH(bool, blocked);

    QTemporaryDir home;
    QVERIFY(home.isValid());
    const ScopedEnvironment restore { "HOME", "XDG_CONFIG_HOME" };
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    if (!userDirs.isEmpty()) {
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral(".config")));
        QFile dirs(home.filePath(QStringLiteral(".config/user-dirs.dirs")));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write(userDirs);
    }
    const QString expectedFolder = folder.isEmpty() ? home.path() : home.filePath(folder);
    const QString path = expectedFolder + QStringLiteral("/zelvora.bmp");
    if (blocked)
        QVERIFY(QDir().mkpath(path));
    else if (folder.isEmpty()) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }

    TestModel t;
    t.m.filesBesideProgram = false;
    buildMenuBar(t.m);
    send(t.m, kFotocopia);

    QCOMPARE(t.ui.messages.size(), std::size_t(1));
    const QString expected = blocked ? QStringLiteral("No se ha podido guardar la fotocopia en:\r\n") + path
                                     : QStringLiteral("La fotocopia se ha guardado en:\r\n") + path;
    QCOMPARE(t.ui.messages.front().text, expected);
    QCOMPARE(t.ui.messages.front().title, QStringLiteral("Programador"));
    QCOMPARE(t.ui.messages.front().buttons, Buttons::Ok);
    if (blocked)
        QVERIFY(QFileInfo(path).isDir());
    else
        QCOMPARE(QImage(path).size(), QSize(794, 1122));
    QCOMPARE(QDir(t.m.programFolder).entryList(QDir::Files), QStringList());
    QCOMPARE(t.m.sheetBitmap.pixel(0, 600), qRgb(0, 0, 0));
}

void TestMenus::author()
{
    TestModel t;
    send(t.m, kAutor);
    QCOMPARE(t.ui.messages.size(), std::size_t(1));
    const QStringList lines = t.ui.messages.front().text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QStringLiteral("Programa Realizado por : "));
    QVERIFY(lines.at(1).startsWith(QStringLiteral("https://")));
    QCOMPARE(lines.at(2), QStringLiteral("Visitame ..."));
    QCOMPARE(t.ui.messages.front().title, QStringLiteral("Programador"));
    QCOMPARE(t.ui.messages.front().buttons, Buttons::Ok);
}

void TestMenus::idsWithoutActionDoNothing_data()
{
    QTest::addColumn<std::uint32_t>("wParam");
    QTest::newRow("zero") << 0u;
    QTest::newRow("view control") << 1001u;
    QTest::newRow("between ids") << 1071u;
    QTest::newRow("past the last") << 1093u;
    QTest::newRow("largest") << 0xFFFFu;
    QTest::newRow("notification in the high word") << (0x0300u << 16 | 1001u);
}

void TestMenus::idsWithoutActionDoNothing()
{
    QFETCH(std::uint32_t, wParam);
    TestModel t;
    buildMenuBar(t.m);
    markCell(t.m, 1, 1, 0xFF);
    const QImage before = t.m.sheetBitmap.copy();
    mainWindowHandler(t.m, winmsg::kCommand, wParam, 0);
    QCOMPARE(t.m.answerCells.at(1, 1).marked, 1);
    QCOMPARE(t.m.sheetBitmap, before);
    QVERIFY(t.ui.messages.empty());
}

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
