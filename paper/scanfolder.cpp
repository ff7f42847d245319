#include "paper/scanfolder.h"

#include <QDir>
#include <QSet>

#include "paper/papersheet.h"
#include "platform/atomicfile.h"
#include "platform/csvfield.h"
#include "settings/settingsfile.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "testfile/testfile.h"

namespace {

// File names of this run's sheets: a later page of a student takes the next
// free "ID (n)", so no page replaces another.
QString sheetStem(const QString& student, QSet<QString>& taken)
{
    QString stem = student;
    for (int n = 2; taken.contains(stem); ++n)
        stem = QStringLiteral("%1 (%2)").arg(student).arg(n);
    taken.insert(stem);
    return stem;
}

QString rowImageName(const QString& stem, int question)
{
    return QStringLiteral("%1/%2-pregunta-%3.png").arg(QString::fromLatin1(kReviewImageFolder), stem).arg(question);
}

} // namespace

QByteArray scannedTestFile(const ScannedPage& page, Model& m)
{
    const SheetLayout& layout = page.code->layout;
    m.settings = defaultSettings();
    m.settings.testType = layout.testType;
    m.settings.cellShape = layout.cellShape;
    m.settings.letterCase = layout.letterCase;
    createBitmaps(m);
    // The exam edition's table has two columns once a two-answer test is
    // chosen, and saves 200 records then.
    const int answers = answerCount(m);
    m.answerCells.recreate(answers);
    buildSheet(m, 1);
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= answers; ++k)
            if (page.marked[std::size_t(q - 1)] & (1u << (k - 1))) {
                AnswerCell& cell = m.answerCells.at(k, q);
                cell.marked = 1;
                cell.markColor = ColorRef(m.settings.fillColor);
            }
    QByteArray bytes(kMaxWrittenRecords * kTestRecordSize, Qt::Uninitialized);
    bytes.truncate(encodeTestFile(m, bytes.data()));
    return bytes;
}

bool writeScanFolder(const QString& folder, const std::vector<ScannedPage>& pages, Model& scratch,
    ScanFolderResult& result, QString& error)
{
    result = {};
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("no se puede crear la carpeta %1").arg(folder);
        // Every page is still accounted for, with no file.
        for (std::size_t i = 0; i < pages.size(); ++i)
            result.testFiles << QString();
        return false;
    }
    const QDir dir(folder);
    bool ok = true;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        if (writeFileAtomically(dir.filePath(name), bytes))
            return true;
        if (ok)
            error = QStringLiteral("no se puede escribir %1").arg(dir.filePath(name));
        ok = false;
        return false;
    };

    QByteArray review;
    appendCsvRecord(review,
        { QStringLiteral("Hoja"), QStringLiteral("Alumno"), QStringLiteral("Pregunta"), QStringLiteral("Letra"),
            QStringLiteral("Relleno (%)"), QStringLiteral("Lectura"), QStringLiteral("Motivo"),
            QStringLiteral("Imagen") }, "\r\n");
    QSet<QString> taken;
    for (const ScannedPage& page : pages) {
        const bool written = page.code && !page.student.isEmpty() && (page.problem.isEmpty() || page.repeated);
        QString stem;
        if (written) {
            stem = sheetStem(page.student, taken);
            const QString name = stem + QStringLiteral(".ztest");
            if (write(name, scannedTestFile(page, scratch))) {
                result.testFiles << dir.filePath(name);
                ++result.sheetsWritten;
            } else {
                result.testFiles << QString();
            }
        } else {
            result.testFiles << QString();
        }
        if (!page.problem.isEmpty()) {
            ++result.pagesNotRead;
            const QString kept = written ? QStringLiteral("; se guarda como %1.ztest").arg(stem) : QString();
            appendCsvRecord(review, { pageLabel(page), page.student, {}, {}, {}, {}, page.problem + kept, {} }, "\r\n");
        }
        if (!written || page.doubts.empty())
            continue;
        // The pictures go into a subfolder: the folder may be read again as
        // an input, and they are not pages.
        if (!page.rowImages.empty() && !dir.mkpath(QString::fromLatin1(kReviewImageFolder))) {
            error = QStringLiteral("no se puede crear la carpeta %1")
                        .arg(dir.filePath(QString::fromLatin1(kReviewImageFolder)));
            ok = false;
        }
        for (const auto& [q, png] : page.rowImages)
            write(rowImageName(stem, q), png);
        for (const DoubtfulCell& d : page.doubts) {
            ++result.doubtfulCells;
            appendCsvRecord(review,
                { pageLabel(page), page.student, QString::number(d.question),
                    paperLetters(page.code->layout)[d.answer - 1].toUpper(), QString::number(qRound(d.fill * 100)),
                    QStringLiteral("no marcada"), QStringLiteral("casilla dudosa"), rowImageName(stem, d.question) }, "\r\n");
        }
    }
    result.listed = result.doubtfulCells + result.pagesNotRead;
    write(QString::fromLatin1(kReviewFileName), review);
    return ok;
}
