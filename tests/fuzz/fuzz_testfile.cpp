// Any file handed to the two readers either is refused and leaves the model
// exactly as it was, or is accepted and fills the table with exactly the
// in-range records it holds (the last record naming a cell wins), nothing
// else. The expected table is worked out here from the bytes themselves.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <QFile>
#include <QString>
#include <QtEndian>

#include "sheet/model.h"
#include "testfile/testfile.h"

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool sameCell(const AnswerCell& a, const AnswerCell& b)
{
    return std::memcmp(&a, &b, sizeof(AnswerCell)) == 0;
}

bool sameTable(const AnswerTable& a, const AnswerTable& b)
{
    if (a.columns() != b.columns())
        return false;
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= a.columns(); ++k)
            if (!sameCell(a.at(k, q), b.at(k, q)))
                return false;
    return true;
}

// A model whose tables and settings are recognisable, so any change shows.
void prime(Model& m)
{
    m.answerCells.recreate(2);
    m.keyCells.recreate(2);
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= 2; ++k) {
            m.answerCells.at(k, q) = AnswerCell{1, 2, 3, 4, 1, 0x123456};
            m.keyCells.at(k, q) = AnswerCell{5, 6, 7, 8, 1, 0x654321};
        }
    m.settings.testType = 1;
    m.settings.cellShape = 9;
    m.settings.letterCase = 9;
}

AnswerTable expectedTable(const std::uint8_t* data, std::size_t size)
{
    AnswerTable table;
    table.recreate(kMaxAnswers);
    for (std::size_t at = 0; at + 32 <= size; at += 32) {
        const std::uint8_t* r = data + at;
        const int k = qFromLittleEndian<std::int16_t>(r + 28);
        const int q = qFromLittleEndian<std::int16_t>(r + 30);
        if (k < 1 || k > kMaxAnswers || q < 1 || q > kQuestions)
            continue;
        AnswerCell& cell = table.at(k, q);
        cell.left = qFromLittleEndian<std::int16_t>(r + 0);
        cell.right = qFromLittleEndian<std::int16_t>(r + 2);
        cell.top = qFromLittleEndian<std::int16_t>(r + 4);
        cell.bottom = qFromLittleEndian<std::int16_t>(r + 6);
        cell.marked = qFromLittleEndian<std::int32_t>(r + 8);
        cell.markColor = qFromLittleEndian<std::uint32_t>(r + 12);
    }
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString path = QStringLiteral("/dev/shm/zelvora-fuzz-%1.ztest").arg(qint64(getpid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const bool acceptable = size > 0 && size % 32 == 0;
    const std::int32_t fileType = acceptable ? qFromLittleEndian<std::int32_t>(data + 16) : 0;

    // Models are costly to make (the sheet's text is prepared in them), so
    // two live for the whole run and are primed afresh for every input.
    static Model m;
    static Model before;
    prime(m);
    prime(before);
    m.testFileName = path;

    const ReadResult key = readKeyFile(m);
    check(sameTable(m.answerCells, before.answerCells));
    check(m.settings.testType == 1 && m.settings.cellShape == 9 && m.settings.letterCase == 9);
    if (!acceptable)
        check(key == ReadResult::Refused);
    else if (fileType != 1)
        check(key == ReadResult::OtherTestType);
    else
        check(key == ReadResult::Accepted);
    check(sameTable(m.keyCells, key == ReadResult::Accepted ? expectedTable(data, size) : before.keyCells));

    const ReadResult test = readTestFile(m);
    check(test == (acceptable ? ReadResult::Accepted : ReadResult::Refused));
    if (test == ReadResult::Accepted) {
        check(sameTable(m.answerCells, expectedTable(data, size)));
        check(m.settings.testType == fileType);
        check(m.settings.cellShape == qFromLittleEndian<std::int32_t>(data + 20));
        check(m.settings.letterCase == qFromLittleEndian<std::int32_t>(data + 24));
    } else {
        check(sameTable(m.answerCells, before.answerCells));
        check(m.settings.testType == 1 && m.settings.cellShape == 9 && m.settings.letterCase == 9);
    }
    return 0;
}
