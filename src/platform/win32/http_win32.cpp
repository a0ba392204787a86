// HTTP for the Windows build, through WinINet. Every wait is bounded: the connection and each
// receive by the request handle's time-outs (WinINet under Wine honours them there, not on the
// session), the body by a clock check between pieces, since a server that drips never lets a
// receive time out, and the whole request by a worker thread that the caller leaves behind at
// the bound, since headers that trickle in hold HttpSendRequest past every time-out and closing
// its handles does not end it under Wine. Redirects are followed here, not by WinINet, so that
// none leads from https down to http.
#if defined(_WIN32)

#include <windows.h>
#include <wininet.h>

#include <stdio.h>
#include <string.h>

#include "platform/platform.h"

// Requests go out as HTTP/1.0, so that no server answers with a chunked body: WinINet under Wine
// takes a chunked body cut off mid-stream for a whole one, while a body of announced length is
// checked against its length here. A server that chunks anyway is not believed (see IsChunked).
static const char kHttpVersion[] = "HTTP/1.0";

// Failed empty reads in a row that end a copy: the first try and ten retries.
static const int kReadTries = 11;

// How much earlier than its bound a wait may end by the system's timers.
static const DWORD kTimerSlackMs = 100;

static void SetFailure(OsHttpFailure *failure, enum OsHttpFailureKind kind, const char *reason) {
    failure->kind = kind;
    snprintf(failure->reason, sizeof failure->reason, "%s", reason);
}

typedef struct ErrorName {
    DWORD code;
    enum OsHttpFailureKind kind;
    const char *name;    // as wininet.h names it
    const char *meaning; // in words, or NULL where the name says it
} ErrorName;

// WinINet's errors that say what failed.
static const ErrorName kErrorNames[] = {
    {ERROR_INTERNET_TIMEOUT, OS_HTTP_FAILURE_TIMEOUT, "ERROR_INTERNET_TIMEOUT", NULL},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, OS_HTTP_FAILURE_DNS, "ERROR_INTERNET_NAME_NOT_RESOLVED",
     NULL},
    {ERROR_INTERNET_CANNOT_CONNECT, OS_HTTP_FAILURE_CONNECT, "ERROR_INTERNET_CANNOT_CONNECT", NULL},
    {ERROR_INTERNET_PROXY_SERVER_UNREACHABLE, OS_HTTP_FAILURE_CONNECT,
     "ERROR_INTERNET_PROXY_SERVER_UNREACHABLE", NULL},
    {ERROR_INTERNET_CONNECTION_ABORTED, OS_HTTP_FAILURE_BROKEN, "ERROR_INTERNET_CONNECTION_ABORTED",
     NULL},
    {ERROR_INTERNET_CONNECTION_RESET, OS_HTTP_FAILURE_BROKEN, "ERROR_INTERNET_CONNECTION_RESET",
     NULL},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, OS_HTTP_FAILURE_BROKEN,
     "ERROR_HTTP_INVALID_SERVER_RESPONSE", NULL},
    {ERROR_INTERNET_INVALID_URL, OS_HTTP_FAILURE_OTHER, "ERROR_INTERNET_INVALID_URL", NULL},
    {ERROR_INTERNET_UNRECOGNIZED_SCHEME, OS_HTTP_FAILURE_OTHER,
     "ERROR_INTERNET_UNRECOGNIZED_SCHEME", NULL},
    {ERROR_INTERNET_INVALID_CA, OS_HTTP_FAILURE_TLS, "ERROR_INTERNET_INVALID_CA",
     "the certificate's authority is not trusted"},
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, OS_HTTP_FAILURE_TLS,
     "ERROR_INTERNET_SEC_CERT_DATE_INVALID", "the certificate has expired or is not yet valid"},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID, OS_HTTP_FAILURE_TLS, "ERROR_INTERNET_SEC_CERT_CN_INVALID",
     "the certificate is made out to another name"},
    {ERROR_INTERNET_SEC_CERT_ERRORS, OS_HTTP_FAILURE_TLS, "ERROR_INTERNET_SEC_CERT_ERRORS",
     "the certificate failed more than one check"},
    {ERROR_INTERNET_SEC_CERT_NO_REV, OS_HTTP_FAILURE_TLS, "ERROR_INTERNET_SEC_CERT_NO_REV",
     "the certificate's revocation could not be checked"},
    {ERROR_INTERNET_SEC_CERT_REV_FAILED, OS_HTTP_FAILURE_TLS, "ERROR_INTERNET_SEC_CERT_REV_FAILED",
     "the certificate's revocation could not be checked"},
    {ERROR_INTERNET_SEC_CERT_REVOKED, OS_HTTP_FAILURE_TLS, "ERROR_INTERNET_SEC_CERT_REVOKED",
     "the certificate has been revoked"},
    {ERROR_INTERNET_SEC_INVALID_CERT, OS_HTTP_FAILURE_TLS, "ERROR_INTERNET_SEC_INVALID_CERT",
     "the certificate is not valid"},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, OS_HTTP_FAILURE_TLS,
     "ERROR_INTERNET_SECURITY_CHANNEL_ERROR", "the secure connection could not be made"},
};

