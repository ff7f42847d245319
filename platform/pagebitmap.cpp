#include "platform/pagebitmap.h"

#include <cstdlib>

#include <sys/mman.h>

namespace {

constexpr std::size_t kLargePage = std::size_t(2) << 20;

void freePixels(void* pixels)
{
    std::free(pixels);
}

} // namespace

QImage makePageBitmap(int width, int height)
{
    const qsizetype bytesPerLine = qsizetype(width) * 4;
    const std::size_t bytes = std::size_t(bytesPerLine) * std::size_t(height);
    const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    void* pixels = std::aligned_alloc(kLargePage, rounded);
    if (!pixels)
        return QImage(width, height, QImage::Format_RGB32);
    // Only advice: where large pages are off or scarce, small ones serve.
    madvise(pixels, rounded, MADV_HUGEPAGE);
    return QImage(static_cast<uchar*>(pixels), width, height, bytesPerLine, QImage::Format_RGB32, freePixels, pixels);
}
