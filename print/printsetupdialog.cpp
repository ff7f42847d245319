#include "print/printsetupdialog.h"

#include <algorithm>

#include <QColor>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QStringList>

#include "platform/ownerlessdialog.h"

namespace {

QFont dialogFont(const QString& family, int points, bool bold, QFont::StyleHint hint)
{
    QFont font(family, points, bold ? QFont::Bold : QFont::Normal);
    // The named faces are rarely installed here; the hint lets the font
    // selection pick a face of the same kind.
    font.setStyleHint(hint);
    return font;
}

QFont sansFont(int points, bool bold)
{
    return dialogFont(QStringLiteral("MS Sans Serif"), points, bold, QFont::SansSerif);
}

// Rounds like MulDiv, so the unit conversion matches the classic dialog
// manager to the pixel.
int mulDiv(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

QLabel* addLabel(QWidget* parent, const QString& text, const char* name)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(sansFont(10, true));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

// A drop-down list whose edit field may be typed into but is never read.
// Qt's combo box would select the entry matching the typed text when the
// field is left or Return is pressed, so the field is first set back to the
// selected entry.
class EntryList final : public QComboBox {
public:
    explicit EntryList(QWidget* parent)
        : QComboBox(parent)
    {
        setEditable(true);
        setInsertPolicy(QComboBox::NoInsert);
        // Completion would also pick entries from what was typed.
        setCompleter(nullptr);
    }

protected:
    void focusOutEvent(QFocusEvent* event) override
    {
        showSelectedEntry();
        QComboBox::focusOutEvent(event);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            showSelectedEntry();
        QComboBox::keyPressEvent(event);
    }

private:
    void showSelectedEntry()
    {
        const QString selected = currentIndex() < 0 ? QString() : itemText(currentIndex());
        if (currentText() != selected)
            setEditText(selected);
    }
};

QComboBox* addList(QWidget* parent, const QStringList& entries, int position, const char* name)
{
    auto* combo = new EntryList(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setFont(sansFont(10, false));
    combo->setFocusPolicy(Qt::StrongFocus);
    combo->addItems(entries);
    // Position 0 (nothing chosen yet) and anything past the list select
    // nothing, leaving the edit field empty.
    combo->setCurrentIndex(position >= 1 && position <= entries.size() ? position - 1 : -1);
    if (combo->currentIndex() < 0)
        combo->setEditText(QString());
    return combo;
}

QString selectedEntry(const QComboBox* combo)
{
    const int index = combo->currentIndex();
    return index < 0 ? QString() : combo->itemText(index);
}

} // namespace

PrintSetupDialog::PrintSetupDialog(const PrintSetupRequest& request)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("printSetupDialog"));
    setWindowTitle(QStringLiteral("Configura la impresión"));
    setFont(sansFont(8, true));

    // Base units of the dialog font: the average width of the Latin
    // letters and the font's height.
    const QFontMetrics metrics(font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseUnitX_ = std::max(1, mulDiv(metrics.horizontalAdvance(alphabet), 1, 52));
    baseUnitY_ = std::max(1, metrics.height());

    const auto place = [this](QWidget* widget, int x, int y, int w, int h) {
        widget->setGeometry(unitsToPixelsX(x), unitsToPixelsY(y), unitsToPixelsX(w), unitsToPixelsY(h));
    };
    // A closed drop-down list is as high as its own font wants; the height
    // of the layout table includes the dropped-down part.
    const auto placeList = [this](QComboBox* combo, int x, int y, int w) {
        combo->setGeometry(unitsToPixelsX(x), unitsToPixelsY(y), unitsToPixelsX(w), combo->sizeHint().height());
    };

    // Created in tab order.
    place(addLabel(this, QStringLiteral("Número de copias"), "label1001"), 5, 5, 115, 15);
    copies_ = addList(this,
        { QStringLiteral("01 copia"), QStringLiteral("02 copias"), QStringLiteral("03 copias"),
            QStringLiteral("04 copias"), QStringLiteral("05 copias"), QStringLiteral("10 copias") },
        request.printCopies == 10 ? 6 : request.printCopies, "copies");
    placeList(copies_, 5, 20, 115);
    place(addLabel(this, QStringLiteral("Modo color"), "label1004"), 120, 5, 115, 15);
    colorMode_ = addList(
        this, { QStringLiteral("1 - Monocromo"), QStringLiteral("2 - Color") }, request.printColorMode, "colorMode");
    placeList(colorMode_, 120, 20, 115);
    quality_ = addList(this,
        { QStringLiteral("1 - Borrador"), QStringLiteral("2 - Baja Resolución"), QStringLiteral("3 - Media Resolución"),
            QStringLiteral("4 - Alta Resolución") },
        request.printQuality, "quality");
    placeList(quality_, 235, 20, 115);
    place(addLabel(this, QStringLiteral("Resolución de impresión"), "label1008"), 235, 5, 120, 15);

    auto* button = new QPushButton(QStringLiteral("Seguir"), this);
    button->setObjectName(QStringLiteral("seguir"));
    button->setFont(sansFont(10, true));
    place(button, 5, 45, 50, 15);
    connect(button, &QPushButton::clicked, this, &PrintSetupDialog::seguir);

    auto* printer = new QLabel(request.printerName, this);
    printer->setObjectName(QStringLiteral("printerName"));
    printer->setFont(dialogFont(QStringLiteral("Georgia"), 10, true, QFont::Serif));
    printer->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    QPalette grey = printer->palette();
    grey.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    printer->setPalette(grey);
    place(printer, 60, 45, 290, 15);

    setFixedSize(unitsToPixelsX(355), unitsToPixelsY(66));
    move(unitsToPixelsX(70), unitsToPixelsY(70));
}

int PrintSetupDialog::unitsToPixelsX(int units) const
{
    return mulDiv(units, baseUnitX_, 4);
}

int PrintSetupDialog::unitsToPixelsY(int units) const
{
    return mulDiv(units, baseUnitY_, 8);
}

void PrintSetupDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (!isActiveWindow()) {
            focusBeforeDeactivation_ = focusWidget();
        } else if (focusBeforeDeactivation_) {
            focusBeforeDeactivation_->setFocus(Qt::ActiveWindowFocusReason);
            focusBeforeDeactivation_ = nullptr;
        }
    }
    QDialog::changeEvent(event);
}

void PrintSetupDialog::seguir()
{
    choice_ = { selectedEntry(copies_), selectedEntry(colorMode_), selectedEntry(quality_) };
    accept();
}

std::optional<PrintSetupChoice> runPrintSetupDialog(const PrintSetupRequest& request)
{
    PrintSetupDialog dialog(request);
    // The print command's busy flag keeps a second run out while the main
    // window stays usable.
    if (runOwnerlessDialog(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

#include "moc_printsetupdialog.cpp"
