#pragma once
// An X server of the test's own (Xvfb), and what the tests do in it: find
// windows by name, click, press keys (xdotool), read a window's type and ask a
// window to close as a window manager's close button would (X protocol).
// Every call is bounded in time; none waits for a window to appear.

#include <QList>
#include <QPoint>
#include <QProcess>
#include <QString>

struct xcb_connection_t;

class VirtualDisplay
{
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    // Starts Xvfb on a display number nobody uses. On failure returns false
    // and says why in `error`.
    bool start(QString *error);
    void stop();
    // ":N", for DISPLAY.
    QString name() const { return m_name; }

    // Mapped windows whose title matches the regular expression (xdotool's
    // syntax), in stacking order.
    QList<quint32> visibleWindows(const QString &titlePattern) const;
    QString windowTitle(quint32 window) const;
    // The _NET_WM_WINDOW_TYPE atom's name, e.g. "_NET_WM_WINDOW_TYPE_DIALOG".
    QString windowType(quint32 window) const;

    // A left click at `at`, relative to the window.
    bool click(quint32 window, QPoint at) const;
    // A key (xdotool's key names, e.g. "Return") pressed in the window and
    // released. Whether it arrived shows in what the window does.
    void pressKey(quint32 window, const QString &key) const;
    // Sends WM_DELETE_WINDOW, as a window manager does for the close button.
    // Without a window manager, Qt now and then misses one sent right after
    // its window was mapped (a bare QWidget shows it too): callers repeat it.
    bool requestClose(quint32 window) const;

private:
    bool xdotool(const QStringList &arguments, QByteArray *output = nullptr) const;
    quint32 atom(const char *name) const;

    QProcess m_server;
    QString m_name;
    xcb_connection_t *m_connection = nullptr;
};