// The bits that a request's security flags carry for each check its certificate failed
// (WinINet's own, not named in wininet.h; not every version sets them).
typedef struct CertificateFlag {
    DWORD bit;
    const char *meaning;
} CertificateFlag;

static const CertificateFlag kCertificateFlags[] = {
    {0x00800000, "revocation check failed"},
    {0x01000000, "unknown or untrusted authority"},
    {0x02000000, "name does not match"},
    {0x04000000, "expired or not yet valid"},
};

// Appends `before`, `text` and `after` to the failure's reason, cut to its capacity.
static void AppendReason(OsHttpFailure *failure, const char *before, const char *text,
                         const char *after) {
    size_t used = strlen(failure->reason);
    snprintf(failure->reason + used, sizeof failure->reason - used, "%s%s%s", before, text, after);
}

// Fills `failure` from the error of the last WinINet call that failed on `request` (or NULL):
// its kind, its code, name and meaning, and for a certificate the checks it failed.
static void ExplainError(HINTERNET request, DWORD error, OsHttpFailure *failure) {
    const ErrorName *known = NULL;
    for (size_t i = 0; i < sizeof kErrorNames / sizeof kErrorNames[0]; i++) {
        if (kErrorNames[i].code == error) {
            known = &kErrorNames[i];
        }
    }
    failure->kind = known ? known->kind : OS_HTTP_FAILURE_OTHER;
    snprintf(failure->reason, sizeof failure->reason, "WinINet error %lu", (unsigned long)error);
    if (known != NULL) {
        AppendReason(failure, " (", known->name, ")");
        if (known->meaning != NULL) {
            AppendReason(failure, ": ", known->meaning, "");
        }
    }
    DWORD flags = 0, size = sizeof flags;
    if (failure->kind != OS_HTTP_FAILURE_TLS || request == NULL ||
        !InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) {
        return;
    }
    const char *separator = "; certificate flags: ";
    for (size_t i = 0; i < sizeof kCertificateFlags / sizeof kCertificateFlags[0]; i++) {
        if ((flags & kCertificateFlags[i].bit) != 0) {
            AppendReason(failure, separator, kCertificateFlags[i].meaning, "");
            separator = ", ";
        }
    }
}

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

// Nonzero when the body came encoded (gzip): its announced length is that of the encoded bytes.
static int IsEncoded(HINTERNET request) {
    char text[64];
    DWORD size = sizeof text;
    return HttpQueryInfoA(request, HTTP_QUERY_CONTENT_ENCODING, text, &size, NULL) && size > 0 &&
           strncmp(text, "identity", 8) != 0;
}

