#include "platform/zipwriter.h"

#include <limits>

#include <QtEndian>

#include <zlib.h>

namespace {

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint16_t kVersion = 20;
constexpr std::uint16_t kDeflated = 8;
// Bit 11: names are UTF-8.
constexpr std::uint16_t kUtf8Names = 0x0800;
// 1980-01-01 00:00: the archive is the same whatever the day it is made.
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (1 << 5) | 1;
constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
constexpr int kLocalHeaderSize = 30;
// Level 1 deflates the repetitive XML of a workbook several times faster
// than the default for a few per cent more bytes.
constexpr int kLevel = 1;
constexpr int kChunk = 64 * 1024;

template <typename T> void append(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

template <typename T> void patch(QByteArray& out, qsizetype at, T value)
{
    qToLittleEndian(value, out.data() + at);
}

} // namespace

ZipWriter::ZipWriter()
    : stream_(new z_stream {})
{
}

ZipWriter::~ZipWriter()
{
    if (open_)
        deflateEnd(stream_);
    delete stream_;
}

void ZipWriter::beginEntry(QByteArrayView name)
{
    endEntry();
    Entry entry;
    entry.name = name.toByteArray();
    entry.offset = std::uint64_t(archive_.size());
    entry.crc = std::uint32_t(crc32(0, nullptr, 0));
    // Sizes and checksum are known only at the end; they are patched in.
    append<std::uint32_t>(archive_, kLocalHeader);
    append<std::uint16_t>(archive_, kVersion);
    append<std::uint16_t>(archive_, kUtf8Names);
    append<std::uint16_t>(archive_, kDeflated);
    append<std::uint16_t>(archive_, kDosTime);
    append<std::uint16_t>(archive_, kDosDate);
    append<std::uint32_t>(archive_, 0);
    append<std::uint32_t>(archive_, 0);
    append<std::uint32_t>(archive_, 0);
    append<std::uint16_t>(archive_, std::uint16_t(entry.name.size()));
    append<std::uint16_t>(archive_, 0);
    archive_ += entry.name;
    entries_.push_back(std::move(entry));

    *stream_ = z_stream {};
    // Negative window bits: raw deflate, as ZIP stores it.
    if (deflateInit2(stream_, kLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        failed_ = true;
    else
        open_ = true;
}

void ZipWriter::write(QByteArrayView bytes)
{
    if (!open_ || bytes.isEmpty())
        return;
    Entry& entry = entries_.back();
    entry.crc = std::uint32_t(crc32(entry.crc, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
    entry.size += std::uint64_t(bytes.size());
    stream_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream_->avail_in = uInt(bytes.size());
    deflateInto(Z_NO_FLUSH);
}

void ZipWriter::deflateInto(int flush)
{
    int result = Z_OK;
    do {
        const qsizetype before = archive_.size();
        archive_.resize(before + kChunk);
        stream_->next_out = reinterpret_cast<Bytef*>(archive_.data() + before);
        stream_->avail_out = kChunk;
        result = deflate(stream_, flush);
        archive_.resize(before + kChunk - qsizetype(stream_->avail_out));
        if (result == Z_STREAM_ERROR) {
            failed_ = true;
            return;
        }
    } while (stream_->avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
}

void ZipWriter::endEntry()
{
    if (!open_)
        return;
    deflateInto(Z_FINISH);
    deflateEnd(stream_);
    open_ = false;
    Entry& entry = entries_.back();
    entry.compressedSize
        = std::uint64_t(archive_.size()) - entry.offset - kLocalHeaderSize - std::uint64_t(entry.name.size());
    if (entry.offset > kLimit || entry.size > kLimit || entry.compressedSize > kLimit) {
        failed_ = true;
        return;
    }
    patch<std::uint32_t>(archive_, qsizetype(entry.offset) + 14, entry.crc);
    patch<std::uint32_t>(archive_, qsizetype(entry.offset) + 18, std::uint32_t(entry.compressedSize));
    patch<std::uint32_t>(archive_, qsizetype(entry.offset) + 22, std::uint32_t(entry.size));
}

QByteArray ZipWriter::finish()
{
    endEntry();
    const std::uint64_t directory = std::uint64_t(archive_.size());
    for (const Entry& e : entries_) {
        append<std::uint32_t>(archive_, kCentralHeader);
        append<std::uint16_t>(archive_, kVersion);
        append<std::uint16_t>(archive_, kVersion);
        append<std::uint16_t>(archive_, kUtf8Names);
        append<std::uint16_t>(archive_, kDeflated);
        append<std::uint16_t>(archive_, kDosTime);
        append<std::uint16_t>(archive_, kDosDate);
        append<std::uint32_t>(archive_, e.crc);
        append<std::uint32_t>(archive_, std::uint32_t(e.compressedSize));
        append<std::uint32_t>(archive_, std::uint32_t(e.size));
        append<std::uint16_t>(archive_, std::uint16_t(e.name.size()));
        append<std::uint16_t>(archive_, 0); // extra field
        append<std::uint16_t>(archive_, 0); // comment
        append<std::uint16_t>(archive_, 0); // disk
        append<std::uint16_t>(archive_, 0); // internal attributes
        append<std::uint32_t>(archive_, 0); // external attributes
        append<std::uint32_t>(archive_, std::uint32_t(e.offset));
        archive_ += e.name;
    }
    const std::uint64_t directorySize = std::uint64_t(archive_.size()) - directory;
    if (failed_ || entries_.size() > 0xFFFF || directory > kLimit || directorySize > kLimit)
        return {};
    append<std::uint32_t>(archive_, kEndOfDirectory);
    append<std::uint16_t>(archive_, 0);
    append<std::uint16_t>(archive_, 0);
    append<std::uint16_t>(archive_, std::uint16_t(entries_.size()));
    append<std::uint16_t>(archive_, std::uint16_t(entries_.size()));
    append<std::uint32_t>(archive_, std::uint32_t(directorySize));
    append<std::uint32_t>(archive_, std::uint32_t(directory));
    append<std::uint16_t>(archive_, 0);
    return std::move(archive_);
}
