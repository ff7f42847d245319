#pragma once

#include <QString>
#include <QStringList>

// What a run of the built zelvora-notas left: its exit status (-1 when it
// crashed or did not end in time) and what it printed.
struct NotasRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs the program at `program` in `folder` as from a remote shell: with no
// display and no platform chosen, so it must manage without a desktop.
NotasRun runNotasProcess(const QString& program, const QString& folder, const QStringList& arguments,
    int timeoutMs = 120000);
