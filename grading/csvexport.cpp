#include "grading/csvexport.h"

#include <algorithm>
#include <array>

#include "grading/classgrading.h"
#include "platform/atomicfile.h"
#include "platform/csvfield.h"

QString gradeText(double grade)
{
    return QString::number(grade, 'f', 2);
}

QByteArray classCsv(const ClassGrading& grading)
{
    QByteArray out;
    out += "Fichero,Aciertos,Fallos,En blanco,Nota";
    for (const int q : grading.key.questions)
        out += ",P" + QByteArray::number(q);
    // The column appears only where a sheet read from paper needs a look,
    // so a class of screen sheets keeps the table it always had.
    const bool review = std::any_of(
        grading.students.begin(), grading.students.end(), [](const StudentResult& s) { return s.doubtfulCells > 0; });
    if (review)
        out += ",Revisión";
    out += "\r\n";
    // A class repeats the same few answers: their letters are made once.
    std::array<QByteArray, 256> letters;
    for (std::size_t m = 0; m < letters.size(); ++m)
        letters[m] = answerLetters(AnswerMask(m), grading.key.testType).toLatin1();
    out.reserve(out.size() + grading.students.size() * (32 + 2 * grading.key.questions.size()));
    for (const StudentResult& s : grading.students) {
        appendCsvField(out, s.name);
        out += ',' + QByteArray::number(s.hits) + ',' + QByteArray::number(s.misses) + ','
            + QByteArray::number(s.blanks) + ',' + gradeText(s.grade).toLatin1();
        for (const int q : grading.key.questions) {
            out += ',';
            out += letters[s.answers[std::size_t(q - 1)]];
        }
        if (review && s.doubtfulCells > 0)
            out += ',' + paperReviewText().toUtf8();
        else if (review)
            out += ',';
        out += "\r\n";
    }
    return out;
}

bool writeClassCsv(const QString& path, const ClassGrading& grading)
{
    return writeFileAtomically(path, classCsv(grading));
}
