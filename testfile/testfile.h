#pragma once

#include <cstdint>

#include <QString>

#include "sheet/model.h"

// One record of a test file: the cell, the three settings that shape the
// sheet (repeated in every record, read from the first only) and the cell's
// place. On disk it is 32 bytes, little-endian, with no header around it.
struct TestRecord {
    AnswerCell cell;
    std::int32_t testType = 0;
    std::int32_t cellShape = 0;
    std::int32_t letterCase = 0;
    std::int16_t answer = 0;
    std::int16_t question = 0;
};

inline constexpr int kTestRecordSize = 32;
// A five-column table; the largest file the program itself writes.
inline constexpr int kMaxWrittenRecords = kQuestions * kMaxAnswers;

// `out` must hold kTestRecordSize bytes.
void encodeTestRecord(const TestRecord& record, char* out);
TestRecord decodeTestRecord(const char* in);

// The whole file as the writer lays it out: question 1 to 100, within each
// the table's answer columns in order. `out` must hold
// kMaxWrittenRecords * kTestRecordSize bytes; returns the bytes used.
int encodeTestFile(const Model& m, char* out);

// Replaces the file at m.testFileName with the sheet and its settings. The
// old file is swapped out only once the new one is complete on disk, so a
// failed save (false) leaves it as it was.
[[nodiscard]] bool writeTestFile(const Model& m);

enum class ReadResult {
    Accepted,
    // Empty, not a whole number of records, or unreadable.
    Refused,
    // A key saved under another test type than the current one.
    OtherTestType,
};

// Reads m.testFileName into the answer table (five columns) and the three
// settings. Nothing changes unless the result is Accepted.
ReadResult readTestFile(Model& m);
// Reads m.testFileName into the key table; the settings stay.
ReadResult readKeyFile(Model& m);

// Paths are used without their leading and trailing spaces; other white
// space is part of a Linux file name.
QString trimSpaces(const QString& text);
// True when a file or a folder of that name exists.
bool fileExists(const QString& path);
// The part after the last '/', or the whole path without one.
QString fileNameOf(const QString& path);
