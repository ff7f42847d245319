// Starts either the program itself up to its first refreshed sheet ("sheet")
// or the baseline it is measured against ("naive"): a plain Qt program that
// loads Qt's Spanish texts as the program does, shows the same menu bar and
// draws the sheet naively with QPainter into one image. Each ends as soon as
// its window is on screen. Timed from the outside by bench/startup.sh, which
// runs both in turn.
#include <cstring>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

#include "app/mainwindow.h"
#include "app/programentry.h"
#include "sheet/model.h"

namespace {

class NaiveSheet final : public QWidget {
public:
    explicit NaiveSheet(QWidget* parent)
        : QWidget(parent)
        , page_(kSheetWidth, kSheetHeight, QImage::Format_RGB32)
    {
        setFixedSize(kViewWidth, kViewHeight);
        page_.fill(Qt::white);
        QPainter p(&page_);
        p.setPen(Qt::black);
        p.drawRect(0, 0, kSheetWidth - 1, kSheetHeight - 1);
        p.setFont(QFont(QStringLiteral("Inconsolata"), 10));
        const char letters[] = "ABCDE";
        for (int q = 1; q <= kQuestions; ++q) {
            const int x = 120 + 145 * ((q - 1) / 25);
            const int y = 75 + 40 * ((q - 1) % 25);
            p.drawText(x, y + 12, QStringLiteral("%1.").arg(q, 3, 10, QLatin1Char('0')));
            for (int k = 0; k < 5; ++k) {
                const int cx = x + 32 + 22 * k;
                p.drawText(cx + 4, y - 3, QString(QLatin1Char(letters[k])));
                p.drawRect(cx, y, 14, 14);
            }
        }
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter p(this);
        p.drawImage(event->rect(), page_, event->rect());
    }

private:
    QImage page_;
};

QPixmap swatch(QColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return pixmap;
}

int runNaive(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Zelvora"));
    QMenu* archivos = window.menuBar()->addMenu(QStringLiteral("Archivos"));
    for (const char* text :
        {"Resetea", "Grabar test", "Leer test", "Corregir test", "Imprimir", "Fotocopia", "Autor", "Salir"}) {
        archivos->addAction(QString::fromUtf8(text));
        archivos->addSeparator();
    }
    QMenu* personalizar = window.menuBar()->addMenu(QStringLiteral("Personalizar"));
    for (const char* text : {"Celdas cuadradas", "Celdas redondas", "Letra Mayuscula", "Letra Minuscula",
             "Test 5 respuestas", "Test Logica Español", "Test Boolean Logic English"})
        personalizar->addAction(QString::fromUtf8(text))->setCheckable(true);
    QMenu* color = window.menuBar()->addMenu(QStringLiteral("Color"));
    for (const char* text : {"Relleno", "Escritura", "Acierto", "Fallo"})
        color->addAction(swatch(Qt::black), QString::fromUtf8(text));
    auto* client = new QWidget(&window);
    window.setCentralWidget(client);
    auto* sheet = new NaiveSheet(client);
    sheet->move(5, 5);
    window.resize(kClientWidth, kClientHeight);
    window.show();
    return QTest::qWaitForWindowExposed(&window) ? 0 : 1;
}

// Ends the program's main window once it is on screen. By then its opening
// has built and refreshed the sheet, so the program goes on to what it does
// at exit, as after "Salir".
class CloseWhenShown final : public QObject {
public:
    explicit CloseWhenShown(QObject* parent)
        : QObject(parent)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose) {
            const auto* window = qobject_cast<QWindow*>(watched);
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* main = qobject_cast<QMainWindow*>(widget);
                if (main && window && window->isExposed() && main->windowHandle() == window)
                    QMetaObject::invokeMethod(main, &QWidget::close, Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void installCloser()
{
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new CloseWhenShown(app));
}

// The program's own start, but without a test file to open: only the
// program's name reaches it.
int runSheet(char* programName)
{
    // The application object is made inside the program's entry; the
    // closer goes in as soon as it exists.
    qAddPreRoutine(installCloser);
    char* arguments[] = { programName, nullptr };
    return programEntry(1, arguments, Edition::Full, "bench");
}

} // namespace

int main(int argc, char** argv)
{
    const bool sheet = argc > 1 && std::strcmp(argv[1], "sheet") == 0;
    return sheet ? runSheet(argv[0]) : runNaive(argc, argv);
}
