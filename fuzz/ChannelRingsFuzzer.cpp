// The shared rings from a hostile other side, which may write anything into
// the mapping, counters included: reading takes no more than a ring holds
// and never reads outside it, a broken counter is seen as one, writing
// never claims more than it was given, and what is read decodes as the
// frame reader decodes any bytes.
#include <EngineChannel.h>
#include <SharedRings.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <vector>

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    HANDLE section = SharedRings::CreateSection();
    FUZZ_CHECK(section != nullptr);
    HANDLE ours = nullptr;
    FUZZ_CHECK(
        DuplicateHandle(GetCurrentProcess(), section, GetCurrentProcess(), &ours, 0, FALSE, DUPLICATE_SAME_ACCESS));
    {
        // The other side's view: its header words, then bytes in the ring it writes.
        auto* view = static_cast<uint8_t*>(MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
        FUZZ_CHECK(view != nullptr);
        std::vector<uint8_t> header = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 4096));
        if (!header.empty()) std::memcpy(view, header.data(), header.size());
        std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
        size_t ring = 4096 + SharedRings::kRingBytes;  // the other side's ring, the second
        if (!bytes.empty())
            std::memcpy(view + ring, bytes.data(), std::min(bytes.size(), size_t{SharedRings::kRingBytes}));
        UnmapViewOfFile(view);
    }
    SharedRings rings(ours, 0);
    FUZZ_CHECK(rings.Mapped());
    FrameReader reader;
    long read = rings.ReadInto(reader);
    FUZZ_CHECK(read >= -1 && read <= static_cast<long>(SharedRings::kRingBytes));
    ChannelFrame frame;
    while (reader.Next(&frame) == ChannelFrame::Decoded::Complete) FUZZ_CHECK(!frame.Encode().empty());
    const uint8_t payload[64] = {};
    long written = rings.Write(payload, sizeof payload);
    FUZZ_CHECK(written >= -1 && written <= static_cast<long>(sizeof payload));
    CloseHandle(section);
    return 0;
}
