// The engine process's frames from hostile bytes: the reader never reads
// outside what it was given, takes only frames that read back the same when
// written again, and a reader fed the same bytes in pieces agrees with one
// fed them whole.
#include <ChannelFrame.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "FuzzCheck.h"

namespace {

std::vector<ChannelFrame> ReadAll(const uint8_t* data, size_t size, size_t piece, bool* broken) {
    FrameReader reader;
    std::vector<ChannelFrame> frames;
    for (size_t at = 0; at < size; at += piece) {
        reader.Feed(data + at, std::min(piece, size - at));
        ChannelFrame frame;
        ChannelFrame::Decoded result;
        while ((result = reader.Next(&frame)) == ChannelFrame::Decoded::Complete) frames.push_back(frame);
    }
    *broken = reader.Broken();
    return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t piece = data[0] % 16 + 1;
    ++data;
    --size;
    bool brokenWhole = false, brokenInPieces = false;
    std::vector<ChannelFrame> whole = ReadAll(data, size, size ? size : 1, &brokenWhole);
    std::vector<ChannelFrame> pieces = ReadAll(data, size, piece, &brokenInPieces);
    FUZZ_CHECK(brokenWhole == brokenInPieces);
    FUZZ_CHECK(whole.size() == pieces.size());
    size_t offset = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
        FUZZ_CHECK(whole[i] == pieces[i]);
        std::vector<uint8_t> again = whole[i].Encode();
        FUZZ_CHECK(!again.empty());
        FUZZ_CHECK(offset + again.size() <= size);
        FUZZ_CHECK(std::equal(again.begin(), again.end(), data + offset));  // the very bytes it came from
        offset += again.size();
    }
    return 0;
}
