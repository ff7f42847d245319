#include "notas/notaswindow.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "grading/classreport.h"
#include "grading/feedbacksheet.h"
#include "notas/classexport.h"
#include "notas/gradingjob.h"
#include "notas/inputlist.h"
#include "notas/namedbutton.h"
#include "notas/notasdialogs.h"
#include "notas/paperreview.h"
#include "notas/papersheetsdialog.h"
#include "notas/questiontable.h"
#include "notas/reviewdialog.h"
#include "notas/scandialog.h"
#include "notas/scanpage.h"
#include "notas/studentsheet.h"
#include "notas/studenttable.h"
#include "notas/summarytable.h"
#include "print/printer.h"
#include "sheet/model.h"

namespace {

const QString kTitle = QStringLiteral("Zelvora Notas");
const QString kTestFilter = QStringLiteral("Tests (*.ztest)");
const QString kAnswerFilter
    = QStringLiteral("Tests y escaneos (*.ztest *.pdf *.png *.jpg *.jpeg *.tif *.tiff);;Tests (*.ztest);;"
                     "Escaneos (*.pdf *.png *.jpg *.jpeg *.tif *.tiff)");
// Options typed into a spin box settle before the class is graded again.
constexpr int kSettleMs = 250;

QTableView* tableView(QAbstractItemModel* model, const QString& accessibleName, QWidget* parent)
{
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setAccessibleName(accessibleName);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->hide();
    // Fixed row heights: with ten thousand rows, measuring each would be
    // what the table spends its time on.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    view->horizontalHeader()->setStretchLastSection(true);
    view->setTabKeyNavigation(false);
    return view;
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

} // namespace

NotasWindow::NotasWindow(NotasDialogs& dialogs, const QString& memoryPath, QWidget* parent)
    : QMainWindow(parent)
    , dialogs_(dialogs)
    , memoryPath_(memoryPath)
    , memory_(readNotasMemory(memoryPath))
    , sheetModel_(std::make_unique<Model>())
    , paper_(std::make_shared<PaperReading>())
    , scanPages_(std::make_unique<ScanPageCache>())
{
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    setAcceptDrops(true);

    job_ = new GradingJob(this);
    gradeSoon_ = new QTimer(this);
    gradeSoon_->setSingleShot(true);
    gradeSoon_->setInterval(kSettleMs);
    // Options are remembered once they settle, not at every step of a spin
    // box.
    connect(gradeSoon_, &QTimer::timeout, this, [this] {
        remember();
        startGrading();
    });
    inputList_ = new InputListModel(this);
    students_ = new StudentTableModel(this);
    questions_ = new QuestionTableModel(this);
    questionOrder_ = new QSortFilterProxyModel(this);
    questionOrder_->setSourceModel(questions_);
    questionOrder_->setSortRole(Qt::UserRole);
    summary_ = new SummaryTableModel(this);
    histogram_ = new HistogramModel(this);

    auto* top = new QSplitter(Qt::Vertical, this);
    auto* upper = new QWidget(top);
    auto* upperLayout = new QHBoxLayout(upper);
    upperLayout->addWidget(buildClassPanel(), 3);
    upperLayout->addWidget(buildOptionsPanel(), 1);
    top->addWidget(upper);
    auto* lower = new QWidget(top);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->addWidget(buildTabs(), 1);
    lowerLayout->addWidget(buildExportPanel());
    top->addWidget(lower);
    top->setStretchFactor(1, 2);
    setCentralWidget(top);

    status_ = new QLabel(this);
    // No accessible name: a screen reader hears a label by its name alone,
    // and this one must be heard by what it says.
    status_->setObjectName(QStringLiteral("estado"));
    progress_ = new QProgressBar(this);
    progress_->setAccessibleName(QStringLiteral("Progreso de la calificación"));
    progress_->setMaximumWidth(240);
    cancel_ = namedButton(QStringLiteral("Cance&lar"), QStringLiteral("Cancelar la calificación"), this);
    connect(cancel_, &QPushButton::clicked, this, &NotasWindow::cancelGrading);
    statusBar()->addWidget(status_, 1);
    statusBar()->addPermanentWidget(progress_);
    statusBar()->addPermanentWidget(cancel_);

    connect(job_, &GradingJob::progress, this, [this](int done, int total) {
        progress_->setMaximum(total);
        progress_->setValue(done);
    });
    connect(job_, &GradingJob::finished, this, [this](std::shared_ptr<const GradedClass> graded) {
        // Shown before the busy state ends, which enables the exports of it.
        showGraded(std::move(graded));
        setBusy(false);
        emit gradingEnded();
    });
    connect(job_, &GradingJob::cancelled, this, [this] {
        setBusy(false);
        status_->setText(QStringLiteral("Calificación cancelada."));
        emit gradingEnded();
    });
    connect(job_, &GradingJob::failed, this, [this](const QString& reason) {
        setBusy(false);
        status_->setText(QStringLiteral("La clave no se puede usar: %1.").arg(reason));
        emit gradingEnded();
    });

    applyOptions(memory_.options);
    startGrading();
    resize(1000, 720);
}

NotasWindow::~NotasWindow() = default;

QWidget* NotasWindow::buildClassPanel()
{
    auto* box = new QGroupBox(QStringLiteral("Clase"), this);
    auto* layout = new QVBoxLayout(box);

    auto* keyRow = new QHBoxLayout;
    auto* keyLabel = new QLabel(QStringLiteral("Clave:"), box);
    keyEdit_ = new QLineEdit(box);
    keyEdit_->setReadOnly(true);
    keyEdit_->setAccessibleName(QStringLiteral("Clave"));
    keyLabel->setBuddy(keyEdit_);
    auto* chooseKey = namedButton(QStringLiteral("&Elegir clave…"), QStringLiteral("Elegir clave"), box);
    connect(chooseKey, &QPushButton::clicked, this, &NotasWindow::chooseKey);
    keyRow->addWidget(keyLabel);
    keyRow->addWidget(keyEdit_, 1);
    keyRow->addWidget(chooseKey);
    auto* paperSheets = namedButton(QStringLiteral("Ho&jas en papel…"), QStringLiteral("Hojas en papel"), box);
    connect(paperSheets, &QPushButton::clicked, this, &NotasWindow::makePaperSheets);
    keyRow->addWidget(paperSheets);
    layout->addLayout(keyRow);
    keyInfo_ = new QLabel(QStringLiteral("Elija la clave: el test con las respuestas correctas."), box);
    keyInfo_->setObjectName(QStringLiteral("datosClave"));
    layout->addWidget(keyInfo_);

    auto* answersRow = new QHBoxLayout;
    auto* addFiles = namedButton(QStringLiteral("Añadir &tests…"), QStringLiteral("Añadir tests"), box);
    auto* addFolder = namedButton(QStringLiteral("Añadir &carpeta…"), QStringLiteral("Añadir carpeta"), box);
    auto* clear = namedButton(QStringLiteral("&Quitar todo"), QStringLiteral("Quitar todas las respuestas"), box);
    connect(addFiles, &QPushButton::clicked, this, &NotasWindow::chooseAnswerFiles);
    connect(addFolder, &QPushButton::clicked, this, &NotasWindow::chooseAnswerFolder);
    connect(clear, &QPushButton::clicked, this, &NotasWindow::clearInputs);
    answersRow->addWidget(addFiles);
    answersRow->addWidget(addFolder);
    answersRow->addWidget(clear);
    auto* review = namedButton(QStringLiteral("Revisar &dudas…"), QStringLiteral("Revisar las casillas dudosas"), box);
    connect(review, &QPushButton::clicked, this, &NotasWindow::review);
    answersRow->addWidget(review);
    auto* scan = namedButton(QStringLiteral("Escanea&r…"), QStringLiteral("Escanear páginas"), box);
    connect(scan, &QPushButton::clicked, this, &NotasWindow::scanPages);
    answersRow->addWidget(scan);
    answersRow->addStretch(1);
    auto* dropHint = new QLabel(QStringLiteral("o arrastre aquí tests, escaneos y carpetas"), box);
    answersRow->addWidget(dropHint);
    layout->addLayout(answersRow);

    auto* list = tableView(inputList_, QStringLiteral("Respuestas de la clase"), box);
    list->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
    list->setColumnWidth(0, 380);
    layout->addWidget(list, 1);
    return box;
}

QWidget* NotasWindow::buildOptionsPanel()
{
    auto* box = new QGroupBox(QStringLiteral("Opciones"), this);
    auto* form = new QFormLayout(box);
    penaltyKind_ = new QComboBox(box);
    penaltyKind_->addItems({ QStringLiteral("ninguna"), QStringLiteral("automática"), QStringLiteral("un número") });
    penaltyKind_->setAccessibleName(QStringLiteral("Penalización"));
    penaltyPoints_ = new QDoubleSpinBox(box);
    penaltyPoints_->setRange(0, 100);
    penaltyPoints_->setDecimals(3);
    penaltyPoints_->setSingleStep(0.25);
    penaltyPoints_->setAccessibleName(QStringLiteral("Puntos que resta cada fallo"));
    scale_ = new QDoubleSpinBox(box);
    scale_->setRange(0.01, 10000);
    scale_->setDecimals(2);
    scale_->setValue(10);
    scale_->setAccessibleName(QStringLiteral("Escala: la nota máxima"));
    form->addRow(QStringLiteral("&Penalización:"), penaltyKind_);
    form->addRow(QStringLiteral("Resta por &fallo:"), penaltyPoints_);
    form->addRow(QStringLiteral("E&scala:"), scale_);
    auto* rule = new QLabel(QStringLiteral("Automática resta 1/(respuestas − 1) por fallo. "
                                           "Aprueba quien llega a la mitad de la escala."),
        box);
    rule->setWordWrap(true);
    form->addRow(rule);

    connect(penaltyKind_, &QComboBox::currentIndexChanged, this, [this] {
        penaltyPoints_->setEnabled(penaltyKind_->currentIndex() == 2);
        scheduleGrading();
    });
    for (QDoubleSpinBox* spin : { penaltyPoints_, scale_ })
        connect(spin, &QDoubleSpinBox::valueChanged, this, &NotasWindow::scheduleGrading);
    return box;
}

QWidget* NotasWindow::buildTabs()
{
    tabs_ = new QTabWidget(this);
    tabs_->setAccessibleName(QStringLiteral("Resultados"));

    auto* studentsPage = new QWidget(tabs_);
    auto* studentsLayout = new QVBoxLayout(studentsPage);
    auto* filterRow = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("&Buscar:"), studentsPage);
    filter_ = new QLineEdit(studentsPage);
    filter_->setAccessibleName(QStringLiteral("Buscar alumno"));
    filter_->setClearButtonEnabled(true);
    // The button the line edit adds for clearing it has no name of its own.
    for (QToolButton* clear : filter_->findChildren<QToolButton*>())
        clear->setAccessibleName(QStringLiteral("Borrar la búsqueda"));
    filterLabel->setBuddy(filter_);
    onlyReview_ = new QCheckBox(QStringLiteral("S&olo los que hay que revisar"), studentsPage);
    onlyReview_->setAccessibleName(QStringLiteral("Solo los alumnos a revisar"));
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(filter_, 1);
    filterRow->addWidget(onlyReview_);
    studentsLayout->addLayout(filterRow);
    studentView_ = tableView(students_, QStringLiteral("Alumnos"), studentsPage);
    studentView_->setSortingEnabled(true);
    studentView_->sortByColumn(StudentTableModel::Name, Qt::AscendingOrder);
    studentView_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
    studentView_->setColumnWidth(0, 260);
    studentsLayout->addWidget(studentView_, 1);
    auto* open = namedButton(QStringLiteral("&Ver hoja del alumno"), QStringLiteral("Ver hoja del alumno"), studentsPage);
    studentsLayout->addWidget(open, 0, Qt::AlignLeft);
    const auto filter = [this] { students_->setFilter(filter_->text(), onlyReview_->isChecked()); };
    connect(filter_, &QLineEdit::textChanged, this, filter);
    connect(onlyReview_, &QCheckBox::toggled, this, filter);
    // Double-click or Intro on a row.
    connect(studentView_, &QTableView::activated, this, [this](const QModelIndex& index) { openStudent(index.row()); });
    connect(open, &QPushButton::clicked, this, [this] {
        const QModelIndex current = studentView_->currentIndex();
        if (current.isValid())
            openStudent(current.row());
    });
    tabs_->addTab(studentsPage, QStringLiteral("&Alumnos"));

