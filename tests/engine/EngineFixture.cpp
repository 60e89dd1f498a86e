#include "EngineFixture.h"

#include <ModuleArchitecture.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

int32_t RecordingOwner::Record(int slot, std::vector<intptr_t> args) {
    slotCalls.push_back(SlotCall{slot, std::move(args)});
    if (throwFromSlots) throw std::runtime_error("slot");
    return answer;
}

int32_t RecordingOwner::GetWindowSize(int32_t* width, int32_t* height) {
    *width = 640;
    *height = 480;
    return Record(0, {});
}
int32_t RecordingOwner::BlitRect(int32_t x, int32_t y, int32_t w, int32_t h) { return Record(1, {x, y, w, h}); }
int32_t RecordingOwner::InvalidateArea(int32_t t, int32_t l, int32_t b, int32_t r) {
    if (duringNextInvalidate) std::exchange(duringNextInvalidate, nullptr)();
    return Record(2, {t, l, b, r});
}
int32_t RecordingOwner::FillBackground(int32_t r, int32_t g, int32_t b) { return Record(3, {r, g, b}); }
int32_t RecordingOwner::ResizeDisplay(int32_t w, int32_t h) { return Record(4, {w, h}); }
int32_t RecordingOwner::SetCursorType(int32_t type) { return Record(5, {type}); }
HWND RecordingOwner::GetWindowHandle() {
    Record(6, {});
    return reinterpret_cast<HWND>(static_cast<intptr_t>(0x1230));
}
HBITMAP RecordingOwner::GetBackBufferBitmap() {
    Record(7, {});
    return reinterpret_cast<HBITMAP>(static_cast<intptr_t>(0x4560));
}
int32_t RecordingOwner::Reserved8(int32_t word) { return Record(8, {word}); }
int32_t RecordingOwner::Reserved9(int32_t a, int32_t b) { return Record(9, {a, b}); }
bool RecordingOwner::AskToKillScript() { return Record(10, {}) != 0; }
int32_t RecordingOwner::LockBackBuffer(void** pixels) {
    *pixels = this;
    return Record(11, {});
}
int32_t RecordingOwner::UnlockBackBuffer() { return Record(12, {}); }
int32_t RecordingOwner::Reserved13(int32_t word) { return Record(13, {word}); }
int32_t RecordingOwner::Reserved14() { return Record(14, {}); }
void RecordingOwner::FlushPainting() {
    ++flushes;
    if (throwFromSlots) throw std::runtime_error("flush");
}

void EngineTest::SetUp() {
    client = std::make_unique<RecordingEngineClient>();
    ASSERT_TRUE(client->Loaded()) << "the recording engine must be built";
}

void EngineTest::TearDown() {
    // Leave the manager idle for the next test.
    for (RecordingOwner* owner : std::vector<RecordingOwner*>(live)) DestroyInstance(*owner);
    client.reset();
}

InstanceRecord* EngineTest::CreateInstance(RecordingOwner& owner, const char* engineName) {
    Manager().SetPlayerFolder(FolderText(engineName));
    owner.instanceRecord = Manager().CreatePlayerInstance(&owner);
    if (owner.instanceRecord) live.push_back(&owner);
    return owner.instanceRecord;
}

void EngineTest::DestroyInstance(RecordingOwner& owner) {
    // An instance whose engine process ended has no record left to destroy.
    if (owner.instanceRecord) Manager().DestroyPlayerInstance(owner.instanceRecord);
    owner.instanceRecord = nullptr;
    live.erase(std::remove(live.begin(), live.end(), &owner), live.end());
}

bool EngineThrowsReachTheHost() {
#ifdef _WIN32
    return ReadModuleArchitecture(RecordingEngineClient::EngineFile("recording")) != ModuleArchitecture::X86;
#else
    return true;
#endif
}
