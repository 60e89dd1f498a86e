// Child processes: the engine process is one, reached through inherited pipes.
#include <Platform.h>
#include <RecordingEngineClient.h>
#include <gtest/gtest.h>

#include <cstdint>
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

// The pipes of a child's standard input and output; our ends are not inherited.
struct ChildPipes {
    HANDLE childInput = nullptr, toChild = nullptr, fromChild = nullptr, childOutput = nullptr;
    bool Open() {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        if (!CreatePipe(&childInput, &toChild, &inheritable, 0)) return false;
        if (!CreatePipe(&fromChild, &childOutput, &inheritable, 0)) return false;
        // A child holding the writing end would never see its input end.
        SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);
        return true;
    }
    // Opens the pipes and starts the child with them; the child's ends are
    // then closed here, the child has them.
    bool StartChild(Child& child, const char16_t* mode) {
        if (!Open()) return false;
        Start(child, mode, childInput, childOutput);
        CloseHandle(childInput);
        CloseHandle(childOutput);
        return child.started;
    }
    void Send(const std::string& text) const {
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(toChild, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    }
    // Everything the child writes until its output ends.
    std::string ReadAll() const {
        std::string received;
        char buffer[256];
        DWORD read = 0;
        while (ReadFile(fromChild, buffer, sizeof buffer, &read, nullptr) && read > 0) received.append(buffer, read);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
        return received;
    }
    ~ChildPipes() {
        if (toChild) CloseHandle(toChild);
        if (fromChild) CloseHandle(fromChild);
    }
};

DWORD ExitCodeOnceEnded(const Child& child) {
    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(child.info.hProcess, &code));
    return code;
}

}  // namespace

TEST(Processes, AChildEchoesThroughInheritedPipesAndItsExitCodeArrives) {
    ChildPipes pipes;
    Child child;
    ASSERT_TRUE(pipes.StartChild(child, u"echo"));
    const std::string sent = "a frame's bytes, and more";
    pipes.Send(sent);
    CloseHandle(pipes.toChild);
    pipes.toChild = nullptr;
    EXPECT_EQ(pipes.ReadAll(), sent);
    EXPECT_EQ(ExitCodeOnceEnded(child), 7u);
}

// How the engine process comes to see the window's back buffer.
TEST(Processes, AMappingDuplicatedIntoAChildIsTheSameMemoryThere) {
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 65536, nullptr);
    ASSERT_NE(section, nullptr);
    auto* view = static_cast<volatile uint32_t*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    ChildPipes pipes;
    Child child;
    ASSERT_TRUE(pipes.StartChild(child, u"map"));
    HANDLE remote = nullptr;
    ASSERT_TRUE(
        DuplicateHandle(GetCurrentProcess(), section, child.info.hProcess, &remote, 0, FALSE, DUPLICATE_SAME_ACCESS));
    pipes.Send(std::to_string(reinterpret_cast<intptr_t>(remote)) + "\n");
    EXPECT_EQ(pipes.ReadAll(), "mapped");
    EXPECT_EQ(ExitCodeOnceEnded(child), 0u);
    EXPECT_EQ(view[0], 0x5EC7104u) << "the child's write is in our view";
    UnmapViewOfFile(const_cast<uint32_t*>(view));
    CloseHandle(section);
}

// How the tests hand the engine process the recording engine's file.
TEST(Processes, TheEnvironmentIsSetReadAndInherited) {
    const char16_t name[] = u"VP_CONFORMANCE_VARIABLE";
    ASSERT_TRUE(SetEnvironmentVariableW(AsWide(name), AsWide(u"a value")));
    WCHAR small[3];
    EXPECT_EQ(GetEnvironmentVariableW(AsWide(name), small, 3), 8u) << "the room it needs, its end included";
    WCHAR value[32];
    ASSERT_EQ(GetEnvironmentVariableW(AsWide(name), value, 32), 7u);
    EXPECT_EQ(std::u16string(AsUtf16(value)), u"a value");

    ChildPipes pipes;
    Child child;
    ASSERT_TRUE(pipes.StartChild(child, u"env VP_CONFORMANCE_VARIABLE"));
    EXPECT_EQ(pipes.ReadAll(), "a value");
    EXPECT_EQ(ExitCodeOnceEnded(child), 0u);

    ASSERT_TRUE(SetEnvironmentVariableW(AsWide(name), nullptr));
    EXPECT_EQ(GetEnvironmentVariableW(AsWide(name), value, 32), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
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