    // The other two pages are made when first shown: a teacher often looks
    // at the students only, and the window is usable sooner.
    for (const QString& title : { QStringLiteral("Pre&guntas"), QStringLiteral("Res&umen") }) {
        auto* page = new QWidget(tabs_);
        auto* layout = new QHBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        tabs_->addTab(page, title);
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &NotasWindow::fillPage);
    return tabs_;
}

void NotasWindow::fillPage(int index)
{
    QWidget* page = tabs_->widget(index);
    if (index == 0 || !page || !page->findChildren<QWidget*>().isEmpty())
        return;
    auto* layout = static_cast<QHBoxLayout*>(page->layout());
    if (index == 1) {
        auto* questionView = tableView(questionOrder_, QStringLiteral("Preguntas"), page);
        questionView->setSortingEnabled(true);
        questionView->sortByColumn(QuestionTableModel::Question, Qt::AscendingOrder);
        layout->addWidget(questionView);
        return;
    }
    auto* figures = tableView(summary_, QStringLiteral("Resumen de la clase"), page);
    figures->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    layout->addWidget(figures, 1);
    auto* histogramColumn = new QVBoxLayout;
    auto* chart = new HistogramChart(*histogram_, page);
    chart->setAccessibleName(QStringLiteral("Histograma de notas"));
    histogramColumn->addWidget(chart, 1);
    auto* bins = tableView(histogram_, QStringLiteral("Alumnos por tramo de nota"), page);
    histogramColumn->addWidget(bins, 1);
    layout->addLayout(histogramColumn, 1);
}

