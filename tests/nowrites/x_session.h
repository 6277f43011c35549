#pragma once
// Driving a real program's windows on a virtual X server of its own: Xvfb
// for the screen, xdotool for the mouse and keyboard, Xlib for pictures of
// windows and for closing them the way a window manager does.

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>

#include <chrono>
#include <optional>

namespace nowrites {

using XWindow = unsigned long;

class VirtualScreen
{
public:
    VirtualScreen() = default;
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen &) = delete;
    VirtualScreen &operator=(const VirtualScreen &) = delete;

    // Starts Xvfb on a display number it finds free itself; false with
    // `error` set when it does not come up within `timeout`.
    bool start(QSize size, std::chrono::milliseconds timeout, QString *error);
    // ":N"
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

class XDriver
{
public:
    explicit XDriver(const QString &display);
    ~XDriver();
    XDriver(const XDriver &) = delete;
    XDriver &operator=(const XDriver &) = delete;

    bool isOpen() const { return m_connection != nullptr; }

    // The first mapped window whose title matches the regular expression.
    std::optional<XWindow> visibleWindow(const QString &titlePattern) const;
    std::optional<XWindow> waitForWindow(const QString &titlePattern, std::chrono::milliseconds timeout) const;
    std::optional<qint64> windowPid(XWindow window) const;
    QSize windowSize(XWindow window) const;

    // Puts the characters of `text` on spare keys of the keyboard map. Done
    // before the program starts, its keyboard map has them from the start:
    // xdotool would otherwise remap a key for each character while typing,
    // and a program may read the key before it has seen the new map.
    bool bindCharacters(const QString &text) const;

    // Mouse and keyboard through the XTEST extension, as a user would.
    bool focus(XWindow window) const;
    bool click(XWindow window, QPoint at) const;
    bool type(const QString &text) const;

    // What the window shows in `area` (window coordinates); null when the
    // window is gone.
    QImage grab(XWindow window, const QRect &area) const;
    // Asks the window to close (WM_DELETE_WINDOW), as a window manager's
    // close button does.
    bool requestClose(XWindow window) const;

private:
    bool xdotool(const QStringList &arguments, QByteArray *output = nullptr) const;

    QString m_display;
    void *m_connection = nullptr; // Display *, kept out of this header
};

} // namespace nowrites
