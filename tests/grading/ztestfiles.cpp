#include "tests/grading/ztestfiles.h"

#include <QFile>
#include <QtEndian>

QByteArray ztestFile(int testType, const QList<FileMark>& marks, int columns)
{
    QByteArray bytes;
    const auto put = [&bytes](quint32 value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.append(char((value >> (8 * i)) & 0xFF));
    };
    for (int q = 1; q <= 100; ++q) {
        for (int k = 1; k <= columns; ++k) {
            FileMark cell { q, k, 0, 0 };
            for (const FileMark& m : marks) {
                if (m.q == q && m.k == k)
                    cell = m;
            }
            for (int i = 0; i < 4; ++i)
                put(0, 2);
            put(quint32(cell.marked), 4);
            put(cell.color, 4);
            put(quint32(testType), 4);
            put(0, 4);
            put(1, 4);
            put(quint32(k), 2);
            put(quint32(q), 2);
        }
    }
    return bytes;
}

QList<FileMark> marksFromLetters(const QStringList& answers, const QString& letters)
{
    QList<FileMark> marks;
    for (int q = 1; q <= answers.size(); ++q) {
        for (const QChar c : answers[q - 1])
            marks.append({ q, int(letters.indexOf(c)) + 1, 1, 0 });
    }
    return marks;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
