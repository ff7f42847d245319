#include "notas/scanjob.h"

#include <QMetaObject>

ScanJob::ScanJob(QObject* parent)
    : QObject(parent)
{
}

ScanJob::~ScanJob()
{
    cancel();
    join();
}

void ScanJob::join()
{
    if (worker_.joinable())
        worker_.join();
}

void ScanJob::cancel()
{
    if (cancel_)
        cancel_->store(true);
}

void ScanJob::run(std::function<void(std::shared_ptr<std::atomic_bool>)> work)
{
    join();
    running_ = true;
    cancel_ = std::make_shared<std::atomic_bool>(false);
    worker_ = std::thread([work = std::move(work), cancel = cancel_] { work(cancel); });
}

// Results travel as queued calls on this object: they arrive on its thread,
// and are dropped with it if it goes first.
void ScanJob::findScanners()
{
    run([this](const std::shared_ptr<std::atomic_bool>&) {
        std::vector<ScannerInfo> scanners;
        {
            const SaneSession session;
            scanners = ::findScanners(session);
        }
        QMetaObject::invokeMethod(
            this,
            [this, scanners] {
                running_ = false;
                emit scannersFound(scanners);
            },
            Qt::QueuedConnection);
    });
}

void ScanJob::scan(const QString& name, const QString& folder)
{
    run([this, name, folder](const std::shared_ptr<std::atomic_bool>& cancel) {
        ScanOutcome outcome;
        {
            const SaneSession session;
            if (std::unique_ptr<ScanDevice> device = openScanner(session, name, outcome.error)) {
                outcome = scanPages(*device, folder, *cancel, [this](const QString& path) {
                    QMetaObject::invokeMethod(
                        this, [this, path] { emit pageSaved(path); }, Qt::QueuedConnection);
                });
            }
        }
        QMetaObject::invokeMethod(
            this,
            [this, outcome] {
                running_ = false;
                emit finished(outcome);
            },
            Qt::QueuedConnection);
    });
}

#include "moc_scanjob.cpp"
