#pragma once

#include <memory>

#include <QMainWindow>
#include <QStringList>

#include "notas/classrun.h"
#include "notas/notasmemory.h"

class GradingJob;
class HistogramModel;
class InputListModel;
class NotasDialogs;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;
class QTimer;
class QuestionTableModel;
class ReviewDialog;
class ScanPageCache;
class StudentTableModel;
class SummaryTableModel;
struct Model;

// The window of zelvora-notas: the key and the class, the options, the
// grading in the background, the three tables and the exports. Every
// question to the user goes through `dialogs`; what it remembers lives in
// the file at `memoryPath`.
class NotasWindow : public QMainWindow {
    Q_OBJECT

public:
    NotasWindow(NotasDialogs& dialogs, const QString& memoryPath, QWidget* parent = nullptr);
    ~NotasWindow() override;

    void setKey(const QString& path);
    void addInputs(const QStringList& paths);
    void clearInputs();
    void setOptions(const GradingOptions& options);
    GradingOptions options() const;

    // The last whole grading, or none while grading or after a cancel.
    std::shared_ptr<const GradedClass> graded() const { return graded_; }
    bool grading() const;

    // Where the class's scans are read: `<key folder>/<key name>-papel`, or
    // the user's own folder for them when the key's folder is read-only.
    QString paperFolder() const;

    StudentTableModel& students() { return *students_; }
    QuestionTableModel& questions() { return *questions_; }
    InputListModel& inputList() { return *inputList_; }

    // The commands of the buttons, for the keyboard and for tests alike.
    void chooseKey();
    void chooseAnswerFiles();
    void chooseAnswerFolder();
    void cancelGrading();
    void exportCsv();
    void exportWorkbook();
    void exportReport();
    void exportSheets();
    void printReport();
    void openStudent(int row);
    // Walks the doubtful paper cells; none when there are none to review.
    ReviewDialog* review();
    void makePaperSheets();
    void scanPages();

signals:
    // A grading ended: whole, cancelled or refused.
    void gradingEnded();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildClassPanel();
    QWidget* buildOptionsPanel();
    QWidget* buildTabs();
    void fillPage(int index);
    QWidget* buildExportPanel();
    void applyOptions(const GradingOptions& options);
    void scheduleGrading();
    void startGrading();
    void showGraded(std::shared_ptr<const GradedClass> graded);
    void showWaitingInputs();
    void setBusy(bool busy);
    void remember();
    void exportFile(int kind, const QString& title, const QString& suffix, const QString& filter);

    NotasDialogs& dialogs_;
    QString memoryPath_;
    NotasMemory memory_;
    QString keyPath_;
    QString paperFolder_;
    QStringList inputs_;
    std::shared_ptr<const GradedClass> graded_;
    std::unique_ptr<Model> sheetModel_;
    // The class's scans as last read, into the folder beside the key.
    std::shared_ptr<PaperReading> paper_;
    std::unique_ptr<ScanPageCache> scanPages_;

    GradingJob* job_ = nullptr;
    QTimer* gradeSoon_ = nullptr;
    InputListModel* inputList_ = nullptr;
    StudentTableModel* students_ = nullptr;
    QuestionTableModel* questions_ = nullptr;
    QSortFilterProxyModel* questionOrder_ = nullptr;
    SummaryTableModel* summary_ = nullptr;
    HistogramModel* histogram_ = nullptr;

    QLineEdit* keyEdit_ = nullptr;
    QLabel* keyInfo_ = nullptr;
    QComboBox* penaltyKind_ = nullptr;
    QDoubleSpinBox* penaltyPoints_ = nullptr;
    QDoubleSpinBox* scale_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* status_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QCheckBox* onlyReview_ = nullptr;
    QTableView* studentView_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QList<QPushButton*> exportButtons_;
};
