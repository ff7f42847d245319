#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QImage>
#include <QString>
#include <QStringList>

// Scanning pages into a folder, through SANE. Nothing here shows UI or
// touches Qt's widgets, and every call blocks: the window runs them on a
// thread of their own. SANE allows one user per process at a time, so a
// caller never runs two of these at once.

struct ScannerInfo {
    QString name; // what SANE opens it by
    QString description; // vendor, model and kind, for the user
};

// Starts SANE for as long as it lives.
class SaneSession {
public:
    SaneSession();
    ~SaneSession();
    SaneSession(const SaneSession&) = delete;
    SaneSession& operator=(const SaneSession&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// The scanners SANE finds, local ones and those on the network.
std::vector<ScannerInfo> findScanners(const SaneSession& session);

// One page source: a scanner, or a test's stand-in for one.
class ScanDevice {
public:
    enum class Start { Page, NoMorePages, Failed };

    virtual ~ScanDevice() = default;
    // Whether pages come from a feeder, which scans until it is empty,
    // rather than one page from the glass.
    virtual bool hasFeeder() const = 0;
    // Starts the next page; `error` in Spanish when it fails.
    virtual Start start(QString& error) = 0;
    // The page started, whole; empty when it failed (`error` says why) or
    // `cancel` was set, and then the scanner is stopped.
    virtual std::optional<QImage> read(const std::atomic_bool& cancel, QString& error) = 0;
};

// A SANE scanner, opened for scanning answer sheets: its feeder chosen when
// it has one, grey, 300 dpi (or the nearest it does), the whole glass.
std::unique_ptr<ScanDevice> openScanner(const SaneSession& session, const QString& name, QString& error);

struct ScanOutcome {
    QStringList pages; // written whole, in scanning order
    QString error; // in Spanish; empty when the batch ended normally
    bool cancelled = false;
};

// Scans pages from `device` into `folder` as `pagina-001.png` and on, each
// written atomically and told to `pageSaved` as soon as it is, until the
// feeder is empty (one page without a feeder), `cancel` is set or the device
// fails. Pages already written are kept whatever ends the batch; a page
// cut short is never written.
ScanOutcome scanPages(ScanDevice& device, const QString& folder, const std::atomic_bool& cancel,
    const std::function<void(const QString&)>& pageSaved);
