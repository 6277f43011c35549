#pragma once
// A one-trick HTTP server on 127.0.0.1 for the rotator's tests: it records
// each request head and answers with whatever the test set up, or not at all.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

struct RecordedRequest
{
    QByteArray method;
    QByteArray target;
    QMap<QByteArray, QByteArray> headers; // names in lower case
};

class HttpTestServer : public QObject
{
    Q_OBJECT

public:
    explicit HttpTestServer(QObject *parent = nullptr);

    bool listen();
    QUrl url(const QString &path) const;

    void answer(int status, const QByteArray &body, bool announceLength = true,
                const QByteArray &extraHeaders = {});
    // Accept, read the request and keep the connection open without a word.
    void stayQuiet() { m_quiet = true; }
    // Accept, read the request and close the connection without a word.
    void hangUp()
    {
        m_quiet = false;
        m_response.clear();
    }

    const QList<RecordedRequest> &requests() const { return m_requests; }

    // An address on which nothing listens: connections to it are refused.
    static QUrl refusingUrl(const QString &path);

signals:
    void requestReceived();

private:
    void connectionArrived();
    void readRequest(QTcpSocket *socket);

    QTcpServer m_server;
    QByteArray m_response;
    bool m_quiet = false;
    QList<RecordedRequest> m_requests;
};
