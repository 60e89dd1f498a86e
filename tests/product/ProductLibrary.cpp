#include "ProductLibrary.h"

#include <string>

ProductLibrary::ProductLibrary(const std::u16string& path) {
    module_ = LoadLibraryW(reinterpret_cast<const WCHAR*>(path.c_str()));
}

ProductLibrary::~ProductLibrary() {
    if (module_) FreeLibrary(module_);
}

void* ProductLibrary::Find(const char* name) {
    called.insert(name);
    void* function = module_ ? reinterpret_cast<void*>(GetProcAddress(module_, name)) : nullptr;
    if (!function) faults.push_back(std::string(name) + ": no such export");
    return function;
}

#if defined(_WIN32) && !defined(_WIN64)

// uint64_t CallStdcallChecked(void* function, const uint32_t* words, uint32_t count, int32_t outcome[2])
// Pushes count words (words[0] last, so it lies lowest, as the first
// argument), loads sentinels into the callee-saved registers and calls.
// outcome[0]: how far the stack pointer moved across the call (0 when the
// callee removed exactly its arguments); outcome[1]: 1 when ebx, esi or edi
// came back changed. The result comes back in edx:eax untouched.
asm(R"(
    .text
    .globl _CallStdcallChecked
_CallStdcallChecked:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $4, %esp
    movl %esp, -16(%ebp)
    movl 12(%ebp), %edx
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    pushl -4(%edx,%ecx,4)
    decl %ecx
    jmp 1b
2:  movl $0x5EB5EB01, %ebx
    movl $0x5EB5EB02, %esi
    movl $0x5EB5EB03, %edi
    call *8(%ebp)
    xorl %ecx, %ecx
    cmpl $0x5EB5EB01, %ebx
    jne 3f
    cmpl $0x5EB5EB02, %esi
    jne 3f
    cmpl $0x5EB5EB03, %edi
    je 4f
3:  movl $1, %ecx
4:  movl %esp, %ebx
    subl -16(%ebp), %ebx
    movl 20(%ebp), %esi
    movl %ebx, (%esi)
    movl %ecx, 4(%esi)
    movl -16(%ebp), %esp
    addl $4, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

extern "C" uint64_t CallStdcallChecked(void* function, const uint32_t* words, uint32_t count, int32_t* outcome);

uint64_t ProductLibrary::CallWords(void* function, const std::vector<uint32_t>& words, const char* name,
                                   std::vector<std::string>& faults) {
    int32_t outcome[2] = {0, 0};
    uint64_t bits = CallStdcallChecked(function, words.data(), static_cast<uint32_t>(words.size()), outcome);
    if (outcome[0] != 0) {
        faults.push_back(std::string(name) + ": the stack pointer moved by " + std::to_string(outcome[0]) +
                         " bytes across the call (" + std::to_string(words.size() * 4) + " bytes of arguments)");
    }
    if (outcome[1] != 0) faults.push_back(std::string(name) + ": a callee-saved register changed");
    return bits;
}

#endif
