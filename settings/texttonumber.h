#pragma once

#include <cstdint>

#include <QStringView>

// Reads the longest number at the start of `text` and rounds it to the
// nearest integer, halves going to the even neighbour. Leading blanks (space,
// tab, CR, LF) are skipped. Accepted forms:
//   decimal     [+|-]digits[.digits][(E|e|D|d)[+|-]digits]
//   hexadecimal &H or &h then hex digits
//   binary      &B or &b then 0 and 1
//   octal       &O, &o, &Q, &q, or & directly followed by an octal digit
// Reading stops at the first character that does not fit; a text with no
// number at its start gives 0.
//
// Out-of-range values saturate: a decimal number above 2147483647 gives
// 2147483647 and one below -2147483648 gives -2147483648. The & forms are
// read as 32-bit two's-complement patterns, so &HFFFFFFFF gives -1 and
// &H80000000 gives -2147483648, which lets any value the program writes be
// typed in hexadecimal too; a pattern wider than 32 bits saturates to
// 2147483647.
std::int32_t textToNumber(QStringView text);
