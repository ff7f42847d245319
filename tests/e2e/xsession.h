#pragma once

#include <chrono>
#include <memory>

#include <QImage>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

// A private X server with a window manager, for driving the built programs
// the way a person does. Every wait is bounded so that nothing hangs CI.
class XSession {
public:
    XSession() = default;
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;
    ~XSession();

    // Starts Xvfb on a display it picks itself, then openbox. Empty on
    // success, else what went wrong.
    QString start(int width, int height);
    void stop();

    QString display() const { return display_; }

    // Runs an X client (xdotool, xwd, ...) on this display and returns its
    // standard output; `ok` tells whether it ended in time with status 0.
    QByteArray run(const QString& program, const QStringList& arguments, bool* ok = nullptr,
        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // The whole screen as it is now; null when it cannot be read.
    QImage screenshot() const;

    // Windows of `pid` whose name matches the regular expression, newest
    // last. Waits up to `timeout` for at least one.
    QStringList waitForWindows(qint64 pid, const QString& namePattern, std::chrono::milliseconds timeout) const;
    QString windowName(const QString& window) const;

    // Input as a person gives it: the window is raised and focused first.
    bool activate(const QString& window) const;
    void keys(const QStringList& keys) const;
    void type(const QString& text) const;
    void click(int x, int y, int button = 1, int repeat = 1) const;
    // Chooses item `item` (0 for the first, separators not counted) of
    // menu `menuIndex` of the focused window's Qt menu bar by keyboard.
    void chooseMenuItem(int menuIndex, int item) const;

    QProcessEnvironment environment() const;
    // environment() for a user whose home and every XDG folder lie below
    // `home`, system folders included: nothing of the machine's own desktop
    // (an installed package's associations, say) is read or changed.
    QProcessEnvironment privateDesktopEnvironment(const QString& home) const;

private:
    QString display_;
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> windowManager_;
};

// A session bus of its own for programs run with `env` (its HOME and
// XDG_RUNTIME_DIR say where the bus keeps its files): the accessibility bus
// is started on it on demand, and both end with it. `address` is empty when
// the bus did not come up within a few seconds.
std::unique_ptr<QProcess> startSessionBus(const QProcessEnvironment& env, QString& address);

// Debian's own interpreter: the accessibility bindings are installed for it.
inline const QString kAccessibilityPython = QStringLiteral("/usr/bin/python3");

// One object of a program as a screen reader finds it.
struct AccessibleObject {
    QString role;
    QString name;
    // On the screen; empty where the object says nothing of its place.
    QRect box;
};

// Every object of the application named `app`, read over the accessibility
// bus that `env` names. Empty when the reader fails to start or takes longer
// than `timeout`.
QList<AccessibleObject> accessibleTree(
    const QProcessEnvironment& env, const QString& app, std::chrono::milliseconds timeout);

// Pixels of an X window dump (xwd's ZPixmap format, 24 or 32 bits a pixel).
QImage imageFromXwd(const QByteArray& dump);
