#include "notas/scanner.h"

#include <cmath>
#include <cstring>

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <QBuffer>
#include <QDir>
#include <QImageWriter>

#include "platform/atomicfile.h"

namespace {

// The resolution answer sheets read best at: enough for a pencil mark,
// small enough for a class of pages.
constexpr int kDpi = 300;
// No sheet of paper comes near this at any resolution a scanner offers.
constexpr qsizetype kMaxPageBytes = qsizetype(512) * 1024 * 1024;

QString statusText(SANE_Status status)
{
    switch (status) {
    case SANE_STATUS_DEVICE_BUSY:
        return QStringLiteral("el escáner está ocupado");
    case SANE_STATUS_JAMMED:
        return QStringLiteral("el papel se ha atascado");
    case SANE_STATUS_NO_DOCS:
        return QStringLiteral("no hay papel en el escáner");
    case SANE_STATUS_COVER_OPEN:
        return QStringLiteral("la tapa del escáner está abierta");
    case SANE_STATUS_IO_ERROR:
        return QStringLiteral("se ha perdido la comunicación con el escáner");
    case SANE_STATUS_NO_MEM:
        return QStringLiteral("no hay memoria suficiente");
    case SANE_STATUS_ACCESS_DENIED:
        return QStringLiteral("no hay permiso para usar el escáner");
    default:
        return QStringLiteral("el escáner ha fallado (%1)").arg(QString::fromUtf8(sane_strstatus(status)));
    }
}

bool settable(const SANE_Option_Descriptor* d)
{
    return SANE_OPTION_IS_ACTIVE(d->cap) && SANE_OPTION_IS_SETTABLE(d->cap);
}

// Sets a string option to the first entry of its list that `wanted` accepts;
// false when none does.
template <typename Pred> bool setStringOption(SANE_Handle h, int index, const SANE_Option_Descriptor* d, Pred wanted)
{
    if (d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST)
        return false;
    for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) {
        if (wanted(QString::fromUtf8(*s))) {
            std::vector<char> value(std::size_t(std::max<SANE_Int>(d->size, SANE_Int(std::strlen(*s) + 1))), '\0');
            std::memcpy(value.data(), *s, std::strlen(*s));
            return sane_control_option(h, index, SANE_ACTION_SET_VALUE, value.data(), nullptr) == SANE_STATUS_GOOD;
        }
    }
    return false;
}

// A number option set to `target`, or to the nearest value it allows; the
// largest it allows when `target` is infinite.
void setNumberOption(SANE_Handle h, int index, const SANE_Option_Descriptor* d, double target)
{
    if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size != SANE_Int(sizeof(SANE_Word)))
        return;
    const bool fixed = d->type == SANE_TYPE_FIXED;
    const auto toDouble = [fixed](SANE_Word w) { return fixed ? SANE_UNFIX(w) : double(w); };
    const auto toWord = [fixed](double v) { return fixed ? SANE_FIX(v) : SANE_Word(std::lround(v)); };
    double value = target;
    if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
        const SANE_Range* r = d->constraint.range;
        value = std::clamp(target, toDouble(r->min), toDouble(r->max));
        if (r->quant != 0) {
            const double q = toDouble(r->quant);
            value = toDouble(r->min) + std::floor((value - toDouble(r->min)) / q) * q;
        }
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
        const SANE_Word* list = d->constraint.word_list;
        if (list[0] < 1)
            return;
        value = toDouble(list[1]);
        for (SANE_Word i = 2; i <= list[0]; ++i) {
            const double v = toDouble(list[i]);
            if (std::isinf(target) ? v > value : std::abs(v - target) < std::abs(value - target))
                value = v;
        }
    } else if (std::isinf(target)) {
        return;
    }
    SANE_Word word = toWord(value);
    sane_control_option(h, index, SANE_ACTION_SET_VALUE, &word, nullptr);
}

class SaneScanner final : public ScanDevice {
public:
    explicit SaneScanner(SANE_Handle handle)
        : handle_(handle)
    {
        configure();
    }
    ~SaneScanner() override
    {
        sane_cancel(handle_);
        sane_close(handle_);
    }

    bool hasFeeder() const override { return feeder_; }

