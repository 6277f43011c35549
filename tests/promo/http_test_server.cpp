#include "http_test_server.h"

#include <QTcpSocket>

HttpTestServer::HttpTestServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpTestServer::connectionArrived);
}

bool HttpTestServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QUrl HttpTestServer::url(const QString &path) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_server.serverPort());
    url.setPath(path);
    return url;
}

QUrl HttpTestServer::refusingUrl(const QString &path)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(port);
    url.setPath(path);
    return url;
}

void HttpTestServer::answer(int status, const QByteArray &body, bool announceLength,
                            const QByteArray &extraHeaders)
{
    m_quiet = false;
    m_response = "HTTP/1.1 " + QByteArray::number(status) + " Test\r\n"
                 "Content-Type: text/plain\r\nConnection: close\r\n" + extraHeaders;
    if (announceLength)
        m_response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    m_response += "\r\n" + body;
}

void HttpTestServer::connectionArrived()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
    }
}

void HttpTestServer::readRequest(QTcpSocket *socket)
{
    if (socket->property("seen").toBool())
        return;
    // GET has no body: the head ends at the first empty line.
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    socket->setProperty("seen", true);

    RecordedRequest request;
    const QList<QByteArray> lines = head.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    m_requests.append(request);
    emit requestReceived();

    if (m_quiet)
        return;
    socket->write(m_response);
    socket->disconnectFromHost();
}
