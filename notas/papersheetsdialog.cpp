#include "notas/papersheetsdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "grading/notasprogram.h"
#include "grading/paperprint.h"
#include "notas/namedbutton.h"
#include "notas/notasdialogs.h"
#include "paper/sheetcode.h"
#include "platform/atomicfile.h"
#include "print/printer.h"

namespace {

const QString kDialogTitle = QStringLiteral("Hojas en papel");

} // namespace

PaperSheetsDialog::PaperSheetsDialog(
    NotasDialogs& dialogs, const QString& keyPath, const QString& folder, QWidget* parent)
    : QDialog(parent)
    , dialogs_(dialogs)
    , keyPath_(keyPath)
    , folder_(folder)
{
    setWindowTitle(kDialogTitle);
    setAccessibleName(kDialogTitle);

    auto* layout = new QVBoxLayout(this);
    auto* key = new QLabel(keyPath.isEmpty()
            ? QStringLiteral("Sin clave: hojas de 100 preguntas A–E.")
            : QStringLiteral("Con el formato de la clave %1.").arg(QDir::toNativeSeparators(keyPath)),
        this);
    key->setWordWrap(true);
    key->setAccessibleName(QStringLiteral("Formato de las hojas"));
    layout->addWidget(key);

    auto* form = new QFormLayout;
    title_ = new QLineEdit(this);
    title_->setAccessibleName(QStringLiteral("Título de las hojas"));
    form->addRow(QStringLiteral("&Título:"), title_);

    auto* rosterRow = new QHBoxLayout;
    roster_ = new QLineEdit(this);
    roster_->setAccessibleName(QStringLiteral("Lista de alumnos en CSV"));
    roster_->setClearButtonEnabled(true);
    // The button the line edit adds for clearing it has no name of its own.
    for (QToolButton* clear : roster_->findChildren<QToolButton*>())
        clear->setAccessibleName(QStringLiteral("Quitar la lista"));
    auto* chooseList = namedButton(QStringLiteral("&Elegir lista…"), QStringLiteral("Elegir lista de alumnos"), this);
    connect(chooseList, &QPushButton::clicked, this, &PaperSheetsDialog::chooseRoster);
    rosterRow->addWidget(roster_, 1);
    rosterRow->addWidget(chooseList);
    auto* rosterLabel = new QLabel(QStringLiteral("&Lista (CSV):"), this);
    rosterLabel->setBuddy(roster_);
    form->addRow(rosterLabel, rosterRow);

    copies_ = new QSpinBox(this);
    copies_->setRange(0, kMaxSheetSerial);
    copies_->setAccessibleName(QStringLiteral("Hojas anónimas"));
    form->addRow(QStringLiteral("Hojas &anónimas:"), copies_);

    paper_ = new QComboBox(this);
    paper_->addItems({ QStringLiteral("A4"), QStringLiteral("Carta") });
    paper_->setAccessibleName(QStringLiteral("Tamaño del papel"));
    form->addRow(QStringLiteral("&Papel:"), paper_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    auto* save = namedButton(QStringLiteral("&Guardar PDF…"), QStringLiteral("Guardar las hojas en PDF"), this);
    auto* print = namedButton(QStringLiteral("&Imprimir…"), QStringLiteral("Imprimir las hojas"), this);
    auto* close = namedButton(QStringLiteral("&Cerrar"), QStringLiteral("Cerrar"), this);
    buttons->addButton(save, QDialogButtonBox::ActionRole);
    buttons->addButton(print, QDialogButtonBox::ActionRole);
    buttons->addButton(close, QDialogButtonBox::RejectRole);
    connect(save, &QPushButton::clicked, this, &PaperSheetsDialog::savePdf);
    connect(print, &QPushButton::clicked, this, &PaperSheetsDialog::printSheets);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void PaperSheetsDialog::setTitle(const QString& title)
{
    title_->setText(title);
}
void PaperSheetsDialog::setRoster(const QString& path)
{
    roster_->setText(path);
}
void PaperSheetsDialog::setCopies(int copies)
{
    copies_->setValue(copies);
}
void PaperSheetsDialog::setLetterPaper(bool letter)
{
    paper_->setCurrentIndex(letter ? 1 : 0);
}

void PaperSheetsDialog::chooseRoster()
{
    const QString path = dialogs_.openFile(
        this, QStringLiteral("Lista de alumnos"), folder_, QStringLiteral("Listas CSV (*.csv *.txt)"));
    if (!path.isEmpty())
        roster_->setText(QDir::toNativeSeparators(path));
}

NotasOptions PaperSheetsDialog::request() const
{
    NotasOptions o;
    o.key = keyPath_;
    o.roster = QDir::fromNativeSeparators(roster_->text().trimmed());
    o.copies = copies_->value();
    o.title = title_->text().trimmed();
    o.paperSize = paper_->currentIndex() == 1 ? PaperSize::Letter : PaperSize::A4;
    return o;
}

bool PaperSheetsDialog::hasPages()
{
    if (!roster_->text().trimmed().isEmpty() || copies_->value() > 0)
        return true;
    dialogs_.warn(this, kDialogTitle, QStringLiteral("Elija una lista de alumnos o un número de hojas anónimas."));
    return false;
}

bool PaperSheetsDialog::savePdf()
{
    if (!hasPages())
        return false;
    const QString suggested = QDir(folder_).filePath(
        title_->text().trimmed().isEmpty() ? QStringLiteral("hojas.pdf") : title_->text().trimmed() + ".pdf");
    const QString path = dialogs_.saveFile(this, kDialogTitle, suggested, QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return false;
    NotasOptions o = request();
    o.paper = path;
    QString error;
    const std::optional<PaperRun> run = composePaperSheets(o, error);
    if (!run) {
        dialogs_.warn(this, kDialogTitle, QStringLiteral("No se han guardado las hojas: %1.").arg(error));
        return false;
    }
    // Written whole or not at all: a previous PDF of the same name survives
    // a full disc or a folder without permission.
    if (!writeFileAtomically(path, run->pdf)) {
        dialogs_.warn(this, kDialogTitle,
            QStringLiteral("No se puede escribir %1. Si ya existía, queda como estaba.")
                .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    folder_ = QFileInfo(path).absolutePath();
    dialogs_.inform(
        this, kDialogTitle, QStringLiteral("%1: %2.").arg(QDir::toNativeSeparators(path), paperRunSummary(*run)));
    return true;
}

bool PaperSheetsDialog::printSheets()
{
    if (!hasPages())
        return false;
    const QString printer = defaultPrinterName();
    if (printer.isEmpty()) {
        dialogs_.warn(
            this, kDialogTitle, QStringLiteral("No hay ninguna impresora predeterminada que acepte trabajos."));
        return false;
    }
    // Composed before the copies are asked for: a bad list is told at once.
    QString error;
    const std::optional<PaperRun> run = composePaperSheets(request(), error);
    if (!run) {
        dialogs_.warn(this, kDialogTitle, QStringLiteral("No se han impreso las hojas: %1.").arg(error));
        return false;
    }
    const int copies = dialogs_.chooseCopies(this, kDialogTitle, printer);
    if (copies <= 0)
        return false;
    const QString job
        = title_->text().trimmed().isEmpty() ? QStringLiteral("Hojas de respuestas") : title_->text().trimmed();
    if (!printPdfOnDefaultPrinter(run->pdf, copies, job, error)) {
        dialogs_.warn(this, kDialogTitle, QStringLiteral("No se han impreso las hojas. %1").arg(error));
        return false;
    }
    const QString done = copies == 1
        ? QStringLiteral("Hojas enviadas a la impresora %1: %2.").arg(printer, paperRunSummary(*run))
        : QStringLiteral("Hojas enviadas a la impresora %1 (%2 copias): %3.")
              .arg(printer)
              .arg(copies)
              .arg(paperRunSummary(*run));
    dialogs_.inform(this, kDialogTitle, done);
    return true;
}