QWidget* NotasWindow::buildExportPanel()
{
    auto* panel = new QWidget(this);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Exportar:"), panel));
    const struct {
        QString text;
        QString name;
        void (NotasWindow::*command)();
    } exports[] = {
        { QStringLiteral("&Notas en CSV…"), QStringLiteral("Exportar CSV"), &NotasWindow::exportCsv },
        { QStringLiteral("Libro de cálculo (.&xlsx)…"), QStringLiteral("Exportar libro de cálculo"),
            &NotasWindow::exportWorkbook },
        { QStringLiteral("&Informe PDF…"), QStringLiteral("Exportar informe de la clase en PDF"),
            &NotasWindow::exportReport },
        { QStringLiteral("&Hojas corregidas…"), QStringLiteral("Exportar hojas corregidas a una carpeta"),
            &NotasWindow::exportSheets },
        { QStringLiteral("Imprimir infor&me…"), QStringLiteral("Imprimir el informe de la clase"),
            &NotasWindow::printReport },
    };
    for (const auto& e : exports) {
        QPushButton* b = namedButton(e.text, e.name, panel);
        connect(b, &QPushButton::clicked, this, e.command);
        layout->addWidget(b);
        exportButtons_ << b;
    }
    layout->addStretch(1);
    return panel;
}

