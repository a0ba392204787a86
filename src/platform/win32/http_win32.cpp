// HTTP for the Windows build, through WinINet. Every wait is bounded: the connection and each
// receive by the request handle's time-outs (WinINet under Wine honours them there, not on the
// session), and the body by a clock check between pieces, since a server that drips never lets
// a receive time out.
#if defined(_WIN32)

#include <windows.h>
#include <wininet.h>

#include <string.h>

#include "platform/platform.h"

// Failed empty reads in a row that end a copy: the first try and ten retries.
static const int kReadTries = 11;

static void SetTimeouts(HINTERNET handle, const OsHttpRequest *request) {
    DWORD connect = request->connectTimeoutMs, read = request->readTimeoutMs;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &read, sizeof read);
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &read, sizeof read);
}

static void SetProxyCredentials(HINTERNET handle, const OsHttpRequest *request) {
    InternetSetOptionA(handle, INTERNET_OPTION_PROXY_PASSWORD, (LPVOID)request->proxyPassword,
                       (DWORD)strlen(request->proxyPassword));
    InternetSetOptionA(handle, INTERNET_OPTION_PROXY_USERNAME, (LPVOID)request->proxyUser,
                       (DWORD)strlen(request->proxyUser));
}

static int StatusCode(HINTERNET request) {
    DWORD code = 0, size = sizeof code;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                        NULL)) {
        return 0;
    }
    return (int)code;
}

// The announced body length, or -1 when the response announces none.
static long long ContentLength(HINTERNET request) {
    char text[32];
    DWORD size = sizeof text;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, NULL)) {
        return -1;
    }
    long long length = 0;
    for (const char *p = text; *p >= '0' && *p <= '9'; p++) {
        length = length * 10 + (*p - '0');
    }
    return length;
}

// Copies the body into the sink in pieces of at most 4096 bytes. A failed read that brought
// nothing is tried again at once, up to ten times in a row. Each read asks only for what has
// arrived, so that the clock is looked at between pieces.
static enum OsHttpResult CopyBody(HINTERNET request, OsBodySink sink, void *context, DWORD started,
                                  DWORD bound) {
    char buffer[OS_HTTP_PIECE];
    long long expected = ContentLength(request), received = 0;
    int failures = 0;
    for (;;) {
        if (GetTickCount() - started > bound) {
            return OS_HTTP_INCOMPLETE;
        }
        DWORD available = 0, got = 0;
        BOOL ok = InternetQueryDataAvailable(request, &available, 0, 0);
        if (ok && available > 0) {
            ok = InternetReadFile(request, buffer,
                                  available < sizeof buffer ? available : sizeof buffer, &got);
        }
        if (got > 0) {
            if (!sink(context, buffer, got)) {
                return OS_HTTP_STOPPED;
            }
            received += got;
            failures = 0;
            continue;
        }
        if (ok) {
            // A connection dropped before the announced length is not the whole body.
            return (expected >= 0 && received < expected) ? OS_HTTP_INCOMPLETE : OS_HTTP_COMPLETE;
        }
        if (++failures >= kReadTries) {
            return OS_HTTP_INCOMPLETE;
        }
    }
}

// Splits the address into host, port and the path with its query.
static int CrackAddress(const char *address, char *host, DWORD hostCapacity, char *path,
                        DWORD pathCapacity, INTERNET_PORT *port, int *secure) {
    URL_COMPONENTSA parts;
    char extra[2084];
    memset(&parts, 0, sizeof parts);
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = hostCapacity;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = pathCapacity;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof extra;
    if (!InternetCrackUrlA(address, 0, 0, &parts) || host[0] == '\0') {
        return 0;
    }
    if (strlen(path) + strlen(extra) >= pathCapacity) {
        return 0;
    }
    strcat(path, extra);
    if (path[0] == '\0') {
        strcpy(path, "/");
    }
    *port = parts.nPort;
    *secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return 1;
}

