#include "x_session.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QThread>

#include <algorithm>

// Xlib's macros (None, Bool, Status ...) clash with Qt's names: it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace nowrites {

namespace {

constexpr int kToolTimeoutMs = 10000;

Display *asDisplay(void *connection)
{
    return static_cast<Display *>(connection);
}

// A window that went away between finding it and using it must not end the
// test process (Xlib's default handler exits).
int ignoreXErrors(Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

VirtualScreen::~VirtualScreen()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
}

bool VirtualScreen::start(QSize size, std::chrono::milliseconds timeout, QString *error)
{
    // -displayfd: Xvfb takes the first free display number and prints it once
    // it accepts connections.
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp")});
    if (!m_server.waitForStarted(int(timeout.count()))) {
        *error = QStringLiteral("cannot start Xvfb: %1").arg(m_server.errorString());
        return false;
    }
    QByteArray number;
    const QDeadlineTimer deadline(timeout);
    while (!number.contains('\n') && !deadline.hasExpired() && m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        number += m_server.readAllStandardOutput();
    }
    if (!number.contains('\n')) {
        *error = QStringLiteral("Xvfb did not come up: %1").arg(QString::fromLocal8Bit(m_server.readAllStandardError()));
        return false;
    }
    m_display = u':' + QString::fromLatin1(number.trimmed());
    return true;
}

XDriver::XDriver(const QString &display)
    : m_display(display)
{
    XSetErrorHandler(ignoreXErrors);
    m_connection = XOpenDisplay(display.toLocal8Bit().constData());
}

XDriver::~XDriver()
{
    if (m_connection)
        XCloseDisplay(asDisplay(m_connection));
}

bool XDriver::xdotool(const QStringList &arguments, QByteArray *output) const
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(kToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished(kToolTimeoutMs);
        return false;
    }
    if (output)
        *output = tool.readAllStandardOutput();
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

std::optional<XWindow> XDriver::visibleWindow(const QString &titlePattern) const
{
    QByteArray output;
    if (!xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), titlePattern},
                 &output))
        return std::nullopt;
    bool ok = false;
    const XWindow window = output.split('\n').value(0).trimmed().toULong(&ok);
    return ok ? std::optional<XWindow>(window) : std::nullopt;
}

std::optional<XWindow> XDriver::waitForWindow(const QString &titlePattern, std::chrono::milliseconds timeout) const
{
    const QDeadlineTimer deadline(timeout);
    do {
        if (const std::optional<XWindow> window = visibleWindow(titlePattern))
            return window;
        QThread::msleep(250);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

std::optional<qint64> XDriver::windowPid(XWindow window) const
{
    QByteArray output;
    if (!xdotool({QStringLiteral("getwindowpid"), QString::number(window)}, &output))
        return std::nullopt;
    bool ok = false;
    const qint64 pid = output.trimmed().toLongLong(&ok);
    return ok && pid > 0 ? std::optional<qint64>(pid) : std::nullopt;
}

QSize XDriver::windowSize(XWindow window) const
{
    XWindowAttributes attributes{};
    if (!m_connection || !XGetWindowAttributes(asDisplay(m_connection), window, &attributes))
        return QSize();
    return QSize(attributes.width, attributes.height);
}

bool XDriver::bindCharacters(const QString &text) const
{
    if (!m_connection)
        return false;
    Display *display = asDisplay(m_connection);
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int symbolsPerKey = 0;
    KeySym *map = XGetKeyboardMapping(display, KeyCode(minKeycode), maxKeycode - minKeycode + 1, &symbolsPerKey);
    if (!map)
        return false;
    QList<int> spare;
    for (int keycode = maxKeycode; keycode >= minKeycode; --keycode) {
        const KeySym *symbols = map + (keycode - minKeycode) * symbolsPerKey;
        if (std::all_of(symbols, symbols + symbolsPerKey, [](KeySym s) { return s == NoSymbol; }))
            spare.append(keycode);
    }
    XFree(map);

    const QList<uint> characters = text.toUcs4();
    if (spare.size() < characters.size())
        return false;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        // Unicode characters outside Latin-1 have the keysyms 0x1000000 + code.
        KeySym symbol = characters.at(i) < 0x100 ? KeySym(characters.at(i)) : KeySym(0x1000000 + characters.at(i));
        XChangeKeyboardMapping(display, spare.at(i), 1, &symbol, 1);
    }
    XSync(display, False);
    return true;
}

bool XDriver::focus(XWindow window) const
{
    return xdotool({QStringLiteral("windowfocus"), QString::number(window)});
}

bool XDriver::click(XWindow window, QPoint at) const
{
    return xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                    QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

bool XDriver::type(const QString &text) const
{
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("80"), text});
}

QImage XDriver::grab(XWindow window, const QRect &area) const
{
    if (!m_connection)
        return QImage();
    Display *display = asDisplay(m_connection);
    XImage *picture = XGetImage(display, window, area.x(), area.y(), unsigned(area.width()),
                                unsigned(area.height()), AllPlanes, ZPixmap);
    if (!picture)
        return QImage();
    QImage image(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < area.width(); ++x)
            row[x] = QRgb(XGetPixel(picture, x, y)) | 0xff000000u;
    }
    XDestroyImage(picture);
    return image;
}

bool XDriver::requestClose(XWindow window) const
{
    if (!m_connection)
        return false;
    Display *display = asDisplay(m_connection);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return sent != 0;
}

} // namespace nowrites
