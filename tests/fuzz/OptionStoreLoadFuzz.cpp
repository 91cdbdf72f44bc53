// Any byte sequence loads without a crash, an out-of-bounds read or an allocation larger than
// the input suggests; what loads saves and loads back to the same entries.
#include "options/OptionStore.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    brivox::CByteBuffer image;
    image.Append(data, static_cast<int32_t>(size));
    brivox::COptionStore store;
    store.LoadFromImage(image, false);

    brivox::CByteBuffer saved;
    if (!store.Serialize(saved))
        std::abort(); // loaded names are never empty
    brivox::COptionStore again;
    brivox::COptionLoadReport report;
    again.LoadFromImage(saved, false, &report);
    if (report.outcome != brivox::COptionLoadReport::Outcome::Complete ||
        again.GetEntries().size() != store.GetEntries().size())
        std::abort();
    return 0;
}
