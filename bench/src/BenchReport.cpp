#include "BenchReport.h"

#include <QFile>

namespace {
double statusField(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0.0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return 0.0;
}
} // namespace

double BenchReport::residentMegabytes() {
    return statusField("VmRSS:");
}
