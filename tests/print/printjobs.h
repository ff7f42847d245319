#pragma once

#include <optional>

#include <QList>
#include <QString>

// A job as the private test scheduler lists it.
struct Job {
    int id = 0;
    int state = 0;
    QString name;
    int copies = 0;
    QString colorMode;
    int quality = 0;
};

// Every job of `queue` on the scheduler that CUPS_SERVER names, finished
// ones too. Nothing when the scheduler did not answer the query: then no
// count of jobs can be compared.
std::optional<QList<Job>> jobs(const QString& queue);
