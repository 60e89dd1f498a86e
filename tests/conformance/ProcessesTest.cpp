// Child processes: the engine process is one, reached through inherited pipes.
#include <Platform.h>
#include <RecordingEngineClient.h>
#include <gtest/gtest.h>

#include <string>

namespace {

#ifdef _WIN32
const char16_t kChildName[] = u"conformance_child.exe";
#else
const char16_t kChildName[] = u"conformance_child";
#endif

std::u16string ChildPath() { return RecordingEngineClient::TestsFolder() + u"\\" + kChildName; }

// A started child, its handles closed at the end.
struct Child {
    PROCESS_INFORMATION info{};
    bool started = false;
    ~Child() {
        if (!started) return;
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

void Start(Child& child, const char16_t* mode, HANDLE input = nullptr, HANDLE output = nullptr) {
    std::u16string path = ChildPath();
    std::u16string line = u"\"" + path + u"\" " + mode;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (input || output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = output;
    }
    child.started = CreateProcessW(AsWide(path.c_str()), AsWide(&line[0]), nullptr, nullptr, input || output, 0,
                                   nullptr, nullptr, &startup, &child.info) != FALSE;
}

}  // namespace

TEST(Processes, AChildEchoesThroughInheritedPipesAndItsExitCodeArrives) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE childInput = nullptr, toChild = nullptr, fromChild = nullptr, childOutput = nullptr;
    ASSERT_TRUE(CreatePipe(&childInput, &toChild, &inheritable, 0));
    ASSERT_TRUE(CreatePipe(&fromChild, &childOutput, &inheritable, 0));
    // Our own ends stay ours: a child holding the writing end would never see its input end.
    SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);
    Child child;
    Start(child, u"echo", childInput, childOutput);
    CloseHandle(childInput);
    CloseHandle(childOutput);
    ASSERT_TRUE(child.started);

    const std::string sent = "a frame's bytes, and more";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(toChild, sent.data(), static_cast<DWORD>(sent.size()), &written, nullptr));
    CloseHandle(toChild);
    std::string received;
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(fromChild, buffer, sizeof buffer, &read, nullptr) && read > 0) received.append(buffer, read);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    CloseHandle(fromChild);
    EXPECT_EQ(received, sent);

    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(child.info.hProcess, &code));
    EXPECT_EQ(code, 7u);
}

TEST(Processes, AChildThatDoesNotEndIsEndedWithTheCodeGiven) {
    Child child;
    Start(child, u"wait");
    ASSERT_TRUE(child.started);
    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(child.info.hProcess, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(TerminateProcess(child.info.hProcess, 9));
    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(GetExitCodeProcess(child.info.hProcess, &code));
    EXPECT_EQ(code, 9u);
}
