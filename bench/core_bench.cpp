// Throughput of the byte buffer's ring and of settings-file save and load.
// Run: build/bench/bench_core
#include "options/OptionDefaults.h"
#include "options/OptionStore.h"
#include "util/ByteBuffer.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BenchRingTraffic() {
    brivox::CByteBuffer buffer;
    uint8_t chunk[128] = {};
    const int rounds = 2'000'000;
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        buffer.Append(chunk, sizeof chunk);
        buffer.Consume(sizeof chunk, chunk);
    }
    const double seconds = SecondsSince(start);
    std::printf("byte buffer: 128-byte append+consume: %.1f ns each, %.0f MB/s, capacity %d\n",
                seconds / rounds * 1e9, rounds * 128.0 / seconds / 1e6, buffer.GetCapacity());
}

void BenchSettingsFile() {
    brivox::COptionStore store;
    brivox::RegisterDefaultOptions(store, "eng");
    for (int i = 0; i < 1000; ++i)
        store.SetString("history." + std::to_string(i), std::string(200, 'x'));
    brivox::CByteBuffer image;
    store.Serialize(image);
    const int rounds = 200;
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        brivox::COptionStore loaded;
        loaded.LoadFromImage(image, false);
    }
    const double seconds = SecondsSince(start);
    std::printf("option store: load of %d entries (%d bytes): %.3f ms each\n",
                static_cast<int>(store.GetEntries().size()), image.GetLength(),
                seconds / rounds * 1e3);
}

} // namespace

int main() {
    BenchRingTraffic();
    BenchSettingsFile();
    return 0;
}
