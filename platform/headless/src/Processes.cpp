// Child processes: started with the standard handles given, waited for
// through a pidfd, their exit codes in Windows' terms.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "Backend.h"

extern char** environ;

using namespace headless;

// An attribute list holds one attribute, the handle list.
struct _PROC_THREAD_ATTRIBUTE_LIST {
    HANDLE* handles;
    size_t handleCount;
};

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

// What a child inherits as a descriptor: pipe ends, events and sections.
constexpr KernelObject::Kind kInheritedKinds[] = {KernelObject::Kind::PipeEnd, KernelObject::Kind::Event,
                                                 KernelObject::Kind::Section};

bool InheritedAsDescriptor(const KernelObject& object) {
    return std::find(std::begin(kInheritedKinds), std::end(kInheritedKinds), object.kind) != std::end(kInheritedKinds);
}

// The descriptor of an inheritable pipe end, event or section.
int DescriptorOf(HANDLE handle) {
    Backend& b = Backend::Get();
    std::shared_ptr<KernelObject> object;
    for (KernelObject::Kind kind : kInheritedKinds) {
        if (!object) object = b.FindKernelObject(handle, kind);
    }
    return object && object->inheritable ? object->fd : -1;
}

// The descriptors the child inherits: those of the handle list when one is
// given (each an inheritable pipe end, event or section), else every inheritable one.
// False when the list names something else.
bool InheritedDescriptors(LPSTARTUPINFOW startup, DWORD flags, std::vector<int>* descriptors) {
    const LPPROC_THREAD_ATTRIBUTE_LIST list =
        flags & EXTENDED_STARTUPINFO_PRESENT ? reinterpret_cast<LPSTARTUPINFOEXW>(startup)->lpAttributeList : nullptr;
    if (list && list->handles) {
        for (size_t i = 0; i < list->handleCount; ++i) {
            int fd = DescriptorOf(list->handles[i]);
            if (fd < 0) return false;
            descriptors->push_back(fd);
        }
        return true;
    }
    Backend& b = Backend::Get();
    std::lock_guard<std::mutex> lock(b.kernelMutex);
    for (const auto& entry : b.kernelObjects) {
        const KernelObject& object = *entry.second;
        if (InheritedAsDescriptor(object) && object.inheritable && object.fd > 2) descriptors->push_back(object.fd);
    }
    return true;
}

// This process's environment with the child's inherited descriptors named.
bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

std::vector<std::string> ChildEnvironment(const std::vector<int>& descriptors, DWORD startupFlags) {
    std::vector<std::string> environment;
    std::string prefix = std::string(kInheritedPipeEndsVariable) + "=";
    std::string flagsPrefix = std::string(kStartupFlagsVariable) + "=";
    for (char** entry = environ; *entry; ++entry) {
        if (!StartsWith(*entry, prefix) && !StartsWith(*entry, flagsPrefix)) environment.push_back(*entry);
    }
    std::string named = prefix;
    for (int fd : descriptors) named += std::to_string(fd) + ",";
    environment.push_back(named);
    environment.push_back(flagsPrefix + std::to_string(startupFlags));
    return environment;
}

std::shared_ptr<KernelObject> ProcessObject(int pidfd, pid_t pid, bool child) {
    auto process = std::make_shared<KernelObject>();
    process->kind = KernelObject::Kind::Process;
    process->fd = pidfd;
    process->pid = pid;
    process->child = child;
    return process;
}

}  // namespace

