#include "notas/scandialog.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "notas/namedbutton.h"
#include "notas/notasdialogs.h"
#include "notas/scanjob.h"

namespace {

const QString kDialogTitle = QStringLiteral("Escanear");

// A folder of its own for each batch, so that a new scan never writes over
// the pages of an earlier one.
QString newBatchFolder(const QString& classFolder)
{
    const QDir dir(classFolder);
    const QString stem
        = QStringLiteral("escaneo-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem;
    for (int n = 2; dir.exists(name); ++n)
        name = stem + QStringLiteral("-%1").arg(n);
    return dir.mkpath(name) ? dir.filePath(name) : QString();
}

} // namespace

ScanDialog::ScanDialog(
    NotasDialogs& dialogs, const QString& classFolder, std::function<void(const QString&)> pageSaved, QWidget* parent)
    : QDialog(parent)
    , dialogs_(dialogs)
    , pageSaved_(std::move(pageSaved))
{
    setWindowTitle(kDialogTitle);
    setAccessibleName(kDialogTitle);
    job_ = new ScanJob(this);

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* scannerRow = new QHBoxLayout;
    scannerList_ = new QComboBox(this);
    scannerList_->setAccessibleName(QStringLiteral("Escáner"));
    scannerList_->setMinimumContentsLength(30);
    search_ = namedButton(QStringLiteral("&Buscar de nuevo"), QStringLiteral("Buscar escáneres de nuevo"), this);
    scannerRow->addWidget(scannerList_, 1);
    scannerRow->addWidget(search_);
    auto* scannerLabel = new QLabel(QStringLiteral("E&scáner:"), this);
    scannerLabel->setBuddy(scannerList_);
    form->addRow(scannerLabel, scannerRow);

    auto* folderRow = new QHBoxLayout;
    folder_ = new QLineEdit(QDir::toNativeSeparators(classFolder), this);
    folder_->setAccessibleName(QStringLiteral("Carpeta de la clase"));
    chooseFolder_
        = namedButton(QStringLiteral("Elegir ca&rpeta…"), QStringLiteral("Elegir la carpeta de la clase"), this);
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(chooseFolder_);
    auto* folderLabel = new QLabel(QStringLiteral("Carpeta de la &clase:"), this);
    folderLabel->setBuddy(folder_);
    form->addRow(folderLabel, folderRow);
    layout->addLayout(form);

    status_ = new QLabel(this);
    status_->setAccessibleName(QStringLiteral("Estado del escaneo"));
    status_->setWordWrap(true);
    layout->addWidget(status_);

    auto* buttons = new QDialogButtonBox(this);
    scan_ = namedButton(QStringLiteral("&Escanear"), QStringLiteral("Escanear"), this);
    cancel_ = namedButton(QStringLiteral("C&ancelar escaneo"), QStringLiteral("Cancelar el escaneo"), this);
    auto* close = namedButton(QStringLiteral("Cerrar"), QStringLiteral("Cerrar"), this);
    buttons->addButton(scan_, QDialogButtonBox::ActionRole);
    buttons->addButton(cancel_, QDialogButtonBox::ActionRole);
    buttons->addButton(close, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(search_, &QPushButton::clicked, this, &ScanDialog::findScanners);
    connect(chooseFolder_, &QPushButton::clicked, this, &ScanDialog::chooseFolder);
    connect(scan_, &QPushButton::clicked, this, &ScanDialog::startScan);
    connect(cancel_, &QPushButton::clicked, this, &ScanDialog::cancelScan);
    connect(buttons, &QDialogButtonBox::rejected, this, &ScanDialog::reject);
    connect(job_, &ScanJob::scannersFound, this, &ScanDialog::showScanners);
    connect(job_, &ScanJob::pageSaved, this, [this](const QString& path) {
        ++pages_;
        status_->setText(pages_ == 1 ? QStringLiteral("Escaneando: 1 página.")
                                     : QStringLiteral("Escaneando: %1 páginas.").arg(pages_));
        if (pageSaved_)
            pageSaved_(path);
    });
    connect(job_, &ScanJob::finished, this, &ScanDialog::scanEnded);

    findScanners();
}

ScanDialog::~ScanDialog() = default;

void ScanDialog::setBusy(bool busy)
{
    scannerList_->setEnabled(!busy);
    search_->setEnabled(!busy);
    chooseFolder_->setEnabled(!busy);
    folder_->setEnabled(!busy);
    scan_->setEnabled(!busy && !scanners_.empty());
    cancel_->setEnabled(busy);
}

void ScanDialog::findScanners()
{
    if (job_->running())
        return;
    status_->setText(QStringLiteral("Buscando escáneres…"));
    setBusy(true);
    cancel_->setEnabled(false);
    job_->findScanners();
}

void ScanDialog::showScanners(const std::vector<ScannerInfo>& scanners)
{
    if (closeWhenDone_) {
        QDialog::reject();
        return;
    }
    scanners_ = scanners;
    scannerList_->clear();
    for (const ScannerInfo& s : scanners_)
        scannerList_->addItem(s.description.isEmpty() ? s.name : QStringLiteral("%1 — %2").arg(s.description, s.name));
    status_->setText(scanners_.empty() ? QStringLiteral("No se encuentra ningún escáner. Compruebe que está encendido "
                                                        "y conectado, y busque de nuevo.")
                                       : QString());
    setBusy(false);
}

void ScanDialog::selectScanner(const QString& name)
{
    for (std::size_t i = 0; i < scanners_.size(); ++i) {
        if (scanners_[i].name == name)
            scannerList_->setCurrentIndex(int(i));
    }
}

QString ScanDialog::classFolder() const
{
    return QDir::fromNativeSeparators(folder_->text().trimmed());
}

void ScanDialog::chooseFolder()
{
    const QString folder = dialogs_.openFolder(this, QStringLiteral("Carpeta de la clase"), classFolder());
    if (!folder.isEmpty())
        folder_->setText(QDir::toNativeSeparators(folder));
}

void ScanDialog::startScan()
{
    const int index = scannerList_->currentIndex();
    if (job_->running() || index < 0 || index >= int(scanners_.size()))
        return;
    const QString folder = classFolder().isEmpty() ? QString() : newBatchFolder(classFolder());
    if (folder.isEmpty()) {
        dialogs_.warn(this, kDialogTitle,
            QStringLiteral("No se puede crear una carpeta para las páginas en %1.")
                .arg(QDir::toNativeSeparators(classFolder())));
        return;
    }
    pages_ = 0;
    status_->setText(QStringLiteral("Escaneando…"));
    setBusy(true);
    job_->scan(scanners_[std::size_t(index)].name, folder);
}

void ScanDialog::cancelScan()
{
    job_->cancel();
}

void ScanDialog::scanEnded(const ScanOutcome& outcome)
{
    setBusy(false);
    if (closeWhenDone_) {
        QDialog::reject();
        return;
    }
    const int pages = int(outcome.pages.size());
    const QString kept = pages == 0 ? QStringLiteral("No se ha guardado ninguna página.")
        : pages == 1                ? QStringLiteral("Se ha guardado 1 página y se ha añadido a la clase.")
                     : QStringLiteral("Se han guardado %1 páginas y se han añadido a la clase.").arg(pages);
    if (!outcome.error.isEmpty()) {
        status_->setText(QStringLiteral("El escaneo se ha detenido: %1. %2").arg(outcome.error, kept));
        dialogs_.warn(this, kDialogTitle, status_->text());
        return;
    }
    status_->setText(outcome.cancelled ? QStringLiteral("Escaneo cancelado. %1").arg(kept) : kept);
}

void ScanDialog::reject()
{
    // Closing stops the scanner and waits for it to tell the pages it wrote
    // meanwhile, so that each one written joins the class.
    if (job_->running()) {
        closeWhenDone_ = true;
        status_->setText(QStringLiteral("Deteniendo el escáner…"));
        job_->cancel();
        return;
    }
    QDialog::reject();
}
