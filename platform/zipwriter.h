#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

struct z_stream_s;

// A ZIP archive built in memory, one entry after another, each compressed
// as it arrives: a large entry never has to be held whole. Enough for the
// Office Open XML packages this program writes (no ZIP64, no directories,
// names in UTF-8). Compression favours speed; the entries are text.
class ZipWriter {
public:
    ZipWriter();
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Starts the entry `name`, ending the one before.
    void beginEntry(QByteArrayView name);
    void write(QByteArrayView bytes);
    // The archive with its central directory, or empty when it has grown
    // beyond what a ZIP without ZIP64 can describe or compression failed.
    QByteArray finish();

private:
    struct Entry {
        QByteArray name;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t offset = 0;
    };

    void endEntry();
    void deflateInto(int flush);

    QByteArray archive_;
    std::vector<Entry> entries_;
    z_stream_s* stream_ = nullptr;
    bool open_ = false;
    bool failed_ = false;
};