extern "C" BOOL InitializeProcThreadAttributeList(LPPROC_THREAD_ATTRIBUTE_LIST list, DWORD count, DWORD flags,
                                                  SIZE_T* size) {
    if (!size || flags || count > 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool enough = list && *size >= sizeof *list;
    *size = sizeof *list;
    if (!enough) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *list = _PROC_THREAD_ATTRIBUTE_LIST{nullptr, 0};
    return TRUE;
}

extern "C" BOOL UpdateProcThreadAttribute(LPPROC_THREAD_ATTRIBUTE_LIST list, DWORD flags, DWORD_PTR attribute,
                                          LPVOID value, SIZE_T size, LPVOID previous, SIZE_T* returnSize) {
    if (!list || flags || attribute != PROC_THREAD_ATTRIBUTE_HANDLE_LIST || !value || size == 0 ||
        size % sizeof(HANDLE) || previous || returnSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    list->handles = static_cast<HANDLE*>(value);  // the caller's, kept until the process starts
    list->handleCount = size / sizeof(HANDLE);
    return TRUE;
}

extern "C" void DeleteProcThreadAttributeList(LPPROC_THREAD_ATTRIBUTE_LIST) {}

extern "C" BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                               BOOL inheritHandles, DWORD flags, LPVOID environment, LPCWSTR directory,
                               LPSTARTUPINFOW startup, LPPROCESS_INFORMATION information) {
    std::vector<std::string> arguments = SplitCommandLine(commandLine ? commandLine : u"");
    std::string program = application ? ToUtf8(application) : arguments.empty() ? "" : arguments[0];
    std::vector<int> inherited;
    if (program.empty() || environment || directory || !startup || !information ||
        (flags & ~DWORD{EXTENDED_STARTUPINFO_PRESENT}) ||
        (inheritHandles && !InheritedDescriptors(startup, flags, &inherited))) {
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
            if (fd >= 0) {
                posix_spawn_file_actions_adddup2(&actions, fd, target);
            } else if (!standard[target]) {
                posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_RDWR, 0);
            }
        }
    }
    for (int fd : inherited) posix_spawn_file_actions_adddup2(&actions, fd, fd);  // clears close-on-exec
    std::vector<std::string> childEnvironment = ChildEnvironment(inherited, startup->dwFlags);
    std::vector<char*> envp;
    for (std::string& entry : childEnvironment) envp.push_back(&entry[0]);
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    if (argv.empty()) argv.push_back(&program[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    int pidfd = failed ? -1 : static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (failed || pidfd < 0) {
        SetLastError(failed == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_BAD_EXE_FORMAT);
        return FALSE;
    }
    auto thread = std::make_shared<KernelObject>();
    thread->kind = KernelObject::Kind::Thread;
    Backend& b = Backend::Get();
    information->hProcess = b.AddKernelObject(ProcessObject(pidfd, pid, true));
    information->hThread = b.AddKernelObject(thread);
    information->dwProcessId = static_cast<DWORD>(pid);
    information->dwThreadId = static_cast<DWORD>(pid);
    return TRUE;
}

extern "C" HANDLE OpenProcess(DWORD access, BOOL, DWORD processId) {
    bool known = (access & ~DWORD{SYNCHRONIZE | PROCESS_TERMINATE}) == 0 && (access & SYNCHRONIZE);
    int pidfd = known ? static_cast<int>(syscall(SYS_pidfd_open, processId, 0)) : -1;
    if (pidfd < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Backend::Get().AddKernelObject(ProcessObject(pidfd, static_cast<pid_t>(processId), false));
}

extern "C" HANDLE CreateJobObjectW(LPSECURITY_ATTRIBUTES, LPCWSTR name) {
    if (name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto job = std::make_shared<KernelObject>();
    job->kind = KernelObject::Kind::Job;
    return Backend::Get().AddKernelObject(job);
}

extern "C" BOOL SetInformationJobObject(HANDLE handle, JOBOBJECTINFOCLASS infoClass, LPVOID info, DWORD size) {
    std::shared_ptr<KernelObject> job = Backend::Get().FindKernelObject(handle, KernelObject::Kind::Job);
    auto* limits = static_cast<JOBOBJECT_EXTENDED_LIMIT_INFORMATION*>(info);
    if (!job) return FALSE;
    if (infoClass != JobObjectExtendedLimitInformation || !limits || size != sizeof *limits ||
        (limits->BasicLimitInformation.LimitFlags &
         ~DWORD{JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK})) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    job->killOnClose = (limits->BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE) != 0;
    return TRUE;
}

extern "C" BOOL AssignProcessToJobObject(HANDLE jobHandle, HANDLE processHandle) {
    Backend& b = Backend::Get();
    std::shared_ptr<KernelObject> job = b.FindKernelObject(jobHandle, KernelObject::Kind::Job);
    std::shared_ptr<KernelObject> process =
        job ? b.FindKernelObject(processHandle, KernelObject::Kind::Process) : nullptr;
    if (!process) return FALSE;
    job->processes.push_back(process);
    return TRUE;
}

extern "C" UINT SetErrorMode(UINT mode) {
    static UINT current = 0;
    UINT previous = current;
    current = mode;
    return previous;
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

extern "C" void GetStartupInfoW(LPSTARTUPINFOW startup) {
    *startup = STARTUPINFOW{};
    startup->cb = sizeof *startup;
    const char* flags = std::getenv(kStartupFlagsVariable);
    startup->dwFlags = flags ? static_cast<DWORD>(std::strtoul(flags, nullptr, 10)) : 0;
}

extern "C" BOOL GetExitCodeProcess(HANDLE handle, LPDWORD code) {
    std::shared_ptr<KernelObject> process = Backend::Get().FindKernelObject(handle, KernelObject::Kind::Process);
    if (!process || !code) return FALSE;
    ReapProcess(*process, false);
    *code = process->exited ? process->exitCode : STILL_ACTIVE;
    return TRUE;
}

extern "C" BOOL TerminateProcess(HANDLE handle, UINT code) {
    if (handle == GetCurrentProcess()) _exit(static_cast<int>(code));
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

void headless::ReapProcess(KernelObject& process, bool block) {
    if (process.exited) return;
    if (!process.child) {  // another's child: ended once its pidfd reads, with no code to be had
        pollfd ended{process.fd, POLLIN, 0};
        process.exited = poll(&ended, 1, block ? -1 : 0) > 0;
        return;
    }
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
