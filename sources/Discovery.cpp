#include "sources/Discovery.h"

#include "base/GuiHandOver.h"
#include "base/Message.h"
#include "base/Text.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QUdpSocket>

namespace tavrin {

namespace {

const QHostAddress& Group() {
    static const QHostAddress group(QStringLiteral("239.255.255.250"));
    return group;
}

} // namespace

TDiscovery::TDiscovery() = default;

TDiscovery::~TDiscovery() {
    Destroy();
}

int TDiscovery::initialize() {
    const int result = OpenMulticast();
    bHasIni = result == 0;
    return result;
}

int TDiscovery::OpenMulticast() {
    socket_PPT = std::make_unique<QUdpSocket>();
    // Multicast on the LAN: never look up a system proxy (that starts a
    // helper thread and may even ask the network).
    socket_PPT->setProxy(QNetworkProxy::NoProxy);
    bool bound = false;
    for (int i = 0; i < kLocalPortAttempts && !bound; ++i) {
        const uint16_t port = uint16_t(kFirstLocalPort + i * kLocalPortStep);
        bound = socket_PPT->bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress);
        if (bound) {
            nLocalPort = port;
        }
    }
    if (!bound) {
        return socket_PPT->error() == QAbstractSocket::UnsupportedSocketOperationError ? -1 : -2;
    }
    if (!socket_PPT->joinMulticastGroup(Group())) {
        return -3;
    }
    QUdpSocket* s = socket_PPT.get();
    QObject::connect(s, &QUdpSocket::readyRead, s, [this] { ReadData(); });
    return 0;
}

int TDiscovery::DoDiscovery() {
    if (!bHasIni) {
        return -1;
    }
    FindDEV(kProbePort);
    return 0;
}

int TDiscovery::FindDEV(uint16_t nUDPPORT) {
    if (!bHasIni) {
        return -1;
    }
    const std::string& probe = DiscoveryProbe();
    const qint64 n =
        socket_PPT->writeDatagram(probe.data(), qint64(probe.size()), Group(), nUDPPORT);
    if (n < 0 && socket_PPT->error() != QAbstractSocket::TemporaryError) {
        ShowMessage("寻找设备失败,错误号：" + IntToStr(int(socket_PPT->error())), TMsgIcon::Error);
    }
    return 0;
}

void TDiscovery::ReadData() {
    while (socket_PPT && socket_PPT->hasPendingDatagrams()) {
        const QNetworkDatagram d = socket_PPT->receiveDatagram(kLargestAnswer);
        if (!d.isValid()) {
            return;
        }
        const QByteArray bytes = d.data();
        TDiscoveryInfo info;
        if (!ParseDiscoveryAnswer(std::string_view(bytes.constData(), size_t(bytes.size())),
                                  info)) {
            continue;
        }
        bool isV4 = false;
        const quint32 v4 = d.senderAddress().toIPv4Address(&isV4);
        info.sIP = isV4 ? QHostAddress(v4).toString().toStdString()
                        : d.senderAddress().toString().toStdString();
        std::lock_guard<std::mutex> lock(FLock);
        xCmd.push_back(std::move(info));
    }
}

size_t TDiscovery::Pending() const {
    std::lock_guard<std::mutex> lock(FLock);
    return xCmd.size();
}

void TDiscovery::Execute() {
    while (!Terminated()) {
        SleepMs(20);
        TDiscoveryInfo PTempr;
        {
            std::lock_guard<std::mutex> lock(FLock);
            if (xCmd.empty()) {
                continue;
            }
            PTempr = xCmd.front();
        }
        // Run on the socket's (GUI) thread and wait for it; an owner that
        // stops this thread from the GUI thread makes the wait give way.
        if (FindThisClient) {
            RunOnThreadOf(
                socket_PPT.get(),
                [this, &PTempr] { FindThisClient(PTempr.sIP, PTempr.nDeviceType, PTempr.ID); },
                [this] { return Terminated(); });
        }
        std::lock_guard<std::mutex> lock(FLock);
        if (!xCmd.empty()) {
            xCmd.pop_front();
        }
    }
}

std::string TDiscovery::GetErrorByID(int ErrorID) {
    switch (ErrorID) {
    case -1:
        return "网络通信创建失败";
    case -2:
        return "组播地址绑定失败";
    case -3:
        return "无法进行UDP组播";
    case -4:
        return "异步通信失败";
    case -10:
        return "网络通信启动失败";
    default:
        return std::string();
    }
}

void TDiscovery::Destroy() {
    // The queue thread uses the socket as its hand-over point.
    Terminate();
    WaitFor();
    bHasIni = false;
    if (socket_PPT) {
        socket_PPT->close();
        socket_PPT.reset();
    }
}

} // namespace tavrin
