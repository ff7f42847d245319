#include "paper/scaninput.h"

#include <QFile>
#include <QFileInfo>

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include "paper/imagecodec.h"

namespace {

enum class Kind { Pdf, Image, Tiff };

Kind kindOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"pdf")
        return Kind::Pdf;
    if (suffix == u"tif" || suffix == u"tiff")
        return Kind::Tiff;
    return Kind::Image;
}

quint32 be(QByteArrayView b, qsizetype at, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

quint32 le(QByteArrayView b, qsizetype at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

std::vector<QSize> pngSize(QByteArrayView b)
{
    if (b.size() < 24 || b.sliced(12, 4) != QByteArrayView("IHDR"))
        return {};
    return { QSize(int(std::min<quint32>(be(b, 16, 4), INT_MAX)), int(std::min<quint32>(be(b, 20, 4), INT_MAX))) };
}

std::vector<QSize> jpegSize(QByteArrayView b)
{
    qsizetype at = 2;
    while (at + 4 <= b.size()) {
        if (quint8(b[at]) != 0xFF)
            return {};
        const quint8 marker = quint8(b[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        const quint32 length = be(b, at + 2, 2);
        if (length < 2)
            return {};
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > b.size())
                return {};
            return { QSize(int(be(b, at + 7, 2)), int(be(b, at + 5, 2))) };
        }
        if (marker == 0xDA || marker == 0xD9)
            return {};
        at += 2 + qsizetype(length);
    }
    return {};
}

std::vector<QSize> tiffSizes(QByteArrayView b)
{
    const bool little = b.startsWith("II");
    const auto read = [&](qsizetype at, int bytes) -> qint64 {
        if (at < 0 || at + bytes > b.size())
            return -1;
        return little ? le(b, at, bytes) : be(b, at, bytes);
    };
    if (read(2, 2) != 42)
        return {};
    std::vector<QSize> sizes;
    qint64 ifd = read(4, 4);
    // A chain of directories that loops or runs on would be read forever.
    for (int guard = 0; ifd > 0 && guard < 10000; ++guard) {
        const qint64 count = read(ifd, 2);
        if (count < 0)
            return {};
        qint64 width = -1;
        qint64 height = -1;
        for (qint64 i = 0; i < count; ++i) {
            const qsizetype entry = qsizetype(ifd + 2 + 12 * i);
            const qint64 tag = read(entry, 2);
            const qint64 type = read(entry + 2, 2);
            if (tag < 0 || type < 0)
                return {};
            const qint64 value = type == 3 ? read(entry + 8, 2) : read(entry + 8, 4);
            if (tag == 256)
                width = value;
            else if (tag == 257)
                height = value;
        }
        if (width < 0 || height < 0)
            return {};
        sizes.emplace_back(int(std::min<qint64>(width, INT_MAX)), int(std::min<qint64>(height, INT_MAX)));
        ifd = read(qsizetype(ifd + 2 + 12 * count), 4);
    }
    return sizes;
}

bool tooLarge(QSize s)
{
    return qint64(s.width()) * s.height() > kMaxScanPixels;
}

QString pixelsText(QSize s)
{
    return QStringLiteral("%1 × %2 píxeles").arg(s.width()).arg(s.height());
}

} // namespace

bool isScanFile(const QString& path)
{
    static const QStringList suffixes { QStringLiteral("pdf"), QStringLiteral("png"), QStringLiteral("jpg"),
        QStringLiteral("jpeg"), QStringLiteral("tif"), QStringLiteral("tiff") };
    return suffixes.contains(QFileInfo(path).suffix().toLower());
}

std::vector<QSize> encodedImageSizes(QByteArrayView b)
{
    if (b.startsWith("\x89PNG\r\n\x1a\n"))
        return pngSize(b);
    if (b.startsWith("\xFF\xD8"))
        return jpegSize(b);
    if (b.startsWith("II*\0") || b.startsWith("MM\0*"))
        return tiffSizes(b);
    return {};
}

struct ScanFile::Data {
    Kind kind = Kind::Image;
    QString path;
    QFile file;
    const uchar* bytes = nullptr;
    qint64 size = 0;
    std::vector<QSize> sizes;
    std::unique_ptr<poppler::document> pdf;
    poppler::page_renderer renderer;

    Data()
    {
        renderer.set_image_format(poppler::image::format_gray8);
        renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    }
};

ScanFile::ScanFile()
    : d_(std::make_unique<Data>())
{
}

ScanFile::~ScanFile() = default;

bool ScanFile::open(const QString& path, QString& reason)
{
    d_ = std::make_unique<Data>();
    d_->path = path;
    d_->kind = kindOf(path);
    if (d_->kind == Kind::Pdf) {
        // Poppler reads the file itself, a part at a time: a mapped PDF of a
        // thousand scanned pages would stay resident as it is rendered.
        const QByteArray name = QFile::encodeName(path);
        d_->pdf.reset(poppler::document::load_from_file(std::string(name.constData(), std::size_t(name.size()))));
        if (!d_->pdf) {
            const QFileInfo info(path);
            reason = !info.isReadable() ? QStringLiteral("no se puede abrir")
                : info.size() == 0      ? QStringLiteral("está vacío")
                                        : QStringLiteral("no es un PDF o está dañado");
            return false;
        }
        if (d_->pdf->is_locked()) {
            reason = QStringLiteral("el PDF está protegido con contraseña");
            return false;
        }
        if (d_->pdf->pages() < 1) {
            reason = QStringLiteral("el PDF no tiene páginas");
            return false;
        }
        return true;
    }
    d_->file.setFileName(path);
    if (!d_->file.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("no se puede abrir");
        return false;
    }
    d_->size = d_->file.size();
    if (d_->size == 0) {
        reason = QStringLiteral("está vacío");
        return false;
    }
    d_->bytes = d_->file.map(0, d_->size);
    if (!d_->bytes) {
        reason = QStringLiteral("no se puede leer");
        return false;
    }
    const QByteArrayView bytes(reinterpret_cast<const char*>(d_->bytes), qsizetype(d_->size));
    d_->sizes = encodedImageSizes(bytes);
    if (d_->sizes.empty()) {
        reason = QStringLiteral("no es una imagen PNG, JPEG o TIFF, o su cabecera está dañada");
        return false;
    }
    // The content decides, not the name: a TIFF called .png is still read
    // page by page.
    d_->kind = bytes.startsWith("II") || bytes.startsWith("MM") ? Kind::Tiff : Kind::Image;
    return true;
}

int ScanFile::pageCount() const
{
    if (d_->pdf)
        return d_->pdf->pages();
    return int(d_->sizes.size());
}

bool ScanFile::loadPage(int index, cv::Mat& grey, QString& reason)
{
    if (d_->pdf) {
        const std::unique_ptr<poppler::page> page(d_->pdf->create_page(index));
        if (!page) {
            reason = QStringLiteral("la página no se puede leer");
            return false;
        }
        const poppler::rectf box = page->page_rect();
        const QSize pixels(
            int(std::min(box.width() / 72.0 * kPdfDpi, 1e9)), int(std::min(box.height() / 72.0 * kPdfDpi, 1e9)));
        if (tooLarge(pixels) || pixels.isEmpty()) {
            reason = QStringLiteral("la página es demasiado grande (%1)").arg(pixelsText(pixels));
            return false;
        }
        const poppler::image image = d_->renderer.render_page(page.get(), kPdfDpi, kPdfDpi);
        if (!image.is_valid() || image.format() != poppler::image::format_gray8) {
            reason = QStringLiteral("la página no se puede dibujar");
            return false;
        }
        const cv::Mat view(image.height(), image.width(), CV_8UC1, const_cast<char*>(image.const_data()),
            std::size_t(image.bytes_per_row()));
        view.copyTo(grey);
        return true;
    }
    if (index < 0 || std::size_t(index) >= d_->sizes.size()) {
        reason = QStringLiteral("la página no existe");
        return false;
    }
    const QSize size = d_->sizes[std::size_t(index)];
    if (tooLarge(size)) {
        reason = QStringLiteral("la imagen es demasiado grande (%1); el límite es de %2 millones de píxeles")
                     .arg(pixelsText(size))
                     .arg(kMaxScanPixels / 1'000'000);
        return false;
    }
    const QByteArrayView bytes(reinterpret_cast<const char*>(d_->bytes), qsizetype(d_->size));
    if (!decodeGreyImage(bytes, d_->kind == Kind::Tiff ? index : 0, grey)) {
        reason = QStringLiteral("la imagen está dañada o incompleta");
        return false;
    }
    return true;
}
