// Which processor an engine file was built for, from its header alone.
#include <ModuleArchitecture.h>
#include <RecordingEngineClient.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

std::vector<uint8_t> PeHeader(uint16_t machine, uint32_t peOffset = 0x80) {
    std::vector<uint8_t> header(0x200, 0);
    header[0] = 'M';
    header[1] = 'Z';
    for (int i = 0; i < 4; ++i) header[0x3C + i] = static_cast<uint8_t>(peOffset >> (8 * i));
    if (peOffset + 6 <= header.size()) {
        header[peOffset] = 'P';
        header[peOffset + 1] = 'E';
        header[peOffset + 4] = static_cast<uint8_t>(machine);
        header[peOffset + 5] = static_cast<uint8_t>(machine >> 8);
    }
    return header;
}

std::vector<uint8_t> ElfHeader(uint16_t machine) {
    std::vector<uint8_t> header(64, 0);
    header[0] = 0x7F;
    header[1] = 'E';
    header[2] = 'L';
    header[3] = 'F';
    header[18] = static_cast<uint8_t>(machine);
    header[19] = static_cast<uint8_t>(machine >> 8);
    return header;
}

ModuleArchitecture Of(const std::vector<uint8_t>& header) { return ModuleArchitectureOf(header.data(), header.size()); }

}  // namespace

TEST(ModuleArchitecture, ThePeAndElfMachinesOfBothProcessors) {
    EXPECT_EQ(Of(PeHeader(0x014C)), ModuleArchitecture::X86);
    EXPECT_EQ(Of(PeHeader(0x8664)), ModuleArchitecture::X64);
    EXPECT_EQ(Of(PeHeader(0xAA64)), ModuleArchitecture::Unknown);  // ARM64
    EXPECT_EQ(Of(ElfHeader(3)), ModuleArchitecture::X86);
    EXPECT_EQ(Of(ElfHeader(62)), ModuleArchitecture::X64);
    EXPECT_EQ(Of(ElfHeader(183)), ModuleArchitecture::Unknown);  // AArch64
}

TEST(ModuleArchitecture, BrokenHeadersAreUnknown) {
    EXPECT_EQ(Of(PeHeader(0x014C, 0x1FC)), ModuleArchitecture::Unknown);  // the machine past the bytes read
    EXPECT_EQ(Of(PeHeader(0x014C, 0xFFFFFFF0)), ModuleArchitecture::Unknown);
    std::vector<uint8_t> noSignature = PeHeader(0x014C);
    noSignature[0x81] = 'X';
    EXPECT_EQ(Of(noSignature), ModuleArchitecture::Unknown);
    std::vector<uint8_t> shortElf = ElfHeader(3);
    shortElf.resize(19);
    EXPECT_EQ(Of(shortElf), ModuleArchitecture::Unknown);
    EXPECT_EQ(ModuleArchitectureOf(nullptr, 0), ModuleArchitecture::Unknown);
}

TEST(ModuleArchitecture, OurEnginesAreBuiltForTheLibrarysProcessor) {
    EXPECT_EQ(ReadModuleArchitecture(RecordingEngineClient::EngineFile("recording")), OwnArchitecture());
    EXPECT_EQ(ReadModuleArchitecture(RecordingEngineClient::EngineFile("no-such-engine")), ModuleArchitecture::Unknown);
    EXPECT_EQ(OwnArchitecture(), sizeof(void*) == 8 ? ModuleArchitecture::X64 : ModuleArchitecture::X86);
}