    Start start(QString& error) override
    {
        const SANE_Status status = sane_start(handle_);
        if (status == SANE_STATUS_GOOD)
            return Start::Page;
        sane_cancel(handle_);
        if (status == SANE_STATUS_NO_DOCS && started_)
            return Start::NoMorePages;
        error = statusText(status);
        return Start::Failed;
    }

    std::optional<QImage> read(const std::atomic_bool& cancel, QString& error) override
    {
        started_ = true;
        SANE_Parameters p;
        if (const SANE_Status status = sane_get_parameters(handle_, &p); status != SANE_STATUS_GOOD) {
            sane_cancel(handle_);
            error = statusText(status);
            return std::nullopt;
        }
        const bool grey = p.format == SANE_FRAME_GRAY;
        if ((!grey && p.format != SANE_FRAME_RGB) || !p.last_frame || p.pixels_per_line <= 0 || p.bytes_per_line <= 0
            || (p.depth != 1 && p.depth != 8 && p.depth != 16) || (!grey && p.depth == 1)) {
            sane_cancel(handle_);
            error = QStringLiteral("el escáner envía las imágenes en un formato que no se puede leer");
            return std::nullopt;
        }
        page_.clear();
        if (p.lines > 0)
            page_.reserve(qsizetype(p.lines) * p.bytes_per_line);
        for (;;) {
            if (cancel.load()) {
                sane_cancel(handle_);
                return std::nullopt;
            }
            SANE_Int length = 0;
            const SANE_Status status
                = sane_read(handle_, reinterpret_cast<SANE_Byte*>(chunk_.data()), SANE_Int(chunk_.size()), &length);
            if (status == SANE_STATUS_EOF)
                break;
            if (status != SANE_STATUS_GOOD) {
                sane_cancel(handle_);
                error = statusText(status);
                return std::nullopt;
            }
            page_.append(chunk_.constData(), length);
            if (page_.size() > kMaxPageBytes) {
                sane_cancel(handle_);
                error = QStringLiteral("la página es demasiado grande");
                return std::nullopt;
            }
        }
        // A feeder's next page is asked for by sane_start; anything else
        // ends the scan.
        if (!feeder_)
            sane_cancel(handle_);
        const int lines = int(page_.size() / p.bytes_per_line);
        if (lines <= 0) {
            error = QStringLiteral("el escáner no ha enviado ninguna imagen");
            return std::nullopt;
        }
        return toImage(p, lines);
    }

private:
    void configure()
    {
        for (int i = 1;; ++i) {
            const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle_, i);
            if (!d)
                break;
            if (!d->name || !settable(d))
                continue;
            const QByteArray name(d->name);
            if (name == SANE_NAME_SCAN_SOURCE) {
                feeder_ = setStringOption(handle_, i, d, [](const QString& s) {
                    return s.contains(QLatin1String("ADF"), Qt::CaseInsensitive)
                        || s.contains(QLatin1String("feeder"), Qt::CaseInsensitive);
                });
            } else if (name == SANE_NAME_SCAN_MODE) {
                setStringOption(handle_, i, d, [](const QString& s) {
                    return s.compare(QLatin1String(SANE_VALUE_SCAN_MODE_GRAY), Qt::CaseInsensitive) == 0;
                });
            } else if (name == SANE_NAME_BIT_DEPTH) {
                setNumberOption(handle_, i, d, 8);
            } else if (name == SANE_NAME_SCAN_RESOLUTION) {
                setNumberOption(handle_, i, d, kDpi);
            } else if (name == SANE_NAME_SCAN_BR_X || name == SANE_NAME_SCAN_BR_Y) {
                setNumberOption(handle_, i, d, INFINITY);
            }
        }
    }

    QImage toImage(const SANE_Parameters& p, int lines) const
    {
        const int width = p.pixels_per_line;
        const bool grey = p.format == SANE_FRAME_GRAY;
        if (p.depth == 16 && !grey) {
            // Qt has no 48-bit format; the high byte of each sample is all a
            // mark needs.
            QImage image(width, lines, QImage::Format_RGB888);
            for (int y = 0; y < lines; ++y) {
                const auto* in = reinterpret_cast<const quint16*>(page_.constData() + qsizetype(y) * p.bytes_per_line);
                uchar* out = image.scanLine(y);
                for (int x = 0; x < width * 3; ++x)
                    out[x] = uchar(in[x] >> 8);
            }
            return image;
        }
        const QImage::Format format = !grey ? QImage::Format_RGB888
            : p.depth == 16                 ? QImage::Format_Grayscale16
            : p.depth == 8                  ? QImage::Format_Grayscale8
                                            : QImage::Format_Mono;
        QImage image(width, lines, format);
        if (format == QImage::Format_Mono) // SANE's line art marks black with 1
            image.setColorTable({ qRgb(255, 255, 255), qRgb(0, 0, 0) });
        const qsizetype rowBytes = std::min<qsizetype>(image.bytesPerLine(), p.bytes_per_line);
        for (int y = 0; y < lines; ++y)
            std::memcpy(image.scanLine(y), page_.constData() + qsizetype(y) * p.bytes_per_line, std::size_t(rowBytes));
        return image;
    }

    SANE_Handle handle_;
    bool feeder_ = false;
    bool started_ = false;
    // Reused from page to page.
    QByteArray page_;
    QByteArray chunk_ = QByteArray(64 * 1024, Qt::Uninitialized);
};

} // namespace

