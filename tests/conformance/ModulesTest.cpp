// Dynamic loading.
#include <DebugOutputCapture.h>
#include <Platform.h>
#include <RecordingEngineClient.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

#ifdef _WIN32
const char16_t kModuleName[] = u"conformance_module.dll";
#else
const char16_t kModuleName[] = u"libconformance_module.so";
#endif

// The test module sits beside the test program; the path uses backslashes,
// as the library builds engine paths.
std::u16string ModulePath(const char16_t* name) { return RecordingEngineClient::TestsFolder() + u"\\" + name; }

// Writes a file of the given text at the path and gives its path for the C
// library (the build folder's path is ASCII); empty when it cannot be written.
std::string WriteFileBeside(const std::u16string& path, const char* contents) {
    std::string narrow(path.begin(), path.end());
    for (char& c : narrow) c = c == '\\' ? '/' : c;
    std::FILE* file = std::fopen(narrow.c_str(), "wb");
    if (!file) return std::string();
    std::fputs(contents, file);
    std::fclose(file);
    return narrow;
}

}  // namespace

TEST(Modules, LoadingAMissingFileGivesNull) {
    std::u16string path = ModulePath(u"no_such_module.dll");
    EXPECT_EQ(LoadLibraryW(AsWide(path.c_str())), nullptr);
    EXPECT_NE(GetLastError(), 0u);
}

TEST(Modules, LoadedModuleGivesItsExportsAndItsHandleBack) {
    std::u16string path = ModulePath(kModuleName);
    HMODULE module = LoadLibraryW(AsWide(path.c_str()));
    ASSERT_NE(module, nullptr);
    auto answer = ProcAddress<int (*)()>(module, "ConformanceAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
    EXPECT_EQ(ModuleOfAddress(reinterpret_cast<const void*>(answer)), module);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Modules, ModuleOfOwnCodeIsNotTheTestModule) {
    std::u16string path = ModulePath(kModuleName);
    HMODULE module = LoadLibraryW(AsWide(path.c_str()));
    ASSERT_NE(module, nullptr);
    HMODULE own = ModuleOfAddress(reinterpret_cast<const void*>(&ModulePath));
    EXPECT_NE(own, nullptr);
    EXPECT_NE(own, module);
    FreeLibrary(module);
}

TEST(Modules, FailuresCarryTheSystemsErrorAndItsText) {
    std::u16string missing = ModulePath(u"no_such_module.dll");
    EXPECT_EQ(LoadLibraryW(AsWide(missing.c_str())), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    // A file that is no module of this system.
    std::u16string textFile = ModulePath(u"not_a_module.dll");
    std::string narrow = WriteFileBeside(textFile, "not a module\n");
    ASSERT_FALSE(narrow.empty());
    EXPECT_EQ(LoadLibraryW(AsWide(textFile.c_str())), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    std::remove(narrow.c_str());

    WCHAR text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  ERROR_MOD_NOT_FOUND, 0, text, 512, nullptr);
    ASSERT_GT(length, 2u);
    EXPECT_EQ(text[length], 0);
    EXPECT_EQ(text[length - 1], u'\n');
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 0x0FFFFFFF, 0, text,
                             512, nullptr),
              0u);
}

TEST(Modules, FullPathsKeepAbsoluteOnesAndPlaceRelativeOnesInTheCurrentFolder) {
    std::u16string absolute = ModulePath(kModuleName);
    WCHAR full[1024];
    LPWSTR name = nullptr;
    DWORD length = GetFullPathNameW(AsWide(absolute.c_str()), 1024, full, &name);
    EXPECT_EQ(std::u16string(AsUtf16(full), length), absolute);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::u16string(AsUtf16(name)), std::u16string(kModuleName));

    length = GetFullPathNameW(AsWide(u"stagerun.dll"), 1024, full, &name);
    std::u16string relative(AsUtf16(full), length);
    EXPECT_GT(relative.size(), std::u16string(u"/stagerun.dll").size());
    EXPECT_EQ(relative.substr(relative.size() - 12), u"stagerun.dll");
    char16_t separator = relative[relative.size() - 13];
    EXPECT_TRUE(separator == u'\\' || separator == u'/');
    EXPECT_EQ(GetFullPathNameW(AsWide(absolute.c_str()), 4, full, nullptr), absolute.size() + 1);  // the size needed
}

TEST(DebugOutput, TextsReachACaptureWithoutADebugger) {
    DebugOutputCapture capture;
    OutputDebugStringW(AsWide(u"first line\n"));
    OutputDebugStringW(AsWide(u"second line\n"));
    EXPECT_EQ(capture.Take(), (std::vector<std::u16string>{u"first line\n", u"second line\n"}));
    EXPECT_TRUE(capture.Take().empty());
}

TEST(Files, AFileReadsToItsEndThenGivesNothing) {
    std::u16string path = ModulePath(u"read_me.bin");
    std::string narrow = WriteFileBeside(path, "MZ and more");
    ASSERT_FALSE(narrow.empty());
    HANDLE handle = CreateFileW(AsWide(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    char buffer[8];
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(handle, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "MZ and m");
    EXPECT_TRUE(ReadFile(handle, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "ore");
    EXPECT_TRUE(ReadFile(handle, buffer, sizeof buffer, &read, nullptr));  // the end: success, nothing
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(CloseHandle(handle));
    std::remove(narrow.c_str());

    std::u16string missing = ModulePath(u"no_such_file.bin");
    EXPECT_EQ(CreateFileW(AsWide(missing.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
