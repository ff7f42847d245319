// Any text gives a number, and reading never steps outside the text or
// overflows on the way (the sanitizers watch that).
#include <cstddef>
#include <cstdint>

#include <QString>

#include "settings/texttonumber.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Settings arrive as Windows-1252 bytes and become Latin-1-like code
    // units; UTF-16 pairs cover everything else the dialog could hand in.
    const QString latin = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::int32_t a = textToNumber(latin);
    const QString wide = QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
    const std::int32_t b = textToNumber(wide);
    // The result type already bounds the value; reading the same text twice
    // must agree.
    if (a != textToNumber(latin) || b != textToNumber(wide))
        __builtin_trap();
    return 0;
}
