#include "tests/support/pdfpages.h"

#include <memory>

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

namespace {

std::unique_ptr<poppler::document> openPdf(const QByteArray& pdf)
{
    std::unique_ptr<poppler::document> document(
        poppler::document::load_from_raw_data(pdf.constData(), int(pdf.size())));
    if (document && document->is_locked())
        return {};
    return document;
}

// Page `index` of `pdf`, its document kept alive in `document`; null when
// either cannot be had.
std::unique_ptr<poppler::page> openPdfPage(
    const QByteArray& pdf, int index, std::unique_ptr<poppler::document>& document)
{
    document = openPdf(pdf);
    if (!document || index < 0 || index >= document->pages())
        return {};
    return std::unique_ptr<poppler::page>(document->create_page(index));
}

} // namespace

int pdfPageCount(const QByteArray& pdf)
{
    const std::unique_ptr<poppler::document> document = openPdf(pdf);
    return document ? document->pages() : -1;
}

QSizeF pdfPageSizePt(const QByteArray& pdf, int index)
{
    std::unique_ptr<poppler::document> document;
    const std::unique_ptr<poppler::page> page = openPdfPage(pdf, index, document);
    if (!page)
        return {};
    const poppler::rectf r = page->page_rect(poppler::media_box);
    return { r.width(), r.height() };
}

QImage renderPdfPage(const QByteArray& pdf, int index, int dpi)
{
    std::unique_ptr<poppler::document> document;
    const std::unique_ptr<poppler::page> page = openPdfPage(pdf, index, document);
    if (!page)
        return {};
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing);
    renderer.set_image_format(poppler::image::format_gray8);
    const poppler::image rendered = renderer.render_page(page.get(), dpi, dpi);
    if (!rendered.is_valid())
        return {};
    const QImage view(reinterpret_cast<const uchar*>(rendered.const_data()), rendered.width(), rendered.height(),
        rendered.bytes_per_row(), QImage::Format_Grayscale8);
    return view.copy();
}
