// What metaflac prints, read back into tags: any bytes at all must give
// only the asked names, and never crash.
#include "conversion/MetaflacOutputParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray output(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList extra;
    const QVariantMap parsed = MetaflacOutputParser::parse(output, &extra);
    for (auto it = parsed.constBegin(); it != parsed.constEnd(); ++it) {
        if (!MetaflacOutputParser::streamNames().contains(it.key()) &&
            !MetaflacOutputParser::tagNames().contains(it.key())) {
            std::abort();
        }
    }
    return 0;
}
