// The host services called the way a broken or hostile engine could call
// them: from inside the host's DoPlay, with null, ownerless and real records,
// extreme rectangles, colours and sizes, null out-pointers and texts, mixed
// with input messages of any parameters. The host window must keep working:
// nothing crashes, sanitizers stay quiet, no DC or GDI object is left behind.
#include <HostServices.h>
#include <RecordingEngineClient.h>
#include <VantraPlayerManager.h>
#include <VantraPlayerWnd.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <headless_control.h>

#include <cstring>

#include "FuzzCheck.h"

namespace {

struct Host {
    RecordingEngineClient engine;
    HWND parent = nullptr;
    CPlayerWnd* window = nullptr;
    int liveDCs = 0;
    int liveObjects = 0;

    Host() {
        FUZZ_CHECK(engine.Loaded());
        parent = headless::CreateTopLevelWindow(0, 0, 640, 480);
        window = new CPlayerWnd();
        window->SetPlayerFolder(RecordingEngineClient::FolderText("recording"));
        FUZZ_CHECK(window->CreateHostWindow(parent));
        ShowWindow(window->GetSafeHwnd(), SW_SHOWNORMAL);
        MoveWindow(window->GetSafeHwnd(), 10, 10, 200, 150, TRUE);
        window->BlitRect(0, 0, 1, 1);  // the window keeps the DC of its first blit
        headless::RunUntilIdle();
        liveDCs = headless::CountLiveDCs();
        liveObjects = headless::CountLiveGdiObjects();
    }
};

Host& TheHost() {
    static Host* host = new Host();  // lives as long as the process: the engine stays loaded
    return *host;
}

const UINT kInputMessages[] = {WM_MOUSEMOVE,   WM_LBUTTONDOWN, WM_LBUTTONUP,     WM_LBUTTONDBLCLK,
                               WM_RBUTTONDOWN, WM_MOUSEWHEEL,  WM_MOUSELEAVE,    WM_SETCURSOR,
                               WM_KEYDOWN,     WM_CHAR,        WM_CAPTURECHANGED};

InstanceRecord* PickRecord(FuzzedDataProvider& input, InstanceRecord* real, InstanceRecord* ownerless) {
    switch (input.ConsumeIntegralInRange(0, 7)) {
        case 0: return nullptr;
        case 1: return ownerless;
        default: return real;
    }
}

void CallOne(FuzzedDataProvider& input, HostServices& services, InstanceRecord* real) {
    InstanceRecord ownerless{0, nullptr};
    InstanceRecord* record = PickRecord(input, real, &ownerless);
    auto word = [&] { return input.ConsumeIntegral<int32_t>(); };
    EngineEntry* entries = services.entries;
    switch (input.ConsumeIntegralInRange(0, 16)) {
        case 0: {
            int32_t width = 0, height = 0;
            bool nullOut = input.ConsumeBool();
            EntryAs<service::GetWindowSize>(entries[kServiceGetWindowSize])(record, nullOut ? nullptr : &width,
                                                                            nullOut ? nullptr : &height);
            break;
        }
        case 1: EntryAs<service::FourWords>(entries[kServiceBlitRect])(record, word(), word(), word(), word()); break;
        case 2:
            EntryAs<service::FourWords>(entries[kServiceInvalidateArea])(record, word(), word(), word(), word());
            break;
        case 3: EntryAs<service::ThreeWords>(entries[kServiceFillBackground])(record, word(), word(), word()); break;
        case 4: EntryAs<service::TwoWords>(entries[kServiceResizeDisplay])(record, word(), word()); break;
        case 5: EntryAs<service::OneWord>(entries[kServiceSetCursorType])(record, word()); break;
        case 6:
            EntryAs<service::GetWindowHandle>(entries[kServiceGetWindowHandle])(record);
            EntryAs<service::GetBackBufferBitmap>(entries[kServiceGetBackBufferBitmap])(record);
            break;
        case 7: {
            std::string text = input.ConsumeRandomLengthString(4096);
            EntryAs<service::Trace>(entries[kServiceTrace])(record, input.ConsumeBool() ? nullptr : text.c_str());
            break;
        }
        case 8: EntryAs<service::AskToKillScript>(entries[kServiceAskToKillScript])(record); break;
        case 9: {
            void* pixels = nullptr;
            bool nullOut = input.ConsumeBool();
            int32_t locked =
                EntryAs<service::LockBackBuffer>(entries[kServiceLockBackBuffer])(record, nullOut ? nullptr : &pixels);
            if (locked == 0 && pixels) std::memset(pixels, 0x5A, 64);  // the buffer is at least 100 x 100
            if (input.ConsumeBool()) EntryAs<service::RecordOnly>(entries[kServiceUnlockBackBuffer])(record);
            break;
        }
        case 10: {
            int32_t result = 7;
            EntryAs<service::ClearResultWord>(entries[kServiceClearResultWord])(
                record, word(), input.ConsumeBool() ? nullptr : &result);
            break;
        }
        case 11: EntryAs<service::FlushPainting>(entries[kServiceFlushPainting])(record, word(), word()); break;
        case 12: {
            std::string request = input.ConsumeRandomLengthString(4096);
            char* reply = nullptr;
            bool nullReply = input.ConsumeBool();
            EntryAs<service::CallFunction>(entries[kServiceCallFunction])(
                record, input.ConsumeBool() ? nullptr : request.c_str(), nullReply ? nullptr : &reply);
            EntryAs<service::Free>(entries[kFree])(reply);
            break;
        }
        case 13: {
            void* block =
                EntryAs<service::Allocate>(entries[kAllocate])(input.ConsumeIntegralInRange<uint32_t>(0, 1 << 20));
            EntryAs<service::Free>(entries[kFree])(block);
            break;
        }
        case 14: {
            static const int kNoService[] = {11, 15, 16, 17, 18, 19};
            EntryAs<service::RecordOnly>(entries[input.PickValueInArray(kNoService)])(record);
            EntryAs<service::AlwaysFalse>(entries[kServiceAlwaysFalse])();
            break;
        }
        case 15: {
            HWND hwnd = TheHost().window->GetSafeHwnd();
            SendMessageW(hwnd, input.PickValueInArray(kInputMessages), input.ConsumeIntegral<WPARAM>(),
                         input.ConsumeIntegral<LPARAM>());
            break;
        }
        case 16: UpdateWindow(TheHost().window->GetSafeHwnd()); break;
    }
}

struct Session {
    FuzzedDataProvider* input;
};

void RunSession(InstanceRecord* record, HostServices* services, void* context) {
    FuzzedDataProvider& input = *static_cast<Session*>(context)->input;
    for (int call = 0; call < 32 && input.remaining_bytes() > 0; ++call) CallOne(input, *services, record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Host& host = TheHost();
    FuzzedDataProvider input(data, size);
    Session session{&input};
    host.engine.reset();
    host.engine.setCallback(kDoPlay, RunSession, &session);
    FUZZ_CHECK(host.window->DoPlay());
    host.engine.setCallback(kDoPlay, nullptr, nullptr);

    // Leave the window as every input finds it.
    HWND hwnd = host.window->GetSafeHwnd();
    host.window->UnlockBackBuffer();
    MoveWindow(hwnd, 10, 10, 200, 150, TRUE);
    headless::RunUntilIdle();
    headless::TakeShownMessageBoxes();
    ReleaseCapture();
    FUZZ_CHECK(IsWindow(hwnd) && host.window->GetInstanceRecord() != nullptr);
    FUZZ_CHECK(host.window->DcUseCount() == 0);
    FUZZ_CHECK(headless::CountLiveDCs() == host.liveDCs);
    FUZZ_CHECK(headless::CountLiveGdiObjects() == host.liveObjects);
    return 0;
}
