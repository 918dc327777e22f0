// Writes LTC as raw 32-bit float mono samples to standard output, for pacat to play into a sink.
// Usage: soundserver_ltcplay RATE FPS HOURS SECONDS
// The signal starts at HOURS:00:00:00, lasts SECONDS and is made with libltc's encoder at -6 dBFS.
#include "ltcsignal.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s RATE FPS HOURS SECONDS\n", argv[0]);
        return 2;
    }
    const double rate = std::atof(argv[1]);
    const double fps = std::atof(argv[2]);
    const int hours = std::atoi(argv[3]);
    const double seconds = std::atof(argv[4]);
    if (rate < 8000 || fps <= 0 || hours < 0 || hours > 23 || seconds <= 0) {
        std::fprintf(stderr, "%s: bad arguments\n", argv[0]);
        return 2;
    }
    const auto signal = tavix::test::makeLtc(rate, fps, {hours, 0, 0, 0}, int(seconds * fps));
    // The reader goes away when its stream does (the sink or the server is gone); stop quietly then.
    const std::size_t written =
        std::fwrite(signal.samples.data(), sizeof(float), signal.samples.size(), stdout);
    return written == signal.samples.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
