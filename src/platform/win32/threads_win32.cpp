// Threads of the Windows build. Each thread holds a reference of its own to the module and
// leaves through FreeLibraryAndExitThread, so that the host may unload the module while the
// thread runs: the code stays until the thread is out of it. The end of the body is reported
// through an event of the handle rather than the thread's own end, which waits for the loader
// lock. The handle is shared by the thread and its caller; the last one to let go frees it.
#if defined(_WIN32)

#include <windows.h>

#include "platform/platform.h"

struct OsThread {
    OsThreadBody body;
    void *context;
    HMODULE module;      // the thread's own reference
    HANDLE done;         // set when the body has returned
    volatile LONG users; // the thread and its caller
};

static void LeaveThread(OsThread *thread) {
    if (InterlockedDecrement(&thread->users) == 0) {
        CloseHandle(thread->done);
        HeapFree(GetProcessHeap(), 0, thread);
    }
}

static DWORD WINAPI RunThread(LPVOID argument) {
    OsThread *thread = (OsThread *)argument;
    thread->body(thread->context);
    SetEvent(thread->done);
    HMODULE module = thread->module;
    LeaveThread(thread);
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

OsThread *OsThreadStart(OsThreadBody body, void *context) {
    OsThread *thread = (OsThread *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(OsThread));
    if (thread == NULL) {
        return NULL;
    }
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)(void *)&RunThread,
                            &thread->module)) {
        HeapFree(GetProcessHeap(), 0, thread);
        return NULL;
    }
    thread->body = body;
    thread->context = context;
    thread->users = 2;
    thread->done = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE handle = thread->done ? CreateThread(NULL, 0, RunThread, thread, 0, NULL) : NULL;
    if (handle == NULL) {
        FreeLibrary(thread->module);
        if (thread->done) {
            CloseHandle(thread->done);
        }
        HeapFree(GetProcessHeap(), 0, thread);
        return NULL;
    }
    CloseHandle(handle);
    return thread;
}

enum Outcome OsThreadWait(OsThread *thread, unsigned milliseconds) {
    return thread == NULL || WaitForSingleObject(thread->done, milliseconds) == WAIT_OBJECT_0
               ? OUTCOME_DONE
               : OUTCOME_PENDING;
}

void OsThreadRelease(OsThread *thread) {
    if (thread != NULL) {
        LeaveThread(thread);
    }
}

void OsSleep(unsigned milliseconds) {
    Sleep(milliseconds);
}

#endif
