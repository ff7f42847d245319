// Starts either the Notas window ("window") or its baseline ("naive"): a
// plain Qt program that builds the same widgets, empty, in the same places.
// Each exits as soon as its window is on screen; bench/notas-startup.sh
// times both from the outside, in turn.
#include <cstring>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QVBoxLayout>

#include "app/qtsharedsettings.h"
#include "notas/notasdialogs.h"
#include "notas/notaswindow.h"

namespace {

QTableView* table(int columns, QWidget* parent)
{
    auto* model = new QStandardItemModel(0, columns, parent);
    auto* view = new QTableView(parent);
    view->setModel(model);
    return view;
}

int runNaive()
{
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Zelvora Notas"));
    auto* central = new QWidget(&window);
    auto* layout = new QVBoxLayout(central);
    auto* upper = new QHBoxLayout;
    auto* classBox = new QGroupBox(QStringLiteral("Clase"), central);
    auto* classLayout = new QVBoxLayout(classBox);
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(new QLabel(QStringLiteral("Clave:"), classBox));
    keyRow->addWidget(new QLineEdit(classBox));
    keyRow->addWidget(new QPushButton(QStringLiteral("Elegir clave…"), classBox));
    classLayout->addLayout(keyRow);
    classLayout->addWidget(new QLabel(QStringLiteral("Elija la clave."), classBox));
    auto* buttons = new QHBoxLayout;
    for (const char* text : { "Añadir tests…", "Añadir carpeta…", "Quitar todo" })
        buttons->addWidget(new QPushButton(QString::fromUtf8(text), classBox));
    classLayout->addLayout(buttons);
    classLayout->addWidget(table(2, classBox));
    upper->addWidget(classBox, 3);
    auto* optionsBox = new QGroupBox(QStringLiteral("Opciones"), central);
    auto* optionsLayout = new QVBoxLayout(optionsBox);
    auto* penalty = new QComboBox(optionsBox);
    penalty->addItems({ QStringLiteral("ninguna"), QStringLiteral("automática"), QStringLiteral("un número") });
    optionsLayout->addWidget(penalty);
    optionsLayout->addWidget(new QDoubleSpinBox(optionsBox));
    optionsLayout->addWidget(new QDoubleSpinBox(optionsBox));
    upper->addWidget(optionsBox, 1);
    layout->addLayout(upper);
    auto* tabs = new QTabWidget(central);
    auto* students = new QWidget(tabs);
    auto* studentsLayout = new QVBoxLayout(students);
    studentsLayout->addWidget(new QLineEdit(students));
    studentsLayout->addWidget(new QCheckBox(QStringLiteral("Solo los que hay que revisar"), students));
    studentsLayout->addWidget(table(6, students));
    studentsLayout->addWidget(new QPushButton(QStringLiteral("Ver hoja del alumno"), students));
    tabs->addTab(students, QStringLiteral("Alumnos"));
    tabs->addTab(table(12, tabs), QStringLiteral("Preguntas"));
    auto* summary = new QWidget(tabs);
    auto* summaryLayout = new QHBoxLayout(summary);
    summaryLayout->addWidget(table(2, summary));
    summaryLayout->addWidget(table(2, summary));
    tabs->addTab(summary, QStringLiteral("Resumen"));
    layout->addWidget(tabs, 1);
    auto* exports = new QHBoxLayout;
    for (const char* text :
        { "Notas en CSV…", "Libro de cálculo (.xlsx)…", "Informe PDF…", "Hojas corregidas…", "Imprimir informe…" })
        exports->addWidget(new QPushButton(QString::fromUtf8(text), central));
    layout->addLayout(exports);
    window.setCentralWidget(central);
    window.statusBar()->addWidget(new QLabel(QStringLiteral("Elija la clave."), &window), 1);
    window.statusBar()->addPermanentWidget(new QProgressBar(&window));
    window.resize(1000, 720);
    window.show();
    return QTest::qWaitForWindowExposed(&window) ? 0 : 1;
}

// The program's own start after its application object: the window read
// with its memory (none yet, in a folder of its own) and shown.
int runWindow()
{
    QTemporaryDir config;
    QtNotasDialogs dialogs;
    NotasWindow window(dialogs, config.filePath(QStringLiteral("notas.ini")));
    window.show();
    return QTest::qWaitForWindowExposed(&window) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool window = argc > 1 && std::strcmp(argv[1], "window") == 0;
    if (window)
        keepQtUserSettingsAway();
    QApplication app(argc, argv);
    // Both speak Spanish, so both load Qt's translations.
    QTranslator qtTexts;
    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    if (qtTexts.load(
            spanish, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    return window ? runWindow() : runNaive();
}
