// Properties of the text-to-number rule on any text, and no reading outside
// the text or overflow on the way (the sanitizers watch that).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <QString>

#include "settings/texttonumber.h"

namespace {

void check(bool property)
{
    if (!property)
        __builtin_trap();
}

// [+|-]digits and nothing else: what QString::toInt and the rule both read.
bool plainInteger(const QString& text)
{
    qsizetype i = text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Settings arrive as Windows-1252 bytes and become Latin-1-like code
    // units; UTF-16 pairs cover everything else the dialog could hand in.
    const QString latin = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString wide = QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
    const std::int32_t a = textToNumber(latin);
    const std::int32_t b = textToNumber(wide);

    // Leading blanks (space, tab, CR, LF) change nothing; the first byte
    // says which and how many go in front.
    if (size > 0) {
        static constexpr char16_t kBlanks[] = u" \t\r\n";
        QString blanks;
        for (unsigned bits = data[0], n = 0; n < 1u + data[0] % 5u; ++n, bits = bits * 7 + 3)
            blanks += QChar(kBlanks[bits % 4]);
        check(textToNumber(blanks + latin) == a);
        check(textToNumber(blanks + wide) == b);
    }

    // An integer reads as QString::toInt reads it; beyond 32 bits it
    // saturates instead of wrapping.
    if (plainInteger(latin)) {
        bool ok = false;
        const int value = latin.toInt(&ok, 10);
        if (ok)
            check(a == value);
        else
            check(a == (latin.startsWith(QLatin1Char('-')) ? INT_MIN : INT_MAX));
    }

    // A half goes to the even neighbour: 2.5 to 2, 3.5 to 4, -2.5 to -2.
    if (size >= 4) {
        std::int32_t k = 0;
        std::memcpy(&k, data, sizeof k);
        if (k > INT_MIN + 1 && k < INT_MAX - 1) {
            const std::int32_t away = k < 0 ? k - 1 : k + 1;
            check(textToNumber(QString::number(k) + QStringLiteral(".5")) == (k % 2 == 0 ? k : away));
        }
    }
    return 0;
}
