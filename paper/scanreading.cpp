#include "paper/scanreading.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <poppler/cpp/poppler-global.h>

#include "paper/imagecodec.h"
#include "paper/pagereader.h"
#include "paper/scaninput.h"

namespace {

struct PageTask {
    int file = 0;
    int page = 0;
    std::size_t result = 0;
};

QString locateProblem(LocateProblem p, const QString& codeReason)
{
    switch (p) {
    case LocateProblem::NoMarks:
        return QStringLiteral("no se encuentran las cuatro marcas de las esquinas");
    case LocateProblem::CodeUnreadable:
        return QStringLiteral("el código de la hoja no se puede leer");
    case LocateProblem::ForeignCode:
        return QStringLiteral("el código no es el de una hoja de respuestas de Zelvora (%1)").arg(codeReason);
    case LocateProblem::None:
        break;
    }
    return {};
}

} // namespace

void readScannedPage(const cv::Mat& grey, PageBuffers& buffers, ScannedPage& out)
{
    LocatedPage located;
    const LocateProblem problem = locatePage(grey, buffers, located);
    if (problem != LocateProblem::None) {
        out.problem = locateProblem(problem, located.codeReason);
        return;
    }
    const SheetCode& code = *located.sheet;
    out.code = code;
    const int answers = paperAnswers(code.layout.testType);
    const bool anonymous = code.studentId.isEmpty();
    PageMarks marks;
    measurePage(located, code.layout.questions, answers, anonymous, buffers, marks);
    if (anonymous) {
        out.student = QString::fromStdString(studentNumber(marks));
        if (out.student.isEmpty()) {
            out.problem = QStringLiteral("el número de alumno no se puede leer");
            return;
        }
    } else {
        out.student = code.studentId;
    }
    for (int q = 1; q <= code.layout.questions; ++q) {
        bool doubtfulRow = false;
        for (int k = 1; k <= answers; ++k) {
            const CellReading& c = marks.cells[std::size_t(q - 1)][std::size_t(k - 1)];
            if (c.state == CellState::Marked)
                out.marked[std::size_t(q - 1)] |= std::uint8_t(1u << (k - 1));
            else if (c.state == CellState::Doubtful) {
                out.doubts.push_back({ q, k, c.fill });
                doubtfulRow = true;
            }
        }
        if (doubtfulRow) {
            const QByteArray png = encodeGreyPng(questionRowImage(located, q, answers));
            if (!png.isEmpty())
                out.rowImages.emplace_back(q, png);
        }
    }
}

namespace {

// The exam most pages belong to is the run's, unless a key says which it
// is; a page of any other is refused, like a test file of another type.
void settleRun(std::vector<ScannedPage>& pages, const std::vector<unsigned>* keyMarks)
{
    std::map<QString, int> count;
    QString first;
    for (const ScannedPage& p : pages)
        if (p.problem.isEmpty()) {
            if (first.isEmpty())
                first = p.code->examId;
            ++count[p.code->examId];
        }
    QString exam = first;
    for (const auto& [id, n] : count)
        if (n > count[exam])
            exam = id;
    QSet<QString> students;
    for (ScannedPage& p : pages) {
        if (!p.problem.isEmpty())
            continue;
        if (keyMarks && !examFitsKey(*p.code, *keyMarks)) {
            p.problem = QStringLiteral("es de otro examen (%1): no se imprimió para esta clave").arg(p.code->examId);
            continue;
        }
        if (!keyMarks && p.code->examId != exam) {
            p.problem = QStringLiteral("es de otro examen (%1) que las demás hojas (%2)").arg(p.code->examId, exam);
            continue;
        }
        if (students.contains(p.student)) {
            p.repeated = true;
            p.problem = QStringLiteral("otra hoja del mismo alumno (%1) ya se ha leído").arg(p.student);
            continue;
        }
        students.insert(p.student);
    }
}

void quietPoppler()
{
    // Poppler reports damaged files on stderr by default; the reason the
    // teacher sees comes from the reader instead.
    static const bool quiet = [] {
        poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
        return true;
    }();
    (void)quiet;
}

} // namespace

QString pageLabel(const ScannedPage& page)
{
    const QString name = QFileInfo(page.source).fileName();
    return page.pagesInSource > 1 || name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
        ? QStringLiteral("%1, página %2").arg(name).arg(page.page)
        : name;
}

QStringList scanFiles(const QStringList& inputs, std::vector<ScannedPage>& missing)
{
    QStringList files;
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        if (info.isDir()) {
            const QDir folder(input);
            const QStringList names = folder.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString& name : names)
                if (isScanFile(name))
                    files << folder.filePath(name);
        } else if (info.exists()) {
            files << input;
        } else {
            ScannedPage p;
            p.source = input;
            p.problem = QStringLiteral("no existe");
            missing.push_back(p);
        }
    }
    return files;
}

