#include "paper/sheetcode.h"

#include <QCryptographicHash>
#include <QList>
#include <QStringDecoder>

#include <ZXing/BitMatrix.h>
#include <ZXing/CharacterSet.h>
#include <ZXing/MultiFormatWriter.h>

namespace {

// "Z1/EXAM0001/TSCQQQP/SERIAL[/ID[/NAME]]": everything but the id and the
// name is upper case, digits and '/', which the code stores in its compact
// alphanumeric mode.
constexpr char kMagic = 'Z';
constexpr char kSeparator = '/';
constexpr int kExamIdLength = 8;
constexpr int kLayoutLength = 7;
constexpr int kMaxSymbolModules = 17 + 4 * 4; // version 4
// Longer payloads cannot be ours, whatever they hold.
constexpr qsizetype kMaxPayload = 200;
constexpr int kMaxNameLength = 60;

// zxing-cpp's writer takes its error-correction level on a 0..8 scale, two
// steps per level: 6 is Q (a quarter of the code may be lost), 4 is M.
constexpr int kEccQ = 6;
constexpr int kEccM = 4;

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

QByteArray layoutText(const SheetLayout& l)
{
    return QByteArray::number(l.testType) + QByteArray::number(l.cellShape) + QByteArray::number(l.letterCase)
        + QByteArray::number(l.questions).rightJustified(3, '0') + (l.paper == PaperSize::Letter ? "L" : "A");
}

bool validLayout(const SheetLayout& l)
{
    return l.testType >= 0 && l.testType <= 2 && (l.cellShape == 0 || l.cellShape == 1)
        && (l.letterCase == 0 || l.letterCase == 1) && l.questions >= 1 && l.questions <= 100
        && (l.paper == PaperSize::A4 || l.paper == PaperSize::Letter);
}

bool validExamId(QByteArrayView id)
{
    return id.size() == kExamIdLength && std::all_of(id.begin(), id.end(), isUpperHex);
}

bool validName(QStringView name)
{
    if (name.isEmpty() || name.size() > kMaxNameLength || name.front().isSpace() || name.back().isSpace())
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || c.category() == QChar::Other_Surrogate || c.category() == QChar::Other_NotAssigned
            || c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph;
    });
}

// A decimal number of 1..`digits` digits without leading zeros, or -1.
int plainNumber(QByteArrayView text, int digits)
{
    if (text.isEmpty() || text.size() > digits || text.front() == '0')
        return -1;
    int value = 0;
    for (char c : text) {
        if (!isDigit(c))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<SheetLayout> parseLayout(QByteArrayView t)
{
    if (t.size() != kLayoutLength)
        return std::nullopt;
    for (int i = 0; i < 6; ++i)
        if (!isDigit(t[i]))
            return std::nullopt;
    SheetLayout l;
    l.testType = t[0] - '0';
    l.cellShape = t[1] - '0';
    l.letterCase = t[2] - '0';
    l.questions = (t[3] - '0') * 100 + (t[4] - '0') * 10 + (t[5] - '0');
    if (t[6] != 'A' && t[6] != 'L')
        return std::nullopt;
    l.paper = t[6] == 'L' ? PaperSize::Letter : PaperSize::A4;
    if (!validLayout(l))
        return std::nullopt;
    return l;
}

CodeMatrix encodeAt(QByteArrayView payload, int ecc)
{
    // The writer picks the alphanumeric mode where the text allows and bytes
    // otherwise; UTF-8 then carries its ECI so that readers take the name's
    // accents as written.
    ZXing::BitMatrix bits;
    try {
        bits = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                   .setEncoding(ZXing::CharacterSet::UTF8)
                   .setEccLevel(ecc)
                   .setMargin(0)
                   .encode(std::string(payload.data(), std::size_t(payload.size())), 0, 0);
    } catch (const std::exception&) {
        return {};
    }
    if (bits.width() != bits.height() || bits.width() > kMaxSymbolModules || bits.width() < 21)
        return {};
    CodeMatrix m;
    m.size = bits.width();
    m.dark.resize(std::size_t(m.size) * std::size_t(m.size));
    for (int y = 0; y < m.size; ++y)
        for (int x = 0; x < m.size; ++x)
            m.dark[std::size_t(y) * std::size_t(m.size) + std::size_t(x)] = bits.get(x, y);
    return m;
}

QByteArray payloadText(const SheetCode& c, bool withName)
{
    QByteArray p;
    p += kMagic;
    p += QByteArray::number(kSheetCodeVersion);
    p += kSeparator;
    p += c.examId.toLatin1();
    p += kSeparator;
    p += layoutText(c.layout);
    p += kSeparator;
    p += QByteArray::number(c.serial);
    if (!c.studentId.isEmpty()) {
        p += kSeparator;
        p += c.studentId.toLatin1();
        if (withName && !c.studentName.isEmpty()) {
            p += kSeparator;
            p += c.studentName.toUtf8();
        }
    }
    return p;
}

// The half of the exam id that the layout and the key's answers make, so
// that a reader holding only the key can tell its pages from another exam's.
QString keyHalf(const SheetLayout& layout, const std::vector<unsigned>& marked)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(layoutText(layout));
    for (unsigned bits : marked) {
        const char byte = char(bits & 0x1f);
        hash.addData(QByteArrayView(&byte, 1));
    }
    return QString::fromLatin1(hash.result().left(2).toHex().toUpper());
}

} // namespace

