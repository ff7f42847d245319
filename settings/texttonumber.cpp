#include "settings/texttonumber.h"

#include <limits>

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Value of `c` as a digit of `radix`, or -1.
int digitValue(QChar c, int radix)
{
    int v = -1;
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        v = u - u'0';
    else if (u >= u'a' && u <= u'f')
        v = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        v = u - u'A' + 10;
    return v < radix ? v : -1;
}

std::int32_t radixNumber(QStringView text, qsizetype i, int radix)
{
    std::uint64_t value = 0;
    bool wide = false;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], radix);
        if (d < 0)
            break;
        // Digits keep being consumed after the value overflows 32 bits; only
        // the saturation flag matters from then on.
        value = value * std::uint64_t(radix) + std::uint64_t(d);
        if (value > 0xFFFFFFFFu) {
            wide = true;
            value = 0;
        }
    }
    if (wide)
        return std::int32_t(kMax);
    return std::int32_t(std::uint32_t(value));
}

// Decimal numbers are rounded from their digits rather than through a
// double, so that "0.50000000000000000001" rounds up and long digit runs
// never lose the digit that decides a tie.
std::int32_t decimalNumber(QStringView text, qsizetype i)
{
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const qsizetype intBegin = i;
    while (i < n && isDecimalDigit(text[i]))
        ++i;
    const qsizetype intEnd = i;
    qsizetype fracBegin = i;
    qsizetype fracEnd = i;
    if (i < n && text[i] == u'.') {
        fracBegin = ++i;
        while (i < n && isDecimalDigit(text[i]))
            ++i;
        fracEnd = i;
    }
    const qsizetype intLen = intEnd - intBegin;
    const qsizetype total = intLen + (fracEnd - fracBegin);
    if (total == 0)
        return 0;

    // An exponent marker only belongs to the number when digits follow it.
    std::int64_t exponent = 0;
    if (i < n && (text[i] == u'E' || text[i] == u'e' || text[i] == u'D' || text[i] == u'd')) {
        qsizetype j = i + 1;
        bool expNegative = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            expNegative = text[j] == u'-';
            ++j;
        }
        if (j < n && isDecimalDigit(text[j])) {
            // Capped far beyond anything that can matter, so that the
            // position arithmetic below cannot overflow.
            constexpr std::int64_t kCap = std::int64_t(1) << 40;
            for (; j < n && isDecimalDigit(text[j]); ++j) {
                if (exponent < kCap)
                    exponent = exponent * 10 + (text[j].unicode() - u'0');
            }
            if (expNegative)
                exponent = -exponent;
        }
    }

    // The integer and fraction digits as one sequence, index 0 = first digit.
    auto digit = [&](std::int64_t k) -> int {
        if (k < 0 || k >= total)
            return 0;
        const qsizetype at = k < intLen ? intBegin + qsizetype(k) : fracBegin + qsizetype(k - intLen);
        return text[at].unicode() - u'0';
    };

    std::int64_t first = 0;
    while (first < total && digit(first) == 0)
        ++first;
    if (first == total)
        return 0;

    // Digits [first, point) form the integer part; the rest is the fraction.
    const std::int64_t point = std::int64_t(intLen) + exponent;
    std::int64_t magnitude = 0;
    if (point - first > 10) {
        magnitude = kMax + 2;
    } else {
        for (std::int64_t k = first; k < point; ++k)
            magnitude = magnitude * 10 + digit(k);
        if (point >= first) {
            const int next = digit(point);
            bool up = next > 5;
            if (next == 5) {
                bool beyond = false;
                for (std::int64_t k = point + 1; k < total && !beyond; ++k)
                    beyond = digit(k) != 0;
                up = beyond || (magnitude % 2 != 0);
            }
            if (up)
                ++magnitude;
        }
    }
    if (negative)
        return std::int32_t(-magnitude < kMin ? kMin : -magnitude);
    return std::int32_t(magnitude > kMax ? kMax : magnitude);
}

} // namespace

std::int32_t textToNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && text[i] == u'&') {
        if (i + 1 >= text.size())
            return 0;
        const QChar kind = text[i + 1];
        if (kind == u'H' || kind == u'h')
            return radixNumber(text, i + 2, 16);
        if (kind == u'B' || kind == u'b')
            return radixNumber(text, i + 2, 2);
        if (kind == u'O' || kind == u'o' || kind == u'Q' || kind == u'q')
            return radixNumber(text, i + 2, 8);
        return radixNumber(text, i + 1, 8);
    }
    return decimalNumber(text, i);
}
