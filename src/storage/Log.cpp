#include "Log.h"

#include <cstdio>

void Log::write(const QString& message) {
    const QByteArray line = message.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
