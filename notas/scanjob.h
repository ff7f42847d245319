#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <QObject>
#include <QString>

#include "notas/scanner.h"

// Runs the scanner's slow calls on a thread of its own, one at a time, and
// tells their results on the thread that made it. Destroying it cancels what
// runs and waits for it, keeping the pages already written.
class ScanJob : public QObject {
    Q_OBJECT

public:
    explicit ScanJob(QObject* parent = nullptr);
    ~ScanJob() override;

    // Ends in scannersFound.
    void findScanners();
    // Scans from the scanner `name` into `folder`, which must exist; tells
    // each page as it is written, and ends in finished.
    void scan(const QString& name, const QString& folder);
    void cancel();
    bool running() const { return running_; }

signals:
    void scannersFound(const std::vector<ScannerInfo>& scanners);
    void pageSaved(const QString& path);
    void finished(const ScanOutcome& outcome);

private:
    void run(std::function<void(std::shared_ptr<std::atomic_bool>)> work);
    void join();

    std::thread worker_;
    std::shared_ptr<std::atomic_bool> cancel_;
    bool running_ = false;
};
