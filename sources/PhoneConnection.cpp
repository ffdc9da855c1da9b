#include "sources/PhoneConnection.h"

#include "base/Trace.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <algorithm>

namespace tavrin {

TPhoneConnection::TPhoneConnection()
    : readBuf(kReadChunk), FSocket(std::make_unique<QTcpSocket>()) {
    // Phones are on the LAN: never look up a system proxy for them.
    FSocket->setProxy(QNetworkProxy::NoProxy);
}

TPhoneConnection::~TPhoneConnection() {
    Close();
}

void TPhoneConnection::initialize(TNetFrameSink* sink, TClientInfo* pInfo) {
    pSink = sink;
    CMDParse.initialize(sink, pInfo);
    QTcpSocket* s = FSocket.get();
    QObject::connect(s, &QTcpSocket::connected, s, [this] { OnConnect(); });
    QObject::connect(s, &QTcpSocket::readyRead, s, [this] { OnRead(); });
    QObject::connect(s, &QTcpSocket::disconnected, s, [this] { OnLost(); });
    // Errors never reach the operator: they only mean the source is lost.
    QObject::connect(s, &QTcpSocket::errorOccurred, s,
                     [this](QAbstractSocket::SocketError) { OnLost(); });
}

void TPhoneConnection::ConnectTo(const std::string& sIP, uint16_t nPort) {
    Close();
    bLostReported = false;
    FSocket->connectToHost(QString::fromStdString(sIP), nPort);
}

void TPhoneConnection::Close() {
    bLostReported = true;
    if (FSocket->state() != QAbstractSocket::UnconnectedState) {
        FSocket->abort();
    }
}

bool TPhoneConnection::Connected() const {
    return FSocket->state() == QAbstractSocket::ConnectedState;
}

int TPhoneConnection::Send(const uint8_t* pData, size_t nSize) {
    if (!Connected()) {
        return -1;
    }
    const qint64 n = FSocket->write(reinterpret_cast<const char*>(pData), qint64(nSize));
    FSocket->flush();
    return n < 0 ? -1 : int(n);
}

void TPhoneConnection::OnConnect() {
    CMDParse.SetConnect();
    Send(MakeRequestAV());
    Trace(" con= " + (pSink ? pSink->WorkerIdText() : std::string()));
}

void TPhoneConnection::OnRead() {
    // Everything available is taken now: the socket announces only new
    // data, so bytes left behind would wait for the next arrival.
    while (FSocket->bytesAvailable() > 0) {
        const qint64 nWant = std::min<qint64>(FSocket->bytesAvailable(), kReadChunk);
        const qint64 n = FSocket->read(reinterpret_cast<char*>(readBuf.data()), nWant);
        if (n <= 0) {
            return;
        }
        if (CMDParse.AddData(readBuf.data(), int(n)) < 0) {
            FSocket->abort(); // reports the loss through the disconnect event
            OnLost();
            return;
        }
    }
}

void TPhoneConnection::OnLost() {
    if (bLostReported) {
        return;
    }
    bLostReported = true;
    CMDParse.SetDisconnect();
    Trace(" dis= " + (pSink ? pSink->WorkerIdText() : std::string()));
}

} // namespace tavrin
