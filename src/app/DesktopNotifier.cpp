#include "DesktopNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
constexpr int kDefaultTimeout = -1;
} // namespace

bool DesktopNotifier::notify(const QString& summary, const QString& body) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(kService).value()) {
        return false;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                       kService, QStringLiteral("Notify"));
    call << QStringLiteral("Tonebridge") << uint(0) << QStringLiteral("tonebridge") << summary
         << body << QStringList() << QVariantMap() << kDefaultTimeout;
    return bus.send(call);
}

bool DesktopNotifier::notifyPassEnded(int converted, int failed) {
    const QString body =
        QCoreApplication::translate("DesktopNotifier", "%n file(s) converted", nullptr, converted) +
        QStringLiteral(", ") +
        QCoreApplication::translate("DesktopNotifier", "%n failed", nullptr, failed);
    return notify(QCoreApplication::translate("DesktopNotifier", "Conversion finished"), body);
}
