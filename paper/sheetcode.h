#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "paper/papergeometry.h"

// What a printed page says about itself in its QR code: which exam it
// belongs to, how it is laid out and, on roster pages, whose it is. The
// reader trusts nothing on a page that this code does not name, so the
// payload is short (a version-4 code at most, readable at 150 dpi) and its
// parser refuses anything it did not write itself.

inline constexpr int kSheetCodeVersion = 1;
inline constexpr int kMaxSheetSerial = 99999;
// A student id becomes a file name (`ID.ztest`), so it is kept to what every
// file system takes and to what fits the code beside the rest.
inline constexpr int kMaxStudentIdLength = 20;

struct SheetLayout {
    int testType = 0; // 0 five answers A–E, 1 V/F, 2 T/F
    int cellShape = 1; // 0 square, 1 round
    int letterCase = 1; // 0 small letters, 1 capitals
    int questions = 100; // printed questions, 1..100
    PaperSize paper = PaperSize::A4;

    friend bool operator==(const SheetLayout&, const SheetLayout&) = default;
};

struct SheetCode {
    QString examId; // 8 upper-case hexadecimal digits
    SheetLayout layout;
    int serial = 1; // the page's number within its print run, 1..kMaxSheetSerial
    QString studentId; // empty on anonymous pages
    QString studentName; // only where it fitted; may be empty on roster pages too

    friend bool operator==(const SheetCode&, const SheetCode&) = default;
};

// Answer cells per question on a sheet of that test type: five for A to E,
// two for the logic tests.
inline int paperAnswers(int testType)
{
    return testType == 0 ? 5 : 2;
}

// The exam's id, so that two runs of the same exam print the same one: four
// hexadecimal digits hashed from the title, then four from the layout and
// the key's marked answers (`marked[q-1]` holds bit k-1 for answer k of
// question q, for the printed questions; empty without a key).
QString examId(const QString& title, const SheetLayout& layout, const std::vector<unsigned>& marked);

// Whether a page was printed for this key, judged by the second half of
// its exam id: true when it was printed from this key (`keyMarks` as
// `marked` above, any length), or without any key for its layout. Pages
// printed from another key, or for another layout, are another exam's.
bool examFitsKey(const SheetCode& code, const std::vector<unsigned>& keyMarks);

// Whether `id` may stand as a student id: 1..kMaxStudentIdLength letters,
// digits, '-', '_' or '.', not starting with '.'.
bool validStudentId(QStringView id);

// The payload as the code carries it (UTF-8). The name is left out when the
// code would outgrow version 4 with it, or when it is longer, or holds
// characters (controls, a surrounding blank), that the reader would refuse;
// the page prints it anyway. Empty when `code` itself is not one this
// program prints (a bad id, a layout out of range, a name without an id).
QByteArray encodeSheetCode(const SheetCode& code);

// The code back from a payload, or empty with `reason` saying, in Spanish,
// why the payload is not one of ours.
std::optional<SheetCode> decodeSheetCode(QByteArrayView payload, QString& reason);

// The QR symbol of a payload as rows of modules, true for dark, without its
// quiet zone. Empty when the payload does not fit version 4.
struct CodeMatrix {
    int size = 0;
    std::vector<bool> dark; // size × size, row after row

    bool at(int x, int y) const { return dark[std::size_t(y) * std::size_t(size) + std::size_t(x)]; }
};
CodeMatrix sheetCodeMatrix(QByteArrayView payload);
