#include "notas/paperreview.h"

#include <algorithm>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "grading/scoring.h"
#include "paper/scanfolder.h"
#include "platform/atomicfile.h"
#include "platform/csvfield.h"
#include "platform/userfolders.h"
#include "settings/settingsfile.h"
#include "testfile/testfile.h"

namespace {

// The rows of a CSV file this program wrote; what follows a damaged row is
// left out.
std::vector<QStringList> readCsv(const QString& path)
{
    std::vector<QStringList> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    const QString text = QString::fromUtf8(file.readAll());
    CsvReader reader(text, u',');
    QString error;
    while (!reader.atEnd()) {
        const std::optional<CsvRecord> record = reader.next(error);
        if (!record)
            break;
        rows.push_back(record->fields);
    }
    return rows;
}

int answerOfLetter(const QString& letter)
{
    if (letter == u"V" || letter == u"T")
        return 1;
    if (letter == u"F")
        return 2;
    const qsizetype k = QStringLiteral("ABCDE").indexOf(letter);
    return letter.size() == 1 && k >= 0 ? int(k) + 1 : 0;
}

// The sheet's name as the picture of its row spells it:
// "revision/<stem>-pregunta-<q>.png".
QString stemOfImage(const QString& image, int question)
{
    const QString prefix = QString::fromLatin1(kReviewImageFolder) + QLatin1Char('/');
    const QString suffix = QStringLiteral("-pregunta-%1.png").arg(question);
    if (!image.startsWith(prefix) || !image.endsWith(suffix))
        return {};
    return image.mid(prefix.size(), image.size() - prefix.size() - suffix.size());
}

struct Recorded {
    QString stem;
    int question = 0;
    int answer = 0;
    int marked = 0;
};

std::vector<Recorded> recordedDecisions(const QString& folder)
{
    std::vector<Recorded> out;
    const std::vector<QStringList> rows = readCsv(QDir(folder).filePath(QString::fromLatin1(kDecisionsFileName)));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const QStringList& r = rows[i];
        if (r.size() < 4)
            continue;
        Recorded d { r[0], r[1].toInt(), answerOfLetter(r[2]), r[3].isEmpty() ? 0 : answerOfLetter(r[3]) };
        if (d.question >= 1 && d.question <= kQuestions && d.answer > 0)
            out.push_back(d);
    }
    return out;
}

bool sameCell(const Recorded& d, const QString& stem, int question, int answer)
{
    return d.stem == stem && d.question == question && d.answer == answer;
}

// Sets the doubtful cell, and the letter marked instead of it, in the test
// file's own records, so the rest of the file stays as the reader wrote it.
// `testType` hears the file's test type.
bool patchTestFile(const QString& path, int question, int answer, int marked, int& testType, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 ya no existe o no se puede leer").arg(path);
        return false;
    }
    QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty() || bytes.size() % kTestRecordSize != 0) {
        error = QStringLiteral("%1 no es un test").arg(path);
        return false;
    }
    testType = decodeTestRecord(bytes.constData()).testType;
    ColorRef ink = ColorRef(defaultSettings().fillColor);
    for (qsizetype at = 0; at < bytes.size(); at += kTestRecordSize) {
        const TestRecord r = decodeTestRecord(bytes.constData() + at);
        if (r.cell.marked && r.cell.markColor != 0) {
            ink = r.cell.markColor;
            break;
        }
    }
    bool found = false;
    for (qsizetype at = 0; at < bytes.size(); at += kTestRecordSize) {
        TestRecord r = decodeTestRecord(bytes.constData() + at);
        if (r.question != question)
            continue;
        const bool mark = r.answer == marked;
        if (r.answer != answer && !mark)
            continue;
        found = found || r.answer == answer;
        r.cell.marked = mark ? 1 : 0;
        r.cell.markColor = mark ? ink : 0;
        encodeTestRecord(r, bytes.data() + at);
    }
    if (!found) {
        error = QStringLiteral("%1 no tiene la pregunta %2").arg(path).arg(question);
        return false;
    }
    if (!writeFileAtomically(path, bytes)) {
        error = QStringLiteral("no se puede escribir %1").arg(path);
        return false;
    }
    return true;
}

} // namespace

