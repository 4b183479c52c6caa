#pragma once

// The system's proxy settings for one network access manager only, so that the game's own
// sockets are not affected. Like Qt's application-wide setting, it never sends a loopback
// address to a proxy.

#include <QHostAddress>
#include <QNetworkProxyFactory>

class TSystemProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        const QString host = query.peerHostName();
        QHostAddress address;
        if (host == QLatin1String("localhost")
            || (address.setAddress(host) && address.isLoopback()))
            return { QNetworkProxy(QNetworkProxy::NoProxy) };
        return systemProxyForQuery(query);
    }
};
