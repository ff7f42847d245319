#include "bench/classfolder.h"

#include <array>
#include <random>

#include <QDir>
#include <QFile>
#include <QTextStream>

#include "grading/notasprogram.h"
#include "sheet/model.h"
#include "testfile/testfile.h"

namespace {

bool writeSheet(const Model& m, const QString& path)
{
    std::array<char, kMaxWrittenRecords * kTestRecordSize> bytes;
    const int size = encodeTestFile(m, bytes.data());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes.data(), size) == size;
}

} // namespace

bool writeClassFolder(const QString& folder, int students, unsigned seed)
{
    if (!QDir().mkpath(folder + QStringLiteral("/clase")))
        return false;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> answer(1, kMaxAnswers);
    std::uniform_int_distribution<int> chance(0, 99);

    Model key;
    key.answerCells.recreate(kMaxAnswers);
    std::array<int, kQuestions> right {};
    for (int q = 1; q <= kQuestions; ++q) {
        right[std::size_t(q - 1)] = answer(random);
        key.answerCells.at(right[std::size_t(q - 1)], q).marked = 1;
    }
    if (!writeSheet(key, folder + QStringLiteral("/clave.ztest")))
        return false;

    Model sheet;
    for (int s = 0; s < students; ++s) {
        // Some students know more than others, so the questions discriminate.
        const int knows = 40 + chance(random) / 2;
        sheet.answerCells.recreate(kMaxAnswers);
        for (int q = 1; q <= kQuestions; ++q) {
            const int roll = chance(random);
            if (roll < knows)
                sheet.answerCells.at(right[std::size_t(q - 1)], q).marked = 1;
            else if (roll < 92)
                sheet.answerCells.at(answer(random), q).marked = 1;
        }
        if (!writeSheet(sheet, folder + QStringLiteral("/clase/alumno%1.ztest").arg(s + 1, 5, 10, QLatin1Char('0'))))
            return false;
    }
    return true;
}

bool gradesWholeClass(const NotasOptions& options)
{
    QString table;
    QString errors;
    QTextStream out(&table);
    QTextStream err(&errors);
    return runNotas(options, out, err, false) == kAllGraded;
}