QString paperFolderBesideKey(const QString& keyPath)
{
    const QFileInfo key(keyPath);
    return key.dir().filePath(key.completeBaseName() + QStringLiteral("-papel"));
}

QString paperFolderFor(const QString& keyPath)
{
    const QString beside = paperFolderBesideKey(keyPath);
    const QFileInfo folder(beside);
    // isWritable asks the system, so a read-only mount says no even to root.
    if (folder.exists() ? folder.isDir() && folder.isWritable() : QFileInfo(folder.absolutePath()).isWritable())
        return beside;
    const QFileInfo key(keyPath);
    const QByteArray id
        = QCryptographicHash::hash(QFile::encodeName(key.absoluteFilePath()), QCryptographicHash::Sha1).toHex().left(8);
    return QDir(xdgDataHome())
        .filePath(QStringLiteral("zelvora/papel/%1-%2").arg(key.completeBaseName(), QString::fromLatin1(id)));
}

std::vector<ReviewCell> pendingReview(const QString& folder)
{
    const QDir dir(folder);
    const std::vector<Recorded> decided = recordedDecisions(folder);
    std::vector<ReviewCell> cells;
    const std::vector<QStringList> rows = readCsv(dir.filePath(QString::fromLatin1(kReviewFileName)));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const QStringList& r = rows[i];
        // Rows of pages not read have no question.
        if (r.size() < 8 || r[2].isEmpty())
            continue;
        ReviewCell c;
        c.page = r[0];
        c.student = r[1];
        c.question = r[2].toInt();
        c.letter = r[3];
        c.answer = answerOfLetter(c.letter);
        c.fill = r[4].toInt();
        c.stem = stemOfImage(r[7], c.question);
        if (c.stem.isEmpty() || c.answer == 0 || c.question < 1 || c.question > kQuestions)
            continue;
        if (std::any_of(decided.begin(), decided.end(),
                [&](const Recorded& d) { return sameCell(d, c.stem, c.question, c.answer); }))
            continue;
        c.testFile = dir.filePath(c.stem + QStringLiteral(".ztest"));
        if (const QString image = dir.filePath(r[7]); QFileInfo::exists(image))
            c.rowImage = image;
        cells.push_back(std::move(c));
    }
    return cells;
}

QHash<QString, int> pendingBySheet(const std::vector<ReviewCell>& cells)
{
    QHash<QString, int> count;
    for (const ReviewCell& c : cells)
        ++count[c.testFile];
    return count;
}

bool decideCell(const QString& folder, const ReviewCell& cell, CellDecision decision, QString& error)
{
    int testType = 0;
    if (!patchTestFile(cell.testFile, cell.question, cell.answer, decision.marked, testType, error))
        return false;
    const QString path = QDir(folder).filePath(QString::fromLatin1(kDecisionsFileName));
    QByteArray bytes;
    if (QFile file(path); file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (bytes.isEmpty())
        bytes = "Hoja,Pregunta,Letra,Marcada\n";
    const QStringList fields { cell.stem, QString::number(cell.question), cell.letter,
        answerLetters(decision.marked >= 1 && decision.marked <= 5 ? AnswerMask(1u << (decision.marked - 1)) : 0,
            testType) };
    appendCsvRecord(bytes, fields, "\n");
    if (!writeFileAtomically(path, bytes)) {
        error = QStringLiteral("no se puede escribir %1").arg(path);
        return false;
    }
    return true;
}

void replayDecisions(const QString& folder)
{
    const QDir dir(folder);
    for (const Recorded& d : recordedDecisions(folder)) {
        int testType = 0;
        QString ignored;
        patchTestFile(
            dir.filePath(d.stem + QStringLiteral(".ztest")), d.question, d.answer, d.marked, testType, ignored);
    }
}