QString examId(const QString& title, const SheetLayout& layout, const std::vector<unsigned>& marked)
{
    const QByteArray titleHash = QCryptographicHash::hash(title.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(titleHash.left(2).toHex().toUpper()) + keyHalf(layout, marked);
}

bool examFitsKey(const SheetCode& code, const std::vector<unsigned>& keyMarks)
{
    const QStringView half = QStringView(code.examId).right(kExamIdLength / 2);
    if (half == keyHalf(code.layout, {}))
        return true;
    const std::size_t questions = std::min(keyMarks.size(), std::size_t(code.layout.questions));
    return half
        == keyHalf(code.layout, std::vector<unsigned>(keyMarks.begin(), keyMarks.begin() + qsizetype(questions)));
}

bool validStudentId(QStringView id)
{
    if (id.isEmpty() || id.size() > kMaxStudentIdLength || id.front() == u'.')
        return false;
    return std::all_of(id.begin(), id.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'
            || c == u'_' || c == u'.';
    });
}

QByteArray encodeSheetCode(const SheetCode& code)
{
    if (!validExamId(code.examId.toLatin1()) || !validLayout(code.layout) || code.serial < 1
        || code.serial > kMaxSheetSerial)
        return {};
    if (!code.studentId.isEmpty() && !validStudentId(code.studentId))
        return {};
    if (!code.studentName.isEmpty() && code.studentId.isEmpty())
        return {};
    if (validName(code.studentName)) {
        const QByteArray full = payloadText(code, true);
        if (sheetCodeMatrix(full).size > 0)
            return full;
    }
    const QByteArray plain = payloadText(code, false);
    return sheetCodeMatrix(plain).size > 0 ? plain : QByteArray();
}

std::optional<SheetCode> decodeSheetCode(QByteArrayView payload, QString& reason)
{
    const auto refuse = [&reason](const char* why) -> std::optional<SheetCode> {
        reason = QString::fromUtf8(why);
        return std::nullopt;
    };
    if (payload.size() > kMaxPayload)
        return refuse("el código es demasiado largo para ser de una hoja");
    if (payload.size() < 2 || payload[0] != kMagic || !isDigit(payload[1]))
        return refuse("el código no es de una hoja de respuestas");
    // Cut into at most six fields; the name, last, may hold the separator.
    QList<QByteArrayView> fields;
    qsizetype from = 0;
    while (fields.size() < 5) {
        const qsizetype at = payload.indexOf(kSeparator, from);
        if (at < 0)
            break;
        fields << payload.sliced(from, at - from);
        from = at + 1;
    }
    fields << payload.sliced(from);
    if (fields[0] != QByteArrayView("Z1")) {
        if (plainNumber(fields[0].sliced(1), 3) > kSheetCodeVersion)
            return refuse("la hoja es de una versión posterior del programa");
        return refuse("el código no es de una hoja de respuestas");
    }
    if (fields.size() < 4)
        return refuse("al código le faltan datos");
    SheetCode code;
    if (!validExamId(fields[1]))
        return refuse("el examen del código no es válido");
    code.examId = QString::fromLatin1(fields[1]);
    const std::optional<SheetLayout> layout = parseLayout(fields[2]);
    if (!layout)
        return refuse("la disposición de la hoja no es válida");
    code.layout = *layout;
    code.serial = plainNumber(fields[3], 5);
    if (code.serial < 1)
        return refuse("el número de hoja no es válido");
    if (fields.size() > 4) {
        code.studentId = QString::fromLatin1(fields[4]);
        if (!validStudentId(code.studentId))
            return refuse("el identificador del alumno no es válido");
    }
    if (fields.size() > 5) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        code.studentName = utf8.decode(fields[5]);
        if (utf8.hasError() || !validName(code.studentName))
            return refuse("el nombre del alumno no es válido");
    }
    return code;
}

CodeMatrix sheetCodeMatrix(QByteArrayView payload)
{
    if (payload.isEmpty() || payload.size() > kMaxPayload)
        return {};
    CodeMatrix m = encodeAt(payload, kEccQ);
    return m.size > 0 ? m : encodeAt(payload, kEccM);
}
