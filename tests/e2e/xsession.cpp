#include "xsession.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

#include <QDeadlineTimer>
#include <QProcess>
#include <QtEndian>

using namespace std::chrono_literals;

namespace {

void endProcess(std::unique_ptr<QProcess>& process)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    process.reset();
}

// Reads what Xvfb writes to the -displayfd pipe: the display number and a
// newline, once it accepts connections.
QString readDisplayNumber(int fd, std::chrono::milliseconds timeout)
{
    QByteArray text;
    QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired() && !text.contains('\n')) {
        pollfd p { fd, POLLIN, 0 };
        if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
            break;
        char buffer[32];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, n);
    }
    return QString::fromLatin1(text).trimmed();
}

} // namespace

XSession::~XSession()
{
    stop();
}

QString XSession::start(int width, int height)
{
    // Xvfb picks a free display itself and reports it through -displayfd,
    // so parallel runs never race for a lock file. The write end stays
    // inheritable for Xvfb alone: it is closed here before anything else
    // is started.
    int fds[2];
    if (::pipe(fds) != 0)
        return QStringLiteral("cannot make a pipe for Xvfb");
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    server_ = std::make_unique<QProcess>();
    server_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_->setStandardOutputFile(QProcess::nullDevice());
    server_->start(QStringLiteral("Xvfb"),
        { QStringLiteral("-displayfd"), QString::number(fds[1]), QStringLiteral("-screen"), QStringLiteral("0"),
            QStringLiteral("%1x%2x24").arg(width).arg(height), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
            QStringLiteral("-noreset") });
    ::close(fds[1]);
    const bool started = server_->waitForStarted(10000);
    const QString number = started ? readDisplayNumber(fds[0], 20s) : QString();
    ::close(fds[0]);
    if (number.isEmpty()) {
        endProcess(server_);
        return started ? QStringLiteral("Xvfb reported no display within 20 s")
                       : QStringLiteral("Xvfb cannot be started");
    }
    display_ = QLatin1Char(':') + number;

    windowManager_ = std::make_unique<QProcess>();
    windowManager_->setProcessEnvironment(environment());
    windowManager_->setStandardOutputFile(QProcess::nullDevice());
    windowManager_->setStandardErrorFile(QProcess::nullDevice());
    windowManager_->start(QStringLiteral("openbox"), { QStringLiteral("--sm-disable") });
    if (!windowManager_->waitForStarted(10000))
        return QStringLiteral("openbox cannot be started");
    // A window manager announces itself on the root window; before that,
    // windows would be mapped without activation or decoration.
    QDeadlineTimer deadline(20s);
    while (!deadline.hasExpired()) {
        bool ok = false;
        const QByteArray out = run(
            QStringLiteral("xprop"), { QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK") }, &ok);
        if (ok && out.contains("window id"))
            return {};
        std::this_thread::sleep_for(100ms);
    }
    return QStringLiteral("openbox did not take the screen within 20 s");
}

void XSession::stop()
{
    endProcess(windowManager_);
    endProcess(server_);
}

QProcessEnvironment XSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XAUTHORITY"));
    env.remove(QStringLiteral("SESSION_MANAGER"));
    env.insert(QStringLiteral("DISPLAY"), display_);
    return env;
}

void XSession::chooseMenuItem(int menuIndex, int item) const
{
    // Alt pressed and released alone puts Qt's menu bar under the keyboard.
    keys({ QStringLiteral("alt") });
    std::this_thread::sleep_for(250ms);
    QStringList path;
    for (int i = 0; i < menuIndex; ++i)
        path.append(QStringLiteral("Right"));
    path.append(QStringLiteral("Down"));
    for (int i = 0; i < item; ++i)
        path.append(QStringLiteral("Down"));
    path.append(QStringLiteral("Return"));
    keys(path);
}

QProcessEnvironment XSession::privateDesktopEnvironment(const QString& home) const
{
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), home + QStringLiteral("/sysdata"));
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), home + QStringLiteral("/sysconfig"));
    env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
    return env;
}

QByteArray XSession::run(
    const QString& program, const QStringList& arguments, bool* ok, std::chrono::milliseconds timeout) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    const bool finished = process.waitForStarted(5000) && process.waitForFinished(int(timeout.count()));
    if (!finished) {
        process.kill();
        process.waitForFinished(3000);
    }
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

QImage XSession::screenshot() const
{
    bool ok = false;
    const QByteArray dump
        = run(QStringLiteral("xwd"), { QStringLiteral("-root"), QStringLiteral("-silent") }, &ok, 20s);
    return ok ? imageFromXwd(dump) : QImage();
}

QStringList XSession::waitForWindows(qint64 pid, const QString& namePattern, std::chrono::milliseconds timeout) const
{
    QDeadlineTimer deadline(timeout);
    do {
        bool ok = false;
        const QByteArray out = run(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"), namePattern },
            &ok);
        const QStringList windows = QString::fromLatin1(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (!windows.isEmpty())
            return windows;
        std::this_thread::sleep_for(100ms);
    } while (!deadline.hasExpired());
    return {};
}

QString XSession::windowName(const QString& window) const
{
    const QByteArray out = run(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), window });
    return QString::fromUtf8(out).trimmed();
}

bool XSession::activate(const QString& window) const
{
    bool ok = false;
    run(QStringLiteral("xdotool"), { QStringLiteral("windowactivate"), QStringLiteral("--sync"), window }, &ok, 5s);
    return ok;
}

void XSession::keys(const QStringList& keys) const
{
    run(QStringLiteral("xdotool"),
        QStringList { QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("120") } + keys);
}

