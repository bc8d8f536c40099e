#pragma once

#include <QString>

// Notices on the desktop through the freedesktop notification service.
// Without a session bus, or without the service, nothing happens.
class DesktopNotifier {
public:
    // True when the notice was handed to the service.
    static bool notify(const QString& summary, const QString& body);
    // What the end of a pass says.
    static bool notifyPassEnded(int converted, int failed);
};
