#include "notas/gradingjob.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QPointer>
#include <QThread>

#include "sheet/model.h"

namespace {

constexpr int kGradingNice = 10;

} // namespace

// What the thread and the window share about one run. The thread holds its
// own reference, so a run outlives the window's interest in it.
struct GradingJob::Run {
    std::atomic<bool> cancel { false };
    // Progress is posted only when the percentage moves, so a class of
    // thousands of files does not flood the window's event queue.
    int lastPercent = -1;
};

GradingJob::GradingJob(QObject* parent)
    : QObject(parent)
{
}

GradingJob::~GradingJob()
{
    abandon();
}

void GradingJob::start(const QString& keyPath, const QStringList& inputs, const GradingOptions& options,
    std::shared_ptr<PaperReading> paper)
{
    abandon();
    auto run = std::make_shared<Run>();
    run_ = run;
    QPointer<GradingJob> self(this);
    thread_ = QThread::create([self, run, keyPath, inputs, options, paper] {
        // The grading yields the processor to the window's thread, so that a
        // click is answered at once even while every core reads scans. On
        // Linux a thread's nice value is its own, and the threads it starts
        // inherit it; a failure leaves the grading only less polite.
        (void)::setpriority(PRIO_PROCESS, ::gettid(), kGradingNice);
        // A scratch model per thread: the readers fill its tables.
        auto scratch = std::make_unique<Model>();
        QString reason;
        std::optional<GradedClass> graded = gradeInputs(
            *scratch, keyPath, inputs, options, run->cancel,
            [&](int done, int total) {
                if (total <= 0)
                    return;
                const int percent = done * 100 / total;
                if (percent == run->lastPercent || !self)
                    return;
                run->lastPercent = percent;
                QMetaObject::invokeMethod(
                    self,
                    [self, run, done, total] {
                        if (self && self->run_ == run)
                            emit self->progress(done, total);
                    },
                    Qt::QueuedConnection);
            },
            reason, paper.get());
        std::shared_ptr<const GradedClass> result;
        if (graded)
            result = std::make_shared<const GradedClass>(std::move(*graded));
        if (!self)
            return;
        QMetaObject::invokeMethod(
            self,
            [self, run, result, reason] {
                if (!self || self->run_ != run)
                    return;
                const bool wasCancelled = run->cancel.load();
                self->abandon();
                if (wasCancelled)
                    emit self->cancelled();
                else if (result)
                    emit self->finished(result);
                else
                    emit self->failed(reason);
            },
            Qt::QueuedConnection);
    });
    thread_->start();
}

void GradingJob::cancel()
{
    if (run_)
        run_->cancel.store(true);
}

void GradingJob::abandon()
{
    cancel();
    if (thread_) {
        // The thread checks the flag between files and between scanned
        // pages, so this is short.
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
    }
    run_.reset();
}

#include "moc_gradingjob.cpp"