std::vector<ScannedPage> readScans(const QStringList& files, int threads, const std::vector<unsigned>* keyMarks,
    const ScanReadWatch& watch, ScanReadCache* cache)
{
    quietPoppler();
    std::vector<ScannedPage> pages;
    std::vector<PageTask> tasks;
    // Where each file's pages lie in `pages`, with the file as found before
    // reading it: a file changed while being read is read again next time.
    struct Span {
        std::size_t begin = 0;
        std::size_t end = 0;
        std::optional<FileStamp> stamp;
    };
    std::vector<Span> spans(std::size_t(files.size()));
    for (int f = 0; f < files.size(); ++f) {
        if (watch.cancelled())
            return {};
        Span& span = spans[std::size_t(f)];
        span.begin = pages.size();
        span.stamp = fileStamp(files[f]);
        if (cache) {
            const auto known = cache->files.constFind(files[f]);
            if (known != cache->files.cend() && span.stamp && known->stamp == span.stamp) {
                pages.insert(pages.end(), known->pages.begin(), known->pages.end());
                span.end = pages.size();
                continue;
            }
        }
        ScanFile file;
        QString reason;
        if (!file.open(files[f], reason)) {
            ScannedPage p;
            p.source = files[f];
            p.problem = reason;
            pages.push_back(p);
            span.end = pages.size();
            continue;
        }
        const int n = file.pageCount();
        for (int i = 0; i < n; ++i) {
            ScannedPage p;
            p.source = files[f];
            p.page = i + 1;
            p.pagesInSource = n;
            tasks.push_back({ f, i, pages.size() });
            pages.push_back(p);
        }
        span.end = pages.size();
    }

    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min<int>(threads, int(std::max<std::size_t>(tasks.size(), 1)));
    std::atomic<std::size_t> next { 0 };
    std::atomic<int> begun { 0 };
    const int total = int(tasks.size());
    // Each thread keeps its own open file (Poppler documents are not shared
    // between threads) and its own buffers; a page is decoded, read and
    // dropped before the next, so memory stays flat however long the PDF.
    const auto work = [&](bool reports) {
        ScanFile file;
        int open = -1;
        PageBuffers buffers;
        cv::Mat grey;
        for (std::size_t t = next++; t < tasks.size() && !watch.cancelled(); t = next++) {
            // Pages are counted as they are begun; the last count, all of
            // them, comes once every thread is done.
            const int before = begun.fetch_add(1);
            if (reports && watch.progress)
                watch.progress(before, total);
            const PageTask& task = tasks[t];
            ScannedPage& out = pages[task.result];
            QString reason;
            if (open != task.file) {
                open = file.open(files[task.file], reason) ? task.file : -1;
                if (open < 0) {
                    out.problem = reason;
                    continue;
                }
            }
            if (!file.loadPage(task.page, grey, reason)) {
                out.problem = reason;
                continue;
            }
            readScannedPage(grey, buffers, out);
        }
    };
    std::vector<std::thread> pool;
    for (int i = 1; i < threads; ++i)
        pool.emplace_back(work, false);
    work(true);
    for (std::thread& t : pool)
        t.join();
    if (watch.cancelled())
        return {};
    // Nothing is said when every page came from the cache: no page was read.
    if (watch.progress && total > 0)
        watch.progress(total, total);
    if (cache) {
        QHash<QString, ScanReadCache::File> now;
        for (int f = 0; f < files.size(); ++f) {
            const Span& span = spans[std::size_t(f)];
            now.insert(files[f],
                { span.stamp,
                    std::vector<ScannedPage>(pages.begin() + std::ptrdiff_t(span.begin),
                        pages.begin() + std::ptrdiff_t(span.end)) });
        }
        cache->files = std::move(now);
    }
    settleRun(pages, keyMarks);
    return pages;
}

ScannedPage readScanImage(const QByteArray& bytes)
{
    ScannedPage page;
    const std::vector<QSize> sizes = encodedImageSizes(bytes);
    if (sizes.empty() || qint64(sizes.front().width()) * sizes.front().height() > kMaxScanPixels) {
        page.problem = QStringLiteral("no es una imagen que se pueda leer");
        return page;
    }
    cv::Mat grey;
    if (!decodeGreyImage(bytes, 0, grey)) {
        page.problem = QStringLiteral("la imagen está dañada o incompleta");
        return page;
    }
    PageBuffers buffers;
    readScannedPage(grey, buffers, page);
    return page;
}
