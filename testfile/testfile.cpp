#include "testfile/testfile.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include "platform/atomicfile.h"

namespace {

template <typename T> void put(char* out, int offset, T value)
{
    qToLittleEndian(value, out + offset);
}

template <typename T> T get(const char* in, int offset)
{
    return qFromLittleEndian<T>(in + offset);
}

// What a reader takes from a file before anything of the model is touched.
struct StagedFile {
    AnswerTable table;
    TestRecord first;
};

// Reads every record of the file into `staged`. The file is refused when it
// is not a regular file (a pipe would block, a folder has no records), when
// its length is 0 or not a whole number of records, and when any read comes
// back short, so a refused file leaves no half-filled table behind.
bool stageFile(const QString& path, StagedFile& staged)
{
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    // Unbuffered: a whole sheet arrives in one read call.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const qint64 length = file.size();
    if (length <= 0 || length % kTestRecordSize != 0)
        return false;

    staged.table.recreate(kMaxAnswers);
    // Longer files than the program writes are legal; they are taken a sheet
    // at a time so memory stays bounded whatever the file's length.
    std::array<char, kMaxWrittenRecords * kTestRecordSize> buffer;
    for (qint64 done = 0; done < length;) {
        const qint64 want = std::min<qint64>(qint64(buffer.size()), length - done);
        if (file.read(buffer.data(), want) != want)
            return false;
        for (qint64 offset = 0; offset < want; offset += kTestRecordSize) {
            const TestRecord record = decodeTestRecord(buffer.data() + offset);
            if (done == 0 && offset == 0)
                staged.first = record;
            // Out-of-range places would write outside the table: skipped.
            if (staged.table.contains(record.answer, record.question))
                staged.table.at(record.answer, record.question) = record.cell;
        }
        done += want;
    }
    return true;
}

} // namespace

QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

void encodeTestRecord(const TestRecord& record, char* out)
{
    put<std::int16_t>(out, 0, record.cell.left);
    put<std::int16_t>(out, 2, record.cell.right);
    put<std::int16_t>(out, 4, record.cell.top);
    put<std::int16_t>(out, 6, record.cell.bottom);
    put<std::int32_t>(out, 8, record.cell.marked);
    put<std::uint32_t>(out, 12, record.cell.markColor);
    put<std::int32_t>(out, 16, record.testType);
    put<std::int32_t>(out, 20, record.cellShape);
    put<std::int32_t>(out, 24, record.letterCase);
    put<std::int16_t>(out, 28, record.answer);
    put<std::int16_t>(out, 30, record.question);
}

TestRecord decodeTestRecord(const char* in)
{
    TestRecord record;
    record.cell.left = get<std::int16_t>(in, 0);
    record.cell.right = get<std::int16_t>(in, 2);
    record.cell.top = get<std::int16_t>(in, 4);
    record.cell.bottom = get<std::int16_t>(in, 6);
    record.cell.marked = get<std::int32_t>(in, 8);
    record.cell.markColor = get<std::uint32_t>(in, 12);
    record.testType = get<std::int32_t>(in, 16);
    record.cellShape = get<std::int32_t>(in, 20);
    record.letterCase = get<std::int32_t>(in, 24);
    record.answer = get<std::int16_t>(in, 28);
    record.question = get<std::int16_t>(in, 30);
    return record;
}

int encodeTestFile(const Model& m, char* out)
{
    TestRecord record;
    record.testType = m.settings.testType;
    record.cellShape = m.settings.cellShape;
    record.letterCase = m.settings.letterCase;
    const int columns = m.answerCells.columns();
    int size = 0;
    for (int q = 1; q <= kQuestions; ++q) {
        for (int k = 1; k <= columns; ++k) {
            record.cell = m.answerCells.at(k, q);
            record.answer = std::int16_t(k);
            record.question = std::int16_t(q);
            encodeTestRecord(record, out + size);
            size += kTestRecordSize;
        }
    }
    return size;
}

bool writeTestFile(const Model& m)
{
    const QString path = trimSpaces(m.testFileName);
    std::array<char, kMaxWrittenRecords * kTestRecordSize> buffer;
    const int size = encodeTestFile(m, buffer.data());

    // A read-only test file is still replaced, as users expect of "Grabar
    // test"; the new file inherits the old one's permissions, so it is made
    // writable first and given its old permissions back if the save fails.
    const QFileInfo info(path);
    const QFileDevice::Permissions oldPermissions
        = info.isFile() ? QFile::permissions(path) : QFileDevice::Permissions {};
    const bool madeWritable = info.isFile() && !(oldPermissions & QFileDevice::WriteOwner)
        && QFile::setPermissions(path, oldPermissions | QFileDevice::WriteOwner);

    const bool ok = writeFileAtomically(path, QByteArrayView(buffer.data(), size));
    if (!ok && madeWritable)
        QFile::setPermissions(path, oldPermissions);
    return ok;
}

ReadResult readTestFile(Model& m)
{
    StagedFile staged;
    if (!stageFile(trimSpaces(m.testFileName), staged))
        return ReadResult::Refused;
    m.answerCells = staged.table;
    m.settings.testType = staged.first.testType;
    m.settings.letterCase = staged.first.letterCase;
    m.settings.cellShape = staged.first.cellShape;
    return ReadResult::Accepted;
}

ReadResult readKeyFile(Model& m)
{
    StagedFile staged;
    if (!stageFile(trimSpaces(m.testFileName), staged))
        return ReadResult::Refused;
    if (staged.first.testType != m.settings.testType)
        return ReadResult::OtherTestType;
    m.keyCells = staged.table;
    return ReadResult::Accepted;
}

bool fileExists(const QString& path)
{
    const QString trimmed = trimSpaces(path);
    return !trimmed.isEmpty() && QFileInfo::exists(trimmed);
}

QString fileNameOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}
