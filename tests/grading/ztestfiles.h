#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One mark of a hand-made test file: question, answer, `marked` value and
// the colour the file stores for it.
struct FileMark {
    int q = 0;
    int k = 0;
    int marked = 1;
    quint32 color = 0;
};

// A whole sheet as the program saves it: every cell of `columns` answer
// columns, in the writer's order, with the given marks.
QByteArray ztestFile(int testType, const QList<FileMark>& marks, int columns = 5);
// Marks from one letter set per question: "A", "AC", "" (blank)...
QList<FileMark> marksFromLetters(const QStringList& answers, const QString& letters = QStringLiteral("ABCDE"));
bool writeBytes(const QString& path, const QByteArray& bytes);
