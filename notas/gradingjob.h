#pragma once

#include <atomic>
#include <memory>

#include <QObject>
#include <QString>
#include <QStringList>

#include "notas/classrun.h"

class QThread;

// Runs one grading of the class at a time on a thread of its own, so the
// window keeps answering. Starting again cancels the run under way; a run
// that was cancelled or replaced reports nothing, so what the window shows
// always comes from one whole grading with the options it shows.
class GradingJob : public QObject {
    Q_OBJECT

public:
    explicit GradingJob(QObject* parent = nullptr);
    ~GradingJob() override;

    // `paper` (may be null) keeps the class's scans as last read; only the
    // one run under way ever touches it.
    void start(const QString& keyPath, const QStringList& inputs, const GradingOptions& options,
        std::shared_ptr<PaperReading> paper = {});
    // Stops the run under way and reports nothing of it, not even the cancel.
    void abandon();
    void cancel();
    bool running() const { return run_ != nullptr; }

signals:
    void progress(int done, int total);
    void finished(std::shared_ptr<const GradedClass> result);
    void failed(const QString& reason);
    void cancelled();

private:
    struct Run;

    std::shared_ptr<Run> run_;
    QThread* thread_ = nullptr;
};
