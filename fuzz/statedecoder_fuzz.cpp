// Feeds arbitrary bytes to the state-file decoder: it must return a state or an error, never crash,
// hang or read out of bounds. A decoded state must also survive being written and read again, and
// what is written must be well-formed XML, whatever a binary list carried.
#include "model/statecodec.h"

#include <QXmlStreamReader>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const auto state = tavix::decodeStateFile(bytes, &error);
    if (!state) {
        if (error.isEmpty()) {
            std::abort(); // a failure must say why
        }
        return 0;
    }
    const auto encoded = tavix::encodeStateFile(*state, &error);
    if (!encoded || !tavix::decodeStateFile(*encoded, &error)) {
        std::abort(); // what we read, we must be able to write and read back
    }
    QXmlStreamReader xml(*encoded);
    while (!xml.atEnd()) {
        xml.readNext();
    }
    if (xml.hasError()) {
        std::abort(); // standard readers must take every file Tavix writes
    }
    return 0;
}