void NotasWindow::setKey(const QString& path)
{
    keyPath_ = path;
    // Decided once for the key, so that a class's scans, once read, are
    // always looked for in the same folder.
    paperFolder_ = path.isEmpty() ? QString() : paperFolderFor(path);
    keyEdit_->setText(QDir::toNativeSeparators(path));
    QString reason;
    if (const std::optional<KeyDescription> key = describeKey(*sheetModel_, path, reason)) {
        QString text = QStringLiteral("%1; responde %2 preguntas.").arg(key->testType).arg(key->questions);
        if (paperFolder_ != paperFolderBesideKey(path))
            text += QStringLiteral("\nLa carpeta de la clave no se puede escribir: los escaneos se leen en %1.")
                        .arg(QDir::toNativeSeparators(paperFolder_));
        keyInfo_->setText(text);
    } else {
        keyInfo_->setText(QStringLiteral("Esta clave no se puede usar: %1.").arg(reason));
    }
    startGrading();
}

void NotasWindow::addInputs(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!inputs_.contains(path))
            inputs_ << path;
    }
    startGrading();
}

void NotasWindow::clearInputs()
{
    inputs_.clear();
    // Scans added again after this are read again: they may have been
    // scanned anew under the same names. A run under way keeps its own.
    paper_ = std::make_shared<PaperReading>();
    startGrading();
}

void NotasWindow::setOptions(const GradingOptions& options)
{
    applyOptions(options);
    remember();
    startGrading();
}