// Copies one answer header into `out` (OS_HTTP_HEADER_CAPACITY bytes), or empties it.
static void AnswerHeader(HINTERNET request, DWORD query, char *out) {
    DWORD size = OS_HTTP_HEADER_CAPACITY;
    if (!HttpQueryInfoA(request, query, out, &size, NULL)) {
        out[0] = '\0';
    }
    out[OS_HTTP_HEADER_CAPACITY - 1] = '\0';
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

// Nonzero when the answer's body comes in chunks. WinINet undoes the chunks and keeps no trace
// of the last one, so a body whose connection broke before it cannot be told from a whole one;
// such an answer, to a request that allowed none, is taken for an incomplete one.
static int IsChunked(HINTERNET request) {
    char text[64];
    DWORD size = sizeof text;
    if (!HttpQueryInfoA(request, HTTP_QUERY_TRANSFER_ENCODING, text, &size, NULL)) {
        return 0;
    }
    CharLowerBuffA(text, size < sizeof text ? size : sizeof text - 1);
    return strstr(text, "chunked") != NULL;
}

// Copies the body into the sink in pieces of at most 4096 bytes. A failed read that brought
// nothing is tried again at once, up to ten times in a row. Each read asks only for what has
// arrived, so that the clock is looked at between pieces.
static enum OsHttpResult CopyBody(HINTERNET request, OsBodySink sink, void *context, DWORD started,
                                  DWORD bound, OsHttpFailure *failure) {
    char buffer[OS_HTTP_PIECE];
    long long expected = IsEncoded(request) ? -1 : ContentLength(request), received = 0;
    int failures = 0;
    if (IsChunked(request)) {
        SetFailure(failure, OS_HTTP_FAILURE_BROKEN, "a chunked answer to an HTTP/1.0 request");
        return OS_HTTP_INCOMPLETE;
    }
    for (;;) {
        if (GetTickCount() - started > bound) {
            SetFailure(failure, OS_HTTP_FAILURE_TIMEOUT, "the body outlasted the request's bound");
            return OS_HTTP_INCOMPLETE;
        }
        DWORD available = 0, got = 0;
        BOOL ok = InternetQueryDataAvailable(request, &available, 0, 0);
        // Nothing available is not yet the end: Wine says so between the pieces of a chunked
        // body too. A read of one byte waits for the next piece, and only a read that succeeds
        // with nothing is the end.
        DWORD ask =
            (ok && available > 0) ? (available < sizeof buffer ? available : sizeof buffer) : 1;
        ok = InternetReadFile(request, buffer, ask, &got);
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
            if (expected >= 0 && received < expected) {
                SetFailure(failure, OS_HTTP_FAILURE_BROKEN,
                           "the connection closed before the announced length");
                return OS_HTTP_INCOMPLETE;
            }
            return OS_HTTP_COMPLETE;
        }
        if (++failures >= kReadTries) {
            ExplainError(request, GetLastError(), failure);
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
    // A gzip body is decoded by WinINet itself.
    static const char kEncoding[] = "Accept-Encoding: gzip\r\n";
    BOOL decode = TRUE;
    if (InternetSetOptionA(request, INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode)) {
        HttpAddRequestHeadersA(request, kEncoding, (DWORD)(sizeof kEncoding - 1),
                               HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    }
    if (options->ifModifiedSince != NULL && options->ifModifiedSince[0] != '\0' &&
        strlen(options->ifModifiedSince) < OS_HTTP_HEADER_CAPACITY) {
        char since[OS_HTTP_HEADER_CAPACITY + 32];
        strcpy(since, "If-Modified-Since: ");
        strcat(since, options->ifModifiedSince);
        strcat(since, "\r\n");
        HttpAddRequestHeadersA(request, since, (DWORD)strlen(since),
                               HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    }
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

// Redirects followed at most, as many as the POSIX build follows.
static const int kMaxRedirects = 5;

static int IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

static int HasScheme(const char *address, const char *scheme) {
    size_t length = strlen(scheme);
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, address, (int)length, scheme,
                          (int)length) == CSTR_EQUAL;
}

// Writes the address the redirect of `request` names, resolved against `from`. Returns 1 when
// it may be followed: an http or https address, and after https only https, since a man in the
// middle of a plain hop could feed anything. Returns 0 otherwise, with the reason.
static int RedirectTarget(HINTERNET request, const char *from, char *out, DWORD capacity,
                          OsHttpFailure *failure) {
    char location[2084];
    DWORD size = sizeof location;
    if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, NULL) ||
        !InternetCombineUrlA(from, location, out, &capacity, 0)) {
        SetFailure(failure, OS_HTTP_FAILURE_OTHER, "a redirect without a usable address");
        return 0;
    }
    if (HasScheme(out, "https://") || (HasScheme(out, "http://") && !HasScheme(from, "https:"))) {
        return 1;
    }
    SetFailure(failure, OS_HTTP_FAILURE_OTHER,
               HasScheme(out, "http://") ? "a redirect from https down to http is refused"
                                         : "a redirect to another protocol is refused");
    return 0;
}

// One request of the transfer, to `address`, and its answer: the body into the sink, or for a
// redirect that may be followed (WinINet is told not to follow any itself) the next address in
// `next` and OS_HTTP_COMPLETE with `next` not empty.
static enum OsHttpResult RequestOnce(HINTERNET session, const char *address, int mayRedirect,
                                     const OsHttpRequest *request, OsBodySink sink, void *context,
                                     DWORD started, int *status, char *next, DWORD nextCapacity,
                                     OsHttpFailure *failure) {
    char host[256], path[2084];
    INTERNET_PORT port = 0;
    int secure = 0;
    next[0] = '\0';
    if (!CrackAddress(address, host, sizeof host, path, sizeof path, &port, &secure)) {
        SetFailure(failure, OS_HTTP_FAILURE_OTHER, "the address cannot be read");
        return OS_HTTP_NOT_OPENED;
    }
    enum OsHttpResult result = OS_HTTP_NOT_OPENED;
    HINTERNET connection =
        InternetConnectA(session, host, port, NULL, NULL, INTERNET_SERVICE_HTTP, 0, 0);
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                  (secure ? INTERNET_FLAG_SECURE : 0);
    HINTERNET url =
        connection ? HttpOpenRequestA(connection, "GET", path, kHttpVersion, NULL, NULL, flags, 0)
                   : NULL;
    if (url != NULL) {
        SetTimeouts(url, request);
        DWORD sent = GetTickCount();
        if (!SendRequest(url, request, status)) {
            ExplainError(url, GetLastError(), failure);
            // Wine reports a receive time-out as an aborted connection: one that ends when the
            // wait for the answer has had its whole bound is a time-out.
            if (failure->kind == OS_HTTP_FAILURE_BROKEN &&
                GetTickCount() - sent + kTimerSlackMs >= request->readTimeoutMs) {
                failure->kind = OS_HTTP_FAILURE_TIMEOUT;
                size_t used = strlen(failure->reason);
                snprintf(failure->reason + used, sizeof failure->reason - used,
                         ", no answer within %lu ms", (unsigned long)request->readTimeoutMs);
            }
        } else if (mayRedirect && IsRedirect(*status)) {
            // A redirect to a place that may not be followed is no answer at all.
            if (RedirectTarget(url, address, next, nextCapacity, failure)) {
                result = OS_HTTP_COMPLETE;
            } else {
                next[0] = '\0';
            }
        } else {
            result = CopyBody(url, sink, context, started, request->totalTimeoutMs, failure);
            if (result == OS_HTTP_COMPLETE && request->answerHeaders != NULL) {
                AnswerHeader(url, HTTP_QUERY_EXPIRES, request->answerHeaders->expires);
                AnswerHeader(url, HTTP_QUERY_LAST_MODIFIED, request->answerHeaders->lastModified);
                AnswerHeader(url, HTTP_QUERY_DATE, request->answerHeaders->date);
            }
        }
        InternetCloseHandle(url);
    } else {
        ExplainError(NULL, GetLastError(), failure);
    }
    if (connection != NULL) {
        InternetCloseHandle(connection);
    }
    return result;
}

// The whole request in the calling thread, redirects included; bounded by the time-outs of
// WinINet, which a server that trickles its headers a byte at a time never trips.
static enum OsHttpResult HttpGetBlocking(const OsHttpRequest *request, OsBodySink sink,
                                         void *context, int *status, OsHttpFailure *failure) {
    *status = 0;
    DWORD started = GetTickCount();
    HINTERNET session =
        request->useProxy
            ? InternetOpenA(request->userAgent, INTERNET_OPEN_TYPE_PROXY, request->proxyAddress,
                            "<local>", 0)
            : InternetOpenA(request->userAgent, INTERNET_OPEN_TYPE_DIRECT, NULL, NULL, 0);
    if (session == NULL) {
        ExplainError(NULL, GetLastError(), failure);
        return OS_HTTP_NO_SESSION;
    }
    if (request->useProxy) {
        SetProxyCredentials(session, request);
    }
    SetTimeouts(session, request);
    char hops[2][2084];
    const char *address = request->address;
    enum OsHttpResult result = OS_HTTP_NOT_OPENED;
    for (int hop = 0;; hop++) {
        char *next = hops[hop % 2];
        result = RequestOnce(session, address, hop < kMaxRedirects, request, sink, context, started,
                             status, next, sizeof hops[0], failure);
        if (result != OS_HTTP_COMPLETE || next[0] == '\0') {
            break;
        }
        if (GetTickCount() - started > request->totalTimeoutMs) {
            SetFailure(failure, OS_HTTP_FAILURE_TIMEOUT,
                       "the redirects outlasted the request's bound");
            result = OS_HTTP_INCOMPLETE;
            break;
        }
        address = next;
    }
    InternetCloseHandle(session);
    return result;
}

// A request handed to a worker thread, so that the caller can give up on it at the bound.
// The caller and the worker share the block; the last one out frees it. Once the caller has
// given up, the worker no longer calls the sink, whose target the caller has dropped.
typedef struct HttpJob {
    OsHttpRequest request; // points into the texts below
    char address[2084], userAgent[256], proxyAddress[1024], proxyUser[128], proxyPassword[128];
    char ifModifiedSince[OS_HTTP_HEADER_CAPACITY];
    OsHttpAnswerHeaders answerHeaders; // the worker's; copied out when the caller waited
    OsBodySink sink;
    void *context;
    CRITICAL_SECTION lock;
    int abandoned;            // set by the caller under the lock
    enum OsHttpResult result; // set by the worker
    int status;               // set by the worker
    OsHttpFailure failure;    // set by the worker
    volatile LONG users;
    HMODULE module; // held by the worker, so the module outlives it
    HANDLE done;    // set by the worker when its result is in
} HttpJob;

static void LeaveJob(HttpJob *job) {
    if (InterlockedDecrement(&job->users) == 0) {
        DeleteCriticalSection(&job->lock);
        CloseHandle(job->done);
        HeapFree(GetProcessHeap(), 0, job);
    }
}

static int GuardedSink(void *context, const char *bytes, size_t count) {
    HttpJob *job = (HttpJob *)context;
    EnterCriticalSection(&job->lock);
    int goOn = !job->abandoned && job->sink(job->context, bytes, count);
    LeaveCriticalSection(&job->lock);
    return goOn;
}

static DWORD WINAPI HttpWorker(LPVOID argument) {
    HttpJob *job = (HttpJob *)argument;
    int status = 0;
    job->result = HttpGetBlocking(&job->request, GuardedSink, job, &status, &job->failure);
    job->status = status;
    SetEvent(job->done);
    HMODULE module = job->module;
    LeaveJob(job);
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

static int CopyField(char *out, size_t capacity, const char *text) {
    size_t length = strlen(text);
    if (length >= capacity) {
        return 0;
    }
    memcpy(out, text, length + 1);
    return 1;
}

enum OsHttpResult OsHttpGetExplained(const OsHttpRequest *request, OsBodySink sink, void *context,
                                     int *status, OsHttpFailure *failure) {
    *status = 0;
    SetFailure(failure, OS_HTTP_FAILURE_OTHER, "no request could be started");
    // WinINet's "<local>" bypass: a host name without a dot goes direct.
    char host[256], path[2084];
    INTERNET_PORT port = 0;
    int secure = 0;
    failure->viaProxy =
        request->useProxy &&
        CrackAddress(request->address, host, sizeof host, path, sizeof path, &port, &secure) &&
        strchr(host, '.') != NULL;
    HttpJob *job = (HttpJob *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(HttpJob));
    if (job == NULL) {
        return OS_HTTP_NO_SESSION;
    }
    if (!CopyField(job->address, sizeof job->address, request->address) ||
        !CopyField(job->userAgent, sizeof job->userAgent, request->userAgent) ||
        !CopyField(job->proxyAddress, sizeof job->proxyAddress, request->proxyAddress) ||
        !CopyField(job->proxyUser, sizeof job->proxyUser, request->proxyUser) ||
        !CopyField(job->proxyPassword, sizeof job->proxyPassword, request->proxyPassword) ||
        !CopyField(job->ifModifiedSince, sizeof job->ifModifiedSince,
                   request->ifModifiedSince ? request->ifModifiedSince : "") ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)(void *)&HttpWorker,
                            &job->module)) {
        HeapFree(GetProcessHeap(), 0, job);
        return OS_HTTP_NOT_OPENED;
    }
    job->request = *request;
    job->request.address = job->address;
    job->request.userAgent = job->userAgent;
    job->request.proxyAddress = job->proxyAddress;
    job->request.proxyUser = job->proxyUser;
    job->request.proxyPassword = job->proxyPassword;
    job->request.ifModifiedSince = job->ifModifiedSince;
    job->request.answerHeaders = request->answerHeaders ? &job->answerHeaders : NULL;
    if (request->answerHeaders != NULL) {
        memset(request->answerHeaders, 0, sizeof *request->answerHeaders);
    }
    job->sink = sink;
    job->context = context;
    job->users = 2;
    job->done = CreateEventA(NULL, TRUE, FALSE, NULL);
    InitializeCriticalSection(&job->lock);
    HANDLE thread = job->done ? CreateThread(NULL, 0, HttpWorker, job, 0, NULL) : NULL;
    if (thread == NULL) {
        FreeLibrary(job->module);
        DeleteCriticalSection(&job->lock);
        if (job->done) {
            CloseHandle(job->done);
        }
        HeapFree(GetProcessHeap(), 0, job);
        return OS_HTTP_NO_SESSION;
    }
    // The whole request and one last wait for a piece: past that the caller goes on, and the
    // worker finishes by itself whenever WinINet lets it. The wait is for the worker's event,
    // not its end: a thread's end waits for the loader lock, which others may hold long.
    DWORD bound = request->totalTimeoutMs + request->readTimeoutMs;
    enum OsHttpResult result;
    if (WaitForSingleObject(job->done, bound) == WAIT_OBJECT_0) {
        result = job->result;
        *status = job->status;
        if (request->answerHeaders != NULL && result == OS_HTTP_COMPLETE) {
            *request->answerHeaders = job->answerHeaders;
        }
        if (result == OS_HTTP_COMPLETE || result == OS_HTTP_STOPPED) {
            SetFailure(failure, OS_HTTP_FAILURE_NONE, "");
        } else if (job->failure.kind == OS_HTTP_FAILURE_NONE) {
            SetFailure(failure, OS_HTTP_FAILURE_OTHER, "no answer");
        } else {
            SetFailure(failure, job->failure.kind, job->failure.reason);
        }
    } else {
        EnterCriticalSection(&job->lock);
        job->abandoned = 1;
        LeaveCriticalSection(&job->lock);
        result = OS_HTTP_INCOMPLETE;
        char reason[64];
        snprintf(reason, sizeof reason, "no whole answer within %lu ms", (unsigned long)bound);
        SetFailure(failure, OS_HTTP_FAILURE_TIMEOUT, reason);
    }
    CloseHandle(thread);
    LeaveJob(job);
    return result;
}

enum OsHttpResult OsHttpGet(const OsHttpRequest *request, OsBodySink sink, void *context,
                            int *status) {
    OsHttpFailure ignored;
    return OsHttpGetExplained(request, sink, context, status, &ignored);
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
    HANDLE done;         // set by the thread when its result is in
} ConnectionCheck;

static void LeaveCheck(ConnectionCheck *check) {
    if (InterlockedDecrement(&check->users) == 0) {
        CloseHandle(check->done);
        HeapFree(GetProcessHeap(), 0, check);
    }
}

static DWORD WINAPI CheckConnectionThread(LPVOID argument) {
    ConnectionCheck *check = (ConnectionCheck *)argument;
    check->result = InternetCheckConnectionA(check->address, FLAG_ICC_FORCE_CONNECTION, 0) ? 1 : 0;
    SetEvent(check->done);
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
    check->done = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE thread =
        check->done ? CreateThread(NULL, 0, CheckConnectionThread, check, 0, NULL) : NULL;
    if (thread == NULL) {
        FreeLibrary(check->module);
        if (check->done) {
            CloseHandle(check->done);
        }
        HeapFree(GetProcessHeap(), 0, check);
        return 0;
    }
    int result = 0;
    if (WaitForSingleObject(check->done, timeoutMs) == WAIT_OBJECT_0) {
        result = check->result;
    }
    CloseHandle(thread);
    LeaveCheck(check);
    return result;
}

#endif
