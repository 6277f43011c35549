#include "virtual_display.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRandomGenerator>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kToolTimeoutMs = 5000;
constexpr int kServerStartMs = 15000;

// True when an X server answers on the display.
bool answers(const QString &display)
{
    xcb_connection_t *probe = xcb_connect(display.toLatin1().constData(), nullptr);
    const bool ok = !xcb_connection_has_error(probe);
    xcb_disconnect(probe);
    return ok;
}

} // namespace

VirtualDisplay::VirtualDisplay() = default;

VirtualDisplay::~VirtualDisplay()
{
    stop();
}

bool VirtualDisplay::start(QString *error)
{
    // Other test runs on the machine start X servers too, most on the lowest
    // free numbers: take a random high one that nobody answers on, and try
    // another if the server cannot have it after all.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int number = 100 + int(QRandomGenerator::global()->bounded(800));
        const QString name = QStringLiteral(":%1").arg(number);
        if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))
            || QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) || answers(name))
            continue;
        // -noreset: the server would otherwise reset whenever its last client
        // leaves, refusing connections meanwhile.
        m_server.setStandardOutputFile(QProcess::nullDevice());
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start(QStringLiteral("Xvfb"), {name, QStringLiteral("-screen"), QStringLiteral("0"),
                                                QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                                QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!m_server.waitForStarted(kServerStartMs)) {
            *error = QStringLiteral("cannot start Xvfb: %1").arg(m_server.errorString());
            return false;
        }
        const QDeadlineTimer deadline(kServerStartMs);
        while (m_server.state() == QProcess::Running && !deadline.hasExpired() && !answers(name))
            m_server.waitForFinished(100);
        if (m_server.state() != QProcess::Running) {
            m_server.waitForFinished(1000);
            continue;
        }
        m_name = name;
        m_connection = xcb_connect(m_name.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(m_connection)) {
            *error = QStringLiteral("cannot connect to %1").arg(m_name);
            stop();
            return false;
        }
        return true;
    }
    *error = QStringLiteral("found no free display number for Xvfb");
    return false;
}

void VirtualDisplay::stop()
{
    if (m_connection) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
    }
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(3000)) {
            m_server.kill();
            m_server.waitForFinished(3000);
        }
    }
}

bool VirtualDisplay::xdotool(const QStringList &arguments, QByteArray *output) const
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_name);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(kToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished(1000);
        return false;
    }
    if (output)
        *output = tool.readAllStandardOutput();
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

QList<quint32> VirtualDisplay::visibleWindows(const QString &titlePattern) const
{
    QByteArray output;
    // xdotool search exits with 1 when nothing matches: that is an empty list.
    xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), titlePattern},
            &output);
    QList<quint32> windows;
    for (const QByteArray &line : output.split('\n')) {
        bool ok = false;
        const quint32 id = line.trimmed().toUInt(&ok);
        if (ok)
            windows.append(id);
    }
    return windows;
}

QString VirtualDisplay::windowTitle(quint32 window) const
{
    QByteArray output;
    if (!xdotool({QStringLiteral("getwindowname"), QString::number(window)}, &output))
        return {};
    return QString::fromUtf8(output).chopped(output.endsWith('\n') ? 1 : 0);
}

quint32 VirtualDisplay::atom(const char *name) const
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
    const quint32 result = reply ? reply->atom : quint32(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

QString VirtualDisplay::windowType(quint32 window) const
{
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(m_connection, 0, window, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 0, 1);
    xcb_get_property_reply_t *property = xcb_get_property_reply(m_connection, cookie, nullptr);
    if (!property)
        return {};
    xcb_atom_t type = XCB_ATOM_NONE;
    if (xcb_get_property_value_length(property) >= int(sizeof(xcb_atom_t)))
        type = *static_cast<const xcb_atom_t *>(xcb_get_property_value(property));
    std::free(property);
    if (type == XCB_ATOM_NONE)
        return {};
    xcb_get_atom_name_reply_t *name =
        xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, type), nullptr);
    if (!name)
        return {};
    const QString result = QString::fromLatin1(xcb_get_atom_name_name(name), xcb_get_atom_name_name_length(name));
    std::free(name);
    return result;
}

bool VirtualDisplay::click(quint32 window, QPoint at) const
{
    return xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                    QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                    QStringLiteral("1")});
}

void VirtualDisplay::pressKey(quint32 window, const QString &key) const
{
    // xdotool presses through XTEST when the window has the focus and sends
    // the release to the window; when the press closed the window, that
    // release fails and the key stays down in the server, repeating into the
    // next program's windows. Releasing through XTEST always lets it go.
    xdotool({QStringLiteral("keydown"), QStringLiteral("--window"), QString::number(window), key});
    xdotool({QStringLiteral("keyup"), key});
}

bool VirtualDisplay::requestClose(quint32 window) const
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_void_cookie_t cookie = xcb_send_event_checked(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                                            reinterpret_cast<const char *>(&message));
    xcb_generic_error_t *failure = xcb_request_check(m_connection, cookie);
    const bool sent = failure == nullptr;
    std::free(failure);
    return sent;
}