SaneSession::SaneSession()
{
    SANE_Int version = 0;
    ok_ = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
}

SaneSession::~SaneSession()
{
    if (ok_)
        sane_exit();
}

std::vector<ScannerInfo> findScanners(const SaneSession& session)
{
    std::vector<ScannerInfo> found;
    const SANE_Device** devices = nullptr;
    if (!session.ok() || sane_get_devices(&devices, SANE_FALSE) != SANE_STATUS_GOOD || !devices)
        return found;
    for (const SANE_Device** d = devices; *d; ++d) {
        const QString vendor = QString::fromUtf8((*d)->vendor).trimmed();
        const QString model = QString::fromUtf8((*d)->model).trimmed();
        QString description = QStringList { vendor, model }.join(QLatin1Char(' ')).trimmed();
        if (const QString kind = QString::fromUtf8((*d)->type).trimmed(); !kind.isEmpty())
            description += QStringLiteral(" (%1)").arg(kind);
        found.push_back({ QString::fromUtf8((*d)->name), description });
    }
    return found;
}

std::unique_ptr<ScanDevice> openScanner(const SaneSession& session, const QString& name, QString& error)
{
    if (!session.ok()) {
        error = QStringLiteral("no se puede usar SANE, la biblioteca de los escáneres");
        return nullptr;
    }
    SANE_Handle handle = nullptr;
    const SANE_Status status = sane_open(name.toUtf8().constData(), &handle);
    if (status != SANE_STATUS_GOOD) {
        error = statusText(status);
        return nullptr;
    }
    return std::make_unique<SaneScanner>(handle);
}

ScanOutcome scanPages(ScanDevice& device, const QString& folder, const std::atomic_bool& cancel,
    const std::function<void(const QString&)>& pageSaved)
{
    ScanOutcome outcome;
    const QDir dir(folder);
    QByteArray png;
    for (int n = 1;; ++n) {
        if (cancel.load()) {
            outcome.cancelled = true;
            break;
        }
        const ScanDevice::Start start = device.start(outcome.error);
        if (start == ScanDevice::Start::NoMorePages)
            break;
        if (start == ScanDevice::Start::Failed)
            break;
        std::optional<QImage> page = device.read(cancel, outcome.error);
        if (!page) {
            outcome.cancelled = outcome.error.isEmpty();
            break;
        }
        png.clear();
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        const QString path = dir.filePath(QStringLiteral("pagina-%1.png").arg(n, 3, 10, QLatin1Char('0')));
        if (!QImageWriter(&buffer, "png").write(*page) || !writeFileAtomically(path, png)) {
            outcome.error = QStringLiteral("no se puede escribir %1").arg(QDir::toNativeSeparators(path));
            break;
        }
        outcome.pages << path;
        if (pageSaved)
            pageSaved(path);
        if (!device.hasFeeder())
            break;
    }
    return outcome;
}