void XSession::type(const QString& text) const
{
    run(QStringLiteral("xdotool"), { QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text },
        nullptr, 30s);
}

void XSession::click(int x, int y, int button, int repeat) const
{
    run(QStringLiteral("xdotool"), { QStringLiteral("mousemove"), QString::number(x), QString::number(y) });
    run(QStringLiteral("xdotool"),
        { QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(repeat), QStringLiteral("--delay"),
            QStringLiteral("60"), QString::number(button) },
        nullptr, 30s);
}

QImage imageFromXwd(const QByteArray& dump)
{
    // The header is 25 big-endian 32-bit fields; the names below are xwd's.
    constexpr int kHeaderFields = 25;
    if (dump.size() < kHeaderFields * 4)
        return {};
    const auto field = [&dump](int i) {
        return qFromBigEndian<std::uint32_t>(reinterpret_cast<const uchar*>(dump.constData()) + 4 * i);
    };
    const std::uint32_t headerSize = field(0);
    const std::uint32_t format = field(2);
    const std::uint32_t width = field(4);
    const std::uint32_t height = field(5);
    const std::uint32_t byteOrder = field(7);
    const std::uint32_t bitsPerPixel = field(11);
    const std::uint32_t bytesPerLine = field(12);
    const std::uint32_t redMask = field(14);
    const std::uint32_t greenMask = field(15);
    const std::uint32_t blueMask = field(16);
    const std::uint32_t colours = field(19);
    constexpr std::uint32_t kZPixmap = 2;
    if (format != kZPixmap || (bitsPerPixel != 32 && bitsPerPixel != 24) || width == 0 || height == 0)
        return {};
    const qint64 start = qint64(headerSize) + qint64(colours) * 12;
    if (start + qint64(bytesPerLine) * height > dump.size())
        return {};

    const auto shiftOf = [](std::uint32_t mask) {
        int shift = 0;
        while (mask && !(mask & 1u)) {
            mask >>= 1;
            ++shift;
        }
        return shift;
    };
    const int redShift = shiftOf(redMask);
    const int greenShift = shiftOf(greenMask);
    const int blueShift = shiftOf(blueMask);
    const int bytes = int(bitsPerPixel / 8);

    QImage image(int(width), int(height), QImage::Format_RGB32);
    const auto* data = reinterpret_cast<const uchar*>(dump.constData()) + start;
    for (std::uint32_t y = 0; y < height; ++y) {
        const uchar* line = data + qint64(y) * bytesPerLine;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (std::uint32_t x = 0; x < width; ++x) {
            const uchar* p = line + x * std::uint32_t(bytes);
            std::uint32_t v = 0;
            for (int b = 0; b < bytes; ++b) {
                // Byte order 0 is least significant byte first.
                const int at = byteOrder == 0 ? b : bytes - 1 - b;
                v |= std::uint32_t(p[at]) << (8 * b);
            }
            out[x] = qRgb(
                int((v & redMask) >> redShift), int((v & greenMask) >> greenShift), int((v & blueMask) >> blueShift));
        }
    }
    return image;
}

namespace {

// Prints "role|name|x,y,w,h" for every object of the named application,
// screen coordinates included, so that menus can be reached by mouse.
const QString kTreeScript = QStringLiteral(R"(
import sys, pyatspi
def walk(node):
    try:
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        where = "%d,%d,%d,%d" % (box.x, box.y, box.width, box.height)
    except Exception:
        where = ""
    print("%s|%s|%s" % (node.getRoleName(), (node.name or "").replace("\n", " "), where))
    for child in node:
        if child is not None:
            walk(child)
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == sys.argv[1]:
        walk(app)
)");

} // namespace

QList<AccessibleObject> accessibleTree(
    const QProcessEnvironment& env, const QString& app, std::chrono::milliseconds timeout)
{
    QProcess reader;
    reader.setProcessEnvironment(env);
    reader.setStandardErrorFile(QProcess::nullDevice());
    reader.start(kAccessibilityPython, { QStringLiteral("-c"), kTreeScript, app });
    if (!reader.waitForFinished(int(timeout.count()))) {
        reader.kill();
        reader.waitForFinished(3000);
        return {};
    }
    QList<AccessibleObject> objects;
    for (const QString& line : QString::fromUtf8(reader.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        // The role and the place never hold a bar; a name may.
        const QStringList parts = line.split(QLatin1Char('|'));
        if (parts.size() < 3)
            continue;
        const QStringList box = parts.back().split(QLatin1Char(','));
        AccessibleObject object { parts.front(), parts.mid(1, parts.size() - 2).join(QLatin1Char('|')), {} };
        if (box.size() == 4)
            object.box = QRect(box[0].toInt(), box[1].toInt(), box[2].toInt(), box[3].toInt());
        objects.append(object);
    }
    return objects;
}

std::unique_ptr<QProcess> startSessionBus(const QProcessEnvironment& env, QString& address)
{
    auto bus = std::make_unique<QProcess>();
    bus->setProcessEnvironment(env);
    bus->setStandardErrorFile(QProcess::nullDevice());
    bus->start(QStringLiteral("dbus-daemon"),
        { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
    address.clear();
    if (!bus->waitForStarted(10000))
        return bus;
    QDeadlineTimer deadline(std::chrono::seconds(10));
    while (!bus->canReadLine() && !deadline.hasExpired())
        bus->waitForReadyRead(int(deadline.remainingTime()));
    address = QString::fromLatin1(bus->readLine()).trimmed();
    return bus;
}