// Sends the request; a proxy that asks for credentials gets them on the request and one
// resend, as some WinINet versions send the session's credentials only then.
static int SendRequest(HINTERNET request, const OsHttpRequest *options, int *status) {
    // No connection outlives the download: WinINet would otherwise keep it for the next one,
    // and under Wine even send a later request meant for the proxy straight down it.
    static const char kHeaders[] = "Connection: close\r\n";
    HttpAddRequestHeadersA(request, kHeaders, (DWORD)(sizeof kHeaders - 1),
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    if (!HttpSendRequestA(request, NULL, 0, NULL, 0)) {
        return 0;
    }
    *status = StatusCode(request);
    if (*status == HTTP_STATUS_PROXY_AUTH_REQ && options->useProxy &&
        options->proxyUser[0] != '\0') {
        // The 407 page must be read away before the same request goes out again.
        char drain[OS_HTTP_PIECE];
        DWORD got = 0;
        while (InternetReadFile(request, drain, sizeof drain, &got) && got > 0) {
        }
        SetProxyCredentials(request, options);
        if (!HttpSendRequestA(request, NULL, 0, NULL, 0)) {
            return 0;
        }
        *status = StatusCode(request);
    }
    return 1;
}

enum OsHttpResult OsHttpGet(const OsHttpRequest *request, OsBodySink sink, void *context,
                            int *status) {
    *status = 0;
    DWORD started = GetTickCount();
    char host[256], path[2084];
    INTERNET_PORT port = 0;
    int secure = 0;
    if (!CrackAddress(request->address, host, sizeof host, path, sizeof path, &port, &secure)) {
        return OS_HTTP_NOT_OPENED;
    }
    HINTERNET session =
        request->useProxy
            ? InternetOpenA(request->userAgent, INTERNET_OPEN_TYPE_PROXY, request->proxyAddress,
                            "<local>", 0)
            : InternetOpenA(request->userAgent, INTERNET_OPEN_TYPE_DIRECT, NULL, NULL, 0);
    if (session == NULL) {
        return OS_HTTP_NO_SESSION;
    }
    if (request->useProxy) {
        SetProxyCredentials(session, request);
    }
    SetTimeouts(session, request);
    enum OsHttpResult result = OS_HTTP_NOT_OPENED;
    HINTERNET connection =
        InternetConnectA(session, host, port, NULL, NULL, INTERNET_SERVICE_HTTP, 0, 0);
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_CACHE_WRITE | (secure ? INTERNET_FLAG_SECURE : 0);
    HINTERNET url =
        connection ? HttpOpenRequestA(connection, "GET", path, NULL, NULL, NULL, flags, 0) : NULL;
    if (url != NULL) {
        SetTimeouts(url, request);
        if (SendRequest(url, request, status)) {
            result = CopyBody(url, sink, context, started, request->totalTimeoutMs);
        }
        InternetCloseHandle(url);
    }
    if (connection != NULL) {
        InternetCloseHandle(connection);
    }
    InternetCloseHandle(session);
    return result;
}

int OsInternetConnected(void) {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) ? 1 : 0;
}

typedef struct ConnectionCheck {
    char address[2084];
    volatile LONG result;
    volatile LONG users; // the caller and the thread; the last one out frees the block
    HMODULE module;      // held by the thread, so the module outlives it
} ConnectionCheck;

static void LeaveCheck(ConnectionCheck *check) {
    if (InterlockedDecrement(&check->users) == 0) {
        HeapFree(GetProcessHeap(), 0, check);
    }
}

static DWORD WINAPI CheckConnectionThread(LPVOID argument) {
    ConnectionCheck *check = (ConnectionCheck *)argument;
    check->result = InternetCheckConnectionA(check->address, FLAG_ICC_FORCE_CONNECTION, 0) ? 1 : 0;
    HMODULE module = check->module;
    LeaveCheck(check);
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

int OsCheckConnection(const char *address, unsigned timeoutMs) {
    // The check has no bound of its own: it runs in a thread of its own, and a check that
    // outlives the bound counts as offline. The thread then finishes by itself.
    ConnectionCheck *check =
        (ConnectionCheck *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ConnectionCheck));
    if (check == NULL) {
        return 0;
    }
    if (strlen(address) >= sizeof check->address ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            (LPCSTR)(void *)&CheckConnectionThread, &check->module)) {
        HeapFree(GetProcessHeap(), 0, check);
        return 0;
    }
    strcpy(check->address, address);
    check->users = 2;
    HANDLE thread = CreateThread(NULL, 0, CheckConnectionThread, check, 0, NULL);
    if (thread == NULL) {
        FreeLibrary(check->module);
        HeapFree(GetProcessHeap(), 0, check);
        return 0;
    }
    int result = 0;
    if (WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0) {
        result = check->result;
    }
    CloseHandle(thread);
    LeaveCheck(check);
    return result;
}

#endif
