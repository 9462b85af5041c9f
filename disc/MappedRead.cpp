// ReadMapped: a SIGBUS handler, installed once, that jumps back out of a guarded read.
#include "MappedRead.h"

#ifdef _WIN32

bool ReadMapped(void (*read)(void*), void* context) {
    read(context);
    return true;
}

#else

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace {

thread_local sigjmp_buf* t_guard = nullptr;

extern "C" void OnBusError(int signal) {
    if (t_guard) siglongjmp(*t_guard, 1);
    // A fault no read of ours was guarding: the default action, as if we had no handler.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void InstallHandler() {
    struct sigaction action {};
    action.sa_handler = OnBusError;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, nullptr);
}

}  // namespace

bool ReadMapped(void (*read)(void*), void* context) {
    static std::once_flag installed;
    std::call_once(installed, InstallHandler);
    sigjmp_buf guard;
    sigjmp_buf* const outer = t_guard;
    if (sigsetjmp(guard, 1) != 0) {  // 1: the jump restores the signal mask, unblocking SIGBUS
        t_guard = outer;
        return false;
    }
    t_guard = &guard;
    read(context);
    t_guard = outer;
    return true;
}

#endif
