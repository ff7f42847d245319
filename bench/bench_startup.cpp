// Starts either the main window up to its first refreshed sheet ("sheet") or
// the baseline it is measured against ("naive"): a plain Qt program with the
// same menu bar that draws the sheet naively with QPainter into one image and
// shows it. Each exits as soon as its window is on screen. Timed from the
// outside by bench/startup.sh, which runs both in turn.
#include <cstring>

#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QWidget>

#include "app/mainwindow.h"
#include "app/menubar.h"
#include "app/qtinteraction.h"
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

int runNaive()
{
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

// The steps of the program's own start that lead to the first sheet: the
// window with its menu bar, opened and refreshed.
int runSheet()
{
    QtInteraction interaction;
    Model m;
    m.interaction = &interaction;
    m.programFolder = QApplication::applicationDirPath();
    m.programPath = QApplication::applicationFilePath();
    m.settings.letterCase = 1;
    MainWindow window(m);
    buildMenuBar(m);
    window.show();
    // The opening message has built and refreshed the sheet by the time the
    // window is exposed.
    return QTest::qWaitForWindowExposed(&window) && !m.sheetBitmap.isNull() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool sheet = argc > 1 && std::strcmp(argv[1], "sheet") == 0;
    QApplication app(argc, argv);
    return sheet ? runSheet() : runNaive();
}
