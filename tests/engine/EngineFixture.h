// Tests against the recording engine: the engine's folders, its controls,
// and an owner that records what the host services ask of it.
#pragma once

#include <EngineMode.h>
#include <PlayerInstance.h>
#include <RecordingEngineClient.h>
#include <RecordingEngineControl.h>
#include <VantraPlayerManager.h>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Where the engine's C++ exceptions unwind through frames of any module
// (Linux's shared runtime; structured exceptions on 64-bit Windows), the guard
// catches an engine's own throw. A 32-bit Windows engine's runtime ends its
// process instead, before the host's frames are reached (CTest's
// engine.own-cpp-exception-ends-the-process shows that): in the 32-bit build,
// and for the 32-bit engines behind the 64-bit library.
bool EngineThrowsReachTheHost();

// A PlayerInstance whose slots record their arguments and answer `answer`.
class RecordingOwner : public PlayerInstance {
public:
    struct SlotCall {
        int slot;
        std::vector<intptr_t> args;
    };
    std::vector<SlotCall> slotCalls;
    int32_t answer = 0;
    bool throwFromSlots = false;
    int flushes = 0;
    // Runs once, inside the next InvalidateArea the engine asks for.
    std::function<void()> duringNextInvalidate;

    int32_t GetWindowSize(int32_t* width, int32_t* height) override;
    int32_t BlitRect(int32_t x, int32_t y, int32_t width, int32_t height) override;
    int32_t InvalidateArea(int32_t top, int32_t left, int32_t bottom, int32_t right) override;
    int32_t FillBackground(int32_t red, int32_t green, int32_t blue) override;
    int32_t ResizeDisplay(int32_t width, int32_t height) override;
    int32_t SetCursorType(int32_t cursorType) override;
    HWND GetWindowHandle() override;
    HBITMAP GetBackBufferBitmap() override;
    int32_t Reserved8(int32_t word) override;
    int32_t Reserved9(int32_t first, int32_t second) override;
    bool AskToKillScript() override;
    int32_t LockBackBuffer(void** pixels) override;
    int32_t UnlockBackBuffer() override;
    int32_t Reserved13(int32_t word) override;
    int32_t Reserved14() override;
    void FlushPainting() override;

private:
    int32_t Record(int slot, std::vector<intptr_t> args);
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static std::u16string FolderText(const char* engine) { return RecordingEngineClient::FolderText(engine); }
    static std::u16string EngineFile(const char* engine) { return RecordingEngineClient::EngineFile(engine); }

    VantraPlayerManager& Manager() { return *VantraPlayerManager::Get(true); }
    // An owner that outlives every instance the test leaves behind.
    RecordingOwner& NewOwner() { return owners.emplace_back(); }
    InstanceRecord* CreateInstance(RecordingOwner& owner, const char* engine = "recording");
    void DestroyInstance(RecordingOwner& owner);

    std::vector<RecordedCall> Calls() const { return client->Calls(); }
    std::vector<int32_t> Entries() const { return client->Entries(); }

    std::unique_ptr<RecordingEngineClient> client;  // keeps the recording engine loaded

private:
    std::vector<RecordingOwner*> live;
    std::deque<RecordingOwner> owners;  // destroyed after TearDown has destroyed the instances
};
