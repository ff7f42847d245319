#include "grading/classgrading.h"

#include <set>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "paper/scanfolder.h"
#include "paper/scaninput.h"
#include "paper/scanreading.h"
#include "platform/filestamp.h"
#include "sheet/model.h"
#include "testfile/testfile.h"

std::optional<FileIdentity> fileIdentity(const QString& path)
{
    const std::optional<FileStamp> stamp = fileStamp(path);
    if (!stamp)
        return std::nullopt;
    return FileIdentity(stamp->device, stamp->inode);
}

QString refusalReason(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no existe");
    if (info.isDir())
        return QStringLiteral("es una carpeta");
    if (!info.isFile())
        return QStringLiteral("no es un fichero normal");
    if (info.size() == 0)
        return QStringLiteral("está vacío");
    if (info.size() % kTestRecordSize != 0)
        return QStringLiteral("no es un test: su longitud (%1 bytes) no es múltiplo de %2")
            .arg(info.size())
            .arg(kTestRecordSize);
    return QStringLiteral("no se puede leer");
}

std::optional<GradingKey> readGradingKey(Model& scratch, const QString& path, QString& reason)
{
    scratch.testFileName = path;
    if (readTestFile(scratch) != ReadResult::Accepted) {
        reason = refusalReason(path);
        return std::nullopt;
    }
    GradingKey key = gradingKey(scratch.answerCells, scratch.settings.testType);
    if (key.answers == 0) {
        reason = QStringLiteral("su tipo de test (%1) no existe").arg(scratch.settings.testType);
        return std::nullopt;
    }
    if (key.questions.empty()) {
        reason = QStringLiteral("no marca ninguna respuesta");
        return std::nullopt;
    }
    return key;
}

QStringList answerFiles(const QStringList& inputs, const QString& keyPath, std::vector<RefusedFile>& refused)
{
    QStringList files;
    std::set<FileIdentity> seen;
    if (const std::optional<FileIdentity> key = fileIdentity(keyPath))
        seen.insert(*key);
    const auto add = [&](const QString& path) {
        // A path that names nothing stays, to be refused with its reason.
        const std::optional<FileIdentity> id = fileIdentity(path);
        if (!id || seen.insert(*id).second)
            files << path;
    };
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        if (info.isDir()) {
            const QDir folder(input);
            const QStringList names = folder.entryList({ QStringLiteral("*.ztest") },
                QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString& name : names)
                add(folder.filePath(name));
        } else if (info.exists()) {
            add(input);
        } else {
            refused.push_back({ input, QStringLiteral("no existe") });
        }
    }
    return files;
}

std::optional<StudentResult> gradeAnswerFile(
    Model& scratch, const QString& path, const GradingKey& key, const ScoringRules& rules, QString& reason)
{
    scratch.testFileName = path;
    if (readTestFile(scratch) != ReadResult::Accepted) {
        reason = refusalReason(path);
        return std::nullopt;
    }
    // The same test type the key must share when a sheet is corrected.
    if (scratch.settings.testType != key.testType) {
        reason = QStringLiteral("es de otro tipo de test (%1) que la clave (%2)")
                     .arg(testTypeName(scratch.settings.testType), testTypeName(key.testType));
        return std::nullopt;
    }
    StudentResult result = scoreStudent(key, sheetAnswers(scratch.answerCells, key.answers), rules);
    result.name = fileNameOf(path);
    result.path = path;
    return result;
}

void gradeClass(
    Model& scratch, const QStringList& files, ClassGrading& grading, const std::function<void(int, int)>& progress)
{
    grading.students.reserve(std::size_t(files.size()));
    int done = 0;
    for (const QString& path : files) {
        QString reason;
        if (std::optional<StudentResult> result = gradeAnswerFile(scratch, path, grading.key, grading.rules, reason))
            grading.students.push_back(std::move(*result));
        else
            grading.refused.push_back({ path, reason });
        if (progress)
            progress(++done, int(files.size()));
    }
    nameStudents(grading.students);
}

void nameStudents(std::vector<StudentResult>& students)
{
    QSet<QString> names;
    bool repeated = false;
    for (const StudentResult& s : students) {
        const QString name = fileNameOf(s.path);
        if (names.contains(name)) {
            repeated = true;
            break;
        }
        names.insert(name);
    }
    if (!repeated) {
        for (StudentResult& s : students)
            s.name = fileNameOf(s.path);
        return;
    }
    // Spelled out from the current folder, asked for once, and cleaned, so
    // that "3A/../3B/ana.ztest" and "3B/ana.ztest" read alike.
    const QString here = QDir::currentPath();
    QStringList absolute;
    absolute.reserve(qsizetype(students.size()));
    for (const StudentResult& s : students)
        absolute << QDir::cleanPath(QDir::isAbsolutePath(s.path) ? s.path : here + QLatin1Char('/') + s.path);
    // The longest run of whole folders every path starts with.
    QString common = absolute.first().left(absolute.first().lastIndexOf(QLatin1Char('/')) + 1);
    for (const QString& path : std::as_const(absolute)) {
        while (!path.startsWith(common)) {
            common.chop(1);
            common.truncate(common.lastIndexOf(QLatin1Char('/')) + 1);
        }
    }
    for (std::size_t i = 0; i < students.size(); ++i)
        students[i].name = absolute[qsizetype(i)].mid(common.size());
}

void splitInputs(const QStringList& inputs, QStringList& testInputs, QStringList& scanInputs)
{
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        if (info.isDir()) {
            testInputs << input;
            scanInputs << input;
        } else if (isScanFile(input)) {
            scanInputs << input;
        } else {
            testInputs << input;
        }
    }
}

bool readPaperSheets(const QStringList& scanInputs, const QString& folder, const GradingKey& key, Model& scratch,
    PaperSheets& sheets, std::vector<RefusedFile>& refused, QString& error, const ScanReadWatch& watch,
    ScanReadCache* cache)
{
    std::vector<ScannedPage> missing;
    const QStringList files = scanFiles(scanInputs, missing);
    const std::vector<unsigned> keyMarks(key.marks.begin(), key.marks.end());
    const std::vector<ScannedPage> pages
        = files.isEmpty() ? std::vector<ScannedPage>() : readScans(files, 0, &keyMarks, watch, cache);
    if (watch.cancelled())
        return true;
    for (const ScannedPage& p : missing)
        refused.push_back({ p.source, p.problem });
    if (pages.empty())
        return true;
    ScanFolderResult written;
    const bool ok = writeScanFolder(folder, pages, scratch, written, error);
    sheets.listed = written.listed;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const ScannedPage& page = pages[i];
        const QString& file = written.testFiles[qsizetype(i)];
        if (!page.problem.isEmpty()) {
            refused.push_back({ pageLabel(page), page.problem });
        } else if (file.isEmpty()) {
            refused.push_back({ pageLabel(page), QStringLiteral("su test no se puede escribir") });
        } else {
            sheets.files << file;
            sheets.doubtfulCells.insert(file, int(page.doubts.size()));
            sheets.pages.insert(file, pageLabel(page));
            sheets.sources.insert(file, { page.source, page.page - 1 });
        }
    }
    return ok;
}
