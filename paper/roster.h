#pragma once

#include <optional>
#include <vector>

#include <QByteArrayView>
#include <QString>

// A class list for printing one sheet per student: a CSV file with a header
// naming the columns `id` and `nombre`, in any order among others, as
// spreadsheets write it (UTF-8 with or without its byte-order mark, comma or
// semicolon between fields, fields in double quotes where they need them).

struct RosterStudent {
    QString id;
    QString name;
    int line = 0; // where the student's record starts, for messages

    friend bool operator==(const RosterStudent&, const RosterStudent&) = default;
};

// A list larger than this is not a class list.
inline constexpr qsizetype kMaxRosterBytes = 4 * 1024 * 1024;

// The students in the list's order, or empty with `error` saying in Spanish
// what is wrong and on which line.
std::optional<std::vector<RosterStudent>> parseRoster(QByteArrayView bytes, QString& error);
std::optional<std::vector<RosterStudent>> readRoster(const QString& path, QString& error);
