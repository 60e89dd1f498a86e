// Dynamic loading.
#include <Platform.h>
#include <gtest/gtest.h>

#include <string>

namespace {

#ifdef _WIN32
const char16_t kModuleName[] = u"conformance_module.dll";
#else
const char16_t kModuleName[] = u"libconformance_module.so";
#endif

// The test module sits beside the test program; the path uses backslashes,
// as the library builds engine paths.
std::u16string ModulePath(const char16_t* name) {
    WCHAR buffer[1024];
    DWORD length = GetModuleFileNameW(nullptr, buffer, 1024);
    std::u16string path(AsUtf16(buffer), length);
    size_t slash = path.find_last_of(u"\\/");
    return path.substr(0, slash) + u"\\" + name;
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