void NotasWindow::applyOptions(const GradingOptions& options)
{
    // One grading for the whole change, not one per control.
    const QSignalBlocker kind(penaltyKind_);
    const QSignalBlocker points(penaltyPoints_);
    const QSignalBlocker scale(scale_);
    penaltyKind_->setCurrentIndex(int(options.penaltyKind));
    penaltyPoints_->setValue(options.penaltyPoints);
    penaltyPoints_->setEnabled(options.penaltyKind == PenaltyKind::Points);
    scale_->setValue(options.scale);
}

GradingOptions NotasWindow::options() const
{
    GradingOptions o;
    o.penaltyKind = PenaltyKind(penaltyKind_->currentIndex());
    o.penaltyPoints = penaltyPoints_->value();
    o.scale = scale_->value();
    return o;
}

bool NotasWindow::grading() const
{
    return job_->running() || gradeSoon_->isActive();
}

void NotasWindow::scheduleGrading()
{
    gradeSoon_->start();
    // What is shown is about to be graded again: no export of it meanwhile.
    for (QPushButton* b : std::as_const(exportButtons_))
        b->setEnabled(false);
}

void NotasWindow::startGrading()
{
    gradeSoon_->stop();
    graded_.reset();
    students_->setClass(nullptr);
    questions_->setClass(nullptr);
    summary_->setClass(nullptr);
    histogram_->setClass(nullptr);
    if (keyPath_.isEmpty() || inputs_.isEmpty()) {
        job_->abandon();
        showWaitingInputs();
        setBusy(false);
        status_->setText(
            keyPath_.isEmpty() ? QStringLiteral("Elija la clave.") : QStringLiteral("Añada los tests de la clase."));
        return;
    }
    showWaitingInputs();
    setBusy(true);
    status_->setText(QStringLiteral("Calificando…"));
    paper_->folder = paperFolder();
    job_->start(keyPath_, inputs_, options(), paper_);
}

