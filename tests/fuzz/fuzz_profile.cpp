// Any settings file can be read, and writing our keys into it keeps them
// readable: after a value is set, reading the key gives that value back,
// and the bytes decode and encode without loss.
#include <array>
#include <cstddef>
#include <cstdint>

#include <QString>

#include "settings/profilefile.h"
#include "settings/texttonumber.h"
#include "settings/windows1252.h"

namespace {

const std::array<QString, 7> kKeys = {
    QStringLiteral("Tipo Letra"),  QStringLiteral("Forma"),         QStringLiteral("Test"),
    QStringLiteral("Color Relleno"), QStringLiteral("Color Texto"), QStringLiteral("Color Acierto"),
    QStringLiteral("Color Fallo"),
};

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString text = fromWindows1252(bytes);
    check(toWindows1252(text) == bytes);

    const QString section = QStringLiteral("Personalizar");
    for (const QString& key : kKeys)
        textToNumber(profileString(text, section, key, QStringLiteral("0")));

    const std::int32_t values[] = {-123456, 0, 1, 2147483647, -2147483647 - 1, 65280, 7};
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const std::int32_t value = values[i];
        const QString written = value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
        setProfileString(text, section, kKeys[i], written);
        check(textToNumber(profileString(text, section, kKeys[i], QStringLiteral("x"))) == value);
    }
    // A later key must not disturb an earlier one.
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        check(textToNumber(profileString(text, section, kKeys[i], QStringLiteral("x"))) == values[i]);
    return 0;
}
