// Whatever bytes arrive as a scanned page, the reader either reads a sheet
// from them or refuses the page with a reason; a sheet read always names its
// student and holds only answers of its own test type.
#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "paper/scaninput.h"
#include "paper/scanreading.h"

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Large images are refused by the product only past its pixel limit; here
// they would only slow every run down without reaching other code.
constexpr qint64 kFuzzPixels = 4'000'000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QSize s : encodedImageSizes(bytes))
        if (qint64(s.width()) * s.height() > kFuzzPixels)
            return 0;
    const ScannedPage page = readScanImage(bytes);
    if (!page.problem.isEmpty())
        return 0;
    check(page.code.has_value() && !page.student.isEmpty());
    const int answers = paperAnswers(page.code->layout.testType);
    for (int q = 0; q < 100; ++q) {
        check((page.marked[std::size_t(q)] >> answers) == 0);
        check(q < page.code->layout.questions || page.marked[std::size_t(q)] == 0);
    }
    for (const DoubtfulCell& d : page.doubts)
        check(d.question >= 1 && d.question <= page.code->layout.questions && d.answer >= 1 && d.answer <= answers
            && d.fill >= 0 && d.fill <= 1);
    return 0;
}
