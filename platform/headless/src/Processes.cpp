// Child processes: started with the standard handles given, waited for
// through a pidfd, their exit codes in Windows' terms.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "Backend.h"

extern char** environ;

using namespace headless;

namespace {

constexpr DWORD kAccessViolation = 0xC0000005;
constexpr DWORD kAbortExitCode = 3;  // what abort() leaves on Windows

// The arguments of a command line, split as Windows splits one.
std::vector<std::string> SplitCommandLine(const std::u16string& line) {
    std::vector<std::string> arguments;
    std::u16string current;
    bool quoted = false, any = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char16_t c = line[i];
        if (c == u'\\' && i + 1 < line.size() && line[i + 1] == u'"') {
            current += u'"';
            ++i;
            any = true;
        } else if (c == u'"') {
            quoted = !quoted;
            any = true;
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (any) arguments.push_back(ToUtf8(current));
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) arguments.push_back(ToUtf8(current));
    return arguments;
}

DWORD ExitCodeOf(int status, const KernelObject& process) {
    if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
    if (process.terminationCode) return *process.terminationCode;
    int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    if (signal == SIGSEGV || signal == SIGBUS) return kAccessViolation;
    if (signal == SIGABRT) return kAbortExitCode;
    return 1;
}

// Reaps the process if it has ended (waiting as long as `block` says).
void Reap(KernelObject& process, bool block) {
    if (process.exited) return;
    int status = 0;
    pid_t reaped;
    do {
        reaped = waitpid(process.pid, &status, block ? 0 : WNOHANG);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == process.pid) {
        process.exited = true;
        process.exitCode = ExitCodeOf(status, process);
    }
}

int DescriptorOf(HANDLE handle) {
    std::shared_ptr<KernelObject> end = Backend::Get().FindKernelObject(handle, KernelObject::Kind::PipeEnd);
    return end && end->inheritable ? end->fd : -1;
}

}  // namespace

extern "C" BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                               BOOL inheritHandles, DWORD, LPVOID environment, LPCWSTR directory,
                               LPSTARTUPINFOW startup, LPPROCESS_INFORMATION information) {
    std::vector<std::string> arguments = SplitCommandLine(commandLine ? commandLine : u"");
    std::string program = application ? ToUtf8(application) : arguments.empty() ? "" : arguments[0];
    if (program.empty() || environment || directory || !startup || !information) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::replace(program.begin(), program.end(), '\\', '/');
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (startup->dwFlags & STARTF_USESTDHANDLES) {
        HANDLE standard[3] = {startup->hStdInput, startup->hStdOutput, startup->hStdError};
        for (int target = 0; target < 3; ++target) {
            int fd = inheritHandles && standard[target] ? DescriptorOf(standard[target]) : -1;
            if (fd >= 0) posix_spawn_file_actions_adddup2(&actions, fd, target);
        }
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    if (argv.empty()) argv.push_back(&program[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int pidfd = failed ? -1 : static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (failed || pidfd < 0) {
        SetLastError(failed == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_BAD_EXE_FORMAT);
        return FALSE;
    }
    auto process = std::make_shared<KernelObject>();
    process->kind = KernelObject::Kind::Process;
    process->fd = pidfd;
    process->pid = pid;
    auto thread = std::make_shared<KernelObject>();
    thread->kind = KernelObject::Kind::Thread;
    Backend& b = Backend::Get();
    information->hProcess = b.AddKernelObject(process);
    information->hThread = b.AddKernelObject(thread);
    information->dwProcessId = static_cast<DWORD>(pid);
    information->dwThreadId = static_cast<DWORD>(pid);
    return TRUE;
}

extern "C" HANDLE GetStdHandle(DWORD which) {
    static HANDLE handles[3] = {};
    int fd = which == STD_INPUT_HANDLE ? 0 : which == STD_OUTPUT_HANDLE ? 1 : which == STD_ERROR_HANDLE ? 2 : -1;
    if (fd < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!handles[fd]) {
        auto end = std::make_shared<KernelObject>();
        end->kind = KernelObject::Kind::PipeEnd;
        end->fd = dup(fd);  // the handle's own descriptor: closing it leaves the standard one
        handles[fd] = Backend::Get().AddKernelObject(end);
    }
    return handles[fd];
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    std::shared_ptr<KernelObject> process = Backend::Get().FindKernelObject(handle, KernelObject::Kind::Process);
    if (!process) return WAIT_FAILED;
    if (process->exited) return WAIT_OBJECT_0;
    pollfd ready{process->fd, POLLIN, 0};
    int timeout = milliseconds == INFINITE ? -1 : static_cast<int>(std::min<DWORD>(milliseconds, INT32_MAX));
    int result;
    do {
        result = poll(&ready, 1, timeout);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return WAIT_TIMEOUT;
    Reap(*process, true);
    return WAIT_OBJECT_0;
}

extern "C" BOOL GetExitCodeProcess(HANDLE handle, LPDWORD code) {
    std::shared_ptr<KernelObject> process = Backend::Get().FindKernelObject(handle, KernelObject::Kind::Process);
    if (!process || !code) return FALSE;
    Reap(*process, false);
    *code = process->exited ? process->exitCode : STILL_ACTIVE;
    return TRUE;
}

extern "C" BOOL TerminateProcess(HANDLE handle, UINT code) {
    std::shared_ptr<KernelObject> process = Backend::Get().FindKernelObject(handle, KernelObject::Kind::Process);
    if (!process) return FALSE;
    if (process->exited) {
        SetLastError(ERROR_INVALID_PARAMETER);  // Windows: access denied to an ended process
        return FALSE;
    }
    process->terminationCode = code;
    return kill(process->pid, SIGKILL) == 0;
}

extern "C" DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

extern "C" void ExitProcess(UINT code) { _exit(static_cast<int>(code)); }

extern "C" DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
    const char* value = name ? getenv(ToUtf8(name).c_str()) : nullptr;
    if (!value) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    std::u16string text = FromUtf8(value);
    if (!buffer || text.size() >= size) return static_cast<DWORD>(text.size() + 1);  // the room it needs
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<DWORD>(text.size());
}

extern "C" BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string key = ToUtf8(name);
    return (value ? setenv(key.c_str(), ToUtf8(value).c_str(), 1) : unsetenv(key.c_str())) == 0;
}
