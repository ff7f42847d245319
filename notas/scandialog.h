#pragma once

#include <functional>
#include <vector>

#include <QDialog>
#include <QString>

#include "notas/scanner.h"

class NotasDialogs;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ScanJob;

// "Escanear…": lists the scanners SANE finds and scans pages into a new
// folder inside the class folder, each handed to `pageSaved` as soon as it
// is written. The scanner works in the background; the dialog stays usable
// and its cancel stops the scan, keeping the pages already written.
class ScanDialog final : public QDialog {
public:
    ScanDialog(NotasDialogs& dialogs, const QString& classFolder, std::function<void(const QString&)> pageSaved,
        QWidget* parent = nullptr);
    ~ScanDialog() override;

    // The commands of the buttons, for the keyboard and for tests alike.
    void findScanners();
    void chooseFolder();
    void startScan();
    void cancelScan();

    // For tests and the window: the job, and what it found.
    ScanJob& job() { return *job_; }
    const std::vector<ScannerInfo>& scanners() const { return scanners_; }
    void selectScanner(const QString& name);
    QString classFolder() const;

    // Closing stops a scan under way and closes once it has.
    void reject() override;

private:
    void setBusy(bool busy);
    void showScanners(const std::vector<ScannerInfo>& scanners);
    void scanEnded(const ScanOutcome& outcome);

    NotasDialogs& dialogs_;
    std::function<void(const QString&)> pageSaved_;
    ScanJob* job_ = nullptr;
    std::vector<ScannerInfo> scanners_;
    int pages_ = 0;
    bool closeWhenDone_ = false;
    QComboBox* scannerList_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* search_ = nullptr;
    QPushButton* chooseFolder_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
