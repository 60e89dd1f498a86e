// The product DLL as a JVM uses it: loaded by path, each native found by its
// undecorated name with GetProcAddress and called with the JNI convention.
//
// On 32-bit x86 a JNICALL native is __stdcall: the JVM pushes the arguments
// (a jlong as two words, low word first in memory) and the native removes
// them. Every call goes through a thunk that checks, after the native
// returned, that the stack pointer is where it was before the arguments were
// pushed and that the callee-saved registers hold what they held. On 64-bit
// Windows there is one convention and the call is made directly.
#pragma once

#include <jni.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

class ProductLibrary {
public:
    explicit ProductLibrary(const std::u16string& path);
    ~ProductLibrary();
    ProductLibrary(const ProductLibrary&) = delete;
    ProductLibrary& operator=(const ProductLibrary&) = delete;

    HMODULE Module() const { return module_; }

    // Calls the export `name` with `args`; a missing export is recorded and
    // gives R's zero.
    template <typename R, typename... A>
    R Call(const char* name, A... args);

    std::set<std::string> called;     // exports called at least once
    std::vector<std::string> faults;  // missing exports, unbalanced stacks, clobbered registers

private:
    void* Find(const char* name);

#if defined(_WIN32) && !defined(_WIN64)
    static uint64_t CallWords(void* function, const std::vector<uint32_t>& words, const char* name,
                              std::vector<std::string>& faults);

    template <typename T>
    static void Push(std::vector<uint32_t>& words, T value) {
        static_assert(sizeof(T) <= 8, "one or two stack words");
        if constexpr (sizeof(T) == 8) {
            uint64_t bits;
            std::memcpy(&bits, &value, 8);
            words.push_back(static_cast<uint32_t>(bits));
            words.push_back(static_cast<uint32_t>(bits >> 32));
        } else if constexpr (std::is_pointer_v<T>) {
            words.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value)));
        } else {
            words.push_back(static_cast<uint32_t>(value));
        }
    }

    template <typename R>
    static R FromWords(uint64_t bits) {
        if constexpr (std::is_pointer_v<R>) {
            return reinterpret_cast<R>(static_cast<uintptr_t>(static_cast<uint32_t>(bits)));
        } else if constexpr (sizeof(R) == 8) {
            return static_cast<R>(bits);
        } else {
            return static_cast<R>(bits);  // the low bits hold the value (al, eax)
        }
    }
#endif

    HMODULE module_ = nullptr;
};

template <typename R, typename... A>
R ProductLibrary::Call(const char* name, A... args) {
    void* function = Find(name);
    if (!function) {
        if constexpr (std::is_void_v<R>) {
            return;
        } else {
            return R{};
        }
    }
#if defined(_WIN32) && !defined(_WIN64)
    std::vector<uint32_t> words;
    (Push(words, args), ...);
    uint64_t bits = CallWords(function, words, name, faults);
    if constexpr (!std::is_void_v<R>) return FromWords<R>(bits);
#else
    return reinterpret_cast<R(JNICALL*)(A...)>(function)(args...);
#endif
}