ReviewDialog* NotasWindow::review()
{
    const QString folder = paperFolder();
    if (job_->running()) {
        // The scans may be being read anew over the sheets.
        dialogs_.inform(this, kTitle, QStringLiteral("Espere a que termine la calificación."));
        return nullptr;
    }
    // The dialog reads what is left to review; with nothing, it never shows.
    auto* dialog = folder.isEmpty() ? nullptr : new ReviewDialog(folder, this);
    if (!dialog || dialog->cells().empty()) {
        delete dialog;
        dialogs_.inform(this, kTitle, QStringLiteral("No hay casillas dudosas que revisar."));
        return nullptr;
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The key and the inputs stay as they are while the review writes into
    // the sheets, so no new reading of the scans runs under it.
    dialog->setWindowModality(Qt::WindowModal);
    // Each decision is on disk already; grading again shows it.
    connect(dialog, &ReviewDialog::decided, this, &NotasWindow::scheduleGrading);
    connect(dialog, &ReviewDialog::failed, this, [this](const QString& reason) {
        dialogs_.warn(this, kTitle, QStringLiteral("La decisión no se ha guardado: %1.").arg(reason));
    });
    dialog->show();
    return dialog;
}

QString NotasWindow::paperFolder() const
{
    return paperFolder_;
}

void NotasWindow::cancelGrading()
{
    gradeSoon_->stop();
    job_->cancel();
}

void NotasWindow::showWaitingInputs()
{
    std::vector<InputRow> rows;
    rows.reserve(std::size_t(inputs_.size()));
    for (const QString& path : std::as_const(inputs_))
        rows.push_back({ path, InputState::Waiting, {}, {}, -1 });
    inputList_->setRows(std::move(rows));
}

void NotasWindow::showGraded(std::shared_ptr<const GradedClass> graded)
{
    graded_ = std::move(graded);
    inputList_->setRows(graded_->inputs);
    students_->setClass(graded_);
    questions_->setClass(graded_);
    summary_->setClass(graded_);
    histogram_->setClass(graded_);
    const auto students = qsizetype(graded_->grading.students.size());
    const auto refused = qsizetype(graded_->grading.refused.size());
    QString text = students == 1 ? QStringLiteral("1 alumno calificado")
                                 : QStringLiteral("%1 alumnos calificados").arg(students);
    if (refused > 0)
        text += refused == 1 ? QStringLiteral("; 1 entrada rechazada")
                             : QStringLiteral("; %1 entradas rechazadas").arg(refused);
    status_->setText(text + u'.');
}

void NotasWindow::setBusy(bool busy)
{
    progress_->setVisible(busy);
    cancel_->setVisible(busy);
    if (busy) {
        // Busy indicator until the first file is done.
        progress_->setRange(0, 0);
    }
    for (QPushButton* b : std::as_const(exportButtons_))
        b->setEnabled(!busy && graded_ != nullptr);
}

void NotasWindow::remember()
{
    memory_.options = options();
    // The window goes on without its memory; nothing to tell the user.
    (void)writeNotasMemory(memoryPath_, memory_);
}

void NotasWindow::chooseKey()
{
    const QString path = dialogs_.openFile(this, QStringLiteral("Elegir la clave"),
        memory_.keyFolder.isEmpty() ? memory_.answersFolder : memory_.keyFolder, kTestFilter);
    if (path.isEmpty())
        return;
    memory_.keyFolder = folderOf(path);
    remember();
    setKey(path);
}

void NotasWindow::chooseAnswerFiles()
{
    const QStringList paths = dialogs_.openFiles(
        this, QStringLiteral("Añadir tests y escaneos de la clase"), memory_.answersFolder, kAnswerFilter);
    if (paths.isEmpty())
        return;
    memory_.answersFolder = folderOf(paths.front());
    remember();
    addInputs(paths);
}

void NotasWindow::chooseAnswerFolder()
{
    const QString path
        = dialogs_.openFolder(this, QStringLiteral("Añadir una carpeta de tests"), memory_.answersFolder);
    if (path.isEmpty())
        return;
    memory_.answersFolder = folderOf(path);
    remember();
    addInputs({ path });
}

void NotasWindow::exportFile(int kind, const QString& title, const QString& suffix, const QString& filter)
{
    if (!graded_ || grading())
        return;
    const QString start = QDir(memory_.exportFolder.isEmpty() ? memory_.answersFolder : memory_.exportFolder)
                              .filePath(QFileInfo(keyPath_).completeBaseName() + suffix);
    const QString path = dialogs_.saveFile(this, title, start, filter);
    if (path.isEmpty())
        return;
    memory_.exportFolder = folderOf(path);
    remember();
    QString error;
    if (!exportClass(ExportKind(kind), path, *graded_, error)) {
        dialogs_.warn(this, kTitle, error + QStringLiteral("\nEl fichero anterior, si lo había, sigue como estaba."));
        return;
    }
    status_->setText(QStringLiteral("Escrito %1.").arg(QDir::toNativeSeparators(path)));
}

void NotasWindow::exportCsv()
{
    exportFile(int(ExportKind::Csv), QStringLiteral("Exportar CSV"), QStringLiteral("-notas.csv"),
        QStringLiteral("CSV (*.csv)"));
}

void NotasWindow::exportWorkbook()
{
    exportFile(int(ExportKind::Workbook), QStringLiteral("Exportar libro"), QStringLiteral("-notas.xlsx"),
        QStringLiteral("Libro de cálculo (*.xlsx)"));
}

void NotasWindow::exportReport()
{
    exportFile(int(ExportKind::Report), QStringLiteral("Exportar informe"), QStringLiteral("-informe.pdf"),
        QStringLiteral("PDF (*.pdf)"));
}

void NotasWindow::exportSheets()
{
    if (!graded_ || grading())
        return;
    const QString folder = dialogs_.openFolder(this, QStringLiteral("Carpeta para las hojas corregidas"),
        memory_.exportFolder.isEmpty() ? memory_.answersFolder : memory_.exportFolder);
    if (folder.isEmpty())
        return;
    memory_.exportFolder = folder;
    remember();
    // A sheet takes a few hundredths of a second, a class some seconds: the
    // window shows how far it is and can stop between two whole sheets.
    const std::shared_ptr<const GradedClass> graded = graded_;
    const int total = int(graded->grading.students.size());
    QProgressDialog progress(
        QStringLiteral("Escribiendo las hojas corregidas…"), QStringLiteral("Cancelar"), 0, total, this);
    progress.setWindowTitle(kTitle);
    progress.setAccessibleName(QStringLiteral("Progreso de las hojas corregidas"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QStringList problems;
    const bool whole = exportFeedbackSheets(folder, *graded, problems, [&](int done, int) {
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    progress.reset();
    if (!whole && problems.isEmpty()) {
        dialogs_.inform(this, kTitle,
            QStringLiteral("Cancelado: no se ha escrito ninguna hoja en %1.").arg(QDir::toNativeSeparators(folder)));
        return;
    }
    if (!whole) {
        dialogs_.warn(this, kTitle, problems.join(QLatin1Char('\n')));
        return;
    }
    status_->setText(QStringLiteral("Hojas corregidas escritas en %1.").arg(QDir::toNativeSeparators(folder)));
}

void NotasWindow::printReport()
{
    if (!graded_ || grading())
        return;
    const QString title = QStringLiteral("Imprimir informe");
    const QString printer = defaultPrinterName();
    if (printer.isEmpty()) {
        dialogs_.warn(this, kTitle, QStringLiteral("No hay ninguna impresora predeterminada que acepte trabajos."));
        return;
    }
    const int copies = dialogs_.chooseCopies(this, title, printer);
    if (copies <= 0)
        return;
    QString error;
    const QByteArray pdf = classReportPdf(graded_->grading, graded_->summary, graded_->questions);
    if (pdf.isEmpty() || !printPdfOnDefaultPrinter(pdf, copies, QStringLiteral("Informe de la clase"), error)) {
        dialogs_.warn(this, kTitle,
            QStringLiteral("No se ha impreso el informe. %1")
                .arg(pdf.isEmpty() ? QStringLiteral("No se pudo componer.") : error));
        return;
    }
    const QString done = copies == 1
        ? QStringLiteral("Informe enviado a la impresora %1.").arg(printer)
        : QStringLiteral("Informe enviado a la impresora %1 (%2 copias).").arg(printer).arg(copies);
    dialogs_.inform(this, kTitle, done);
    status_->setText(done);
}

void NotasWindow::openStudent(int row)
{
    if (!graded_ || row < 0 || row >= students_->rowCount())
        return;
    const StudentResult& student = graded_->grading.students[std::size_t(students_->studentAt(row))];
    if (sheetModel_->sheetBitmap.isNull())
        prepareFeedbackModel(*sheetModel_);
    if (!drawFeedbackSheet(*sheetModel_, graded_->grading, student)) {
        dialogs_.warn(this, kTitle,
            QStringLiteral("%1 ya no se puede leer o ha cambiado de tipo de test.")
                .arg(QDir::toNativeSeparators(student.path)));
        return;
    }
    QImage scan;
    if (const auto source = graded_->scanPages.constFind(student.path); source != graded_->scanPages.cend()) {
        QString reason;
        if (const std::shared_ptr<const LocatedPage> page = scanPages_->page(source->first, source->second, reason))
            scan = outlinedScanPage(*page, student.path, pendingReview(paperFolder()), reason);
        if (scan.isNull())
            dialogs_.warn(this, kTitle, QStringLiteral("La página escaneada no se puede mostrar: %1.").arg(reason));
    }
    auto* dialog = new StudentSheetDialog(sheetModel_->sheetBitmap.copy(), graded_->grading, student, scan, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void NotasWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); }))
        event->acceptProposedAction();
}

void NotasWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    memory_.answersFolder = folderOf(paths.front());
    remember();
    addInputs(paths);
}

void NotasWindow::closeEvent(QCloseEvent* event)
{
    // Nothing of a grading under way is kept.
    job_->cancel();
    remember();
    QMainWindow::closeEvent(event);
}


void NotasWindow::makePaperSheets()
{
    const QString folder = memory_.exportFolder.isEmpty() ? QDir::homePath() : memory_.exportFolder;
    PaperSheetsDialog dialog(dialogs_, keyPath_, folder, this);
    dialog.exec();
    if (dialog.folder() != folder) {
        memory_.exportFolder = dialog.folder();
        remember();
    }
}

void NotasWindow::scanPages()
{
    const QString folder = memory_.answersFolder.isEmpty() ? QDir::homePath() : memory_.answersFolder;
    // Each page joins the class as it is written, as a file chosen by hand
    // would.
    ScanDialog dialog(
        dialogs_, folder, [this](const QString& path) { addInputs({ path }); }, this);
    dialog.exec();
    if (dialog.classFolder() != folder && !dialog.classFolder().isEmpty()) {
        memory_.answersFolder = dialog.classFolder();
        remember();
    }
}

#include "moc_notaswindow.cpp"
