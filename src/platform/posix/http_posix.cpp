// HTTP for the POSIX port, through libcurl, with the effects the Windows build gets from
// WinINet: the agent, a reload past every cache, the proxy with its "<local>" bypass and its
// credentials, and pieces of at most 4096 bytes. Every transfer is bounded.
#if !defined(_WIN32)

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <pthread.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "platform/platform.h"

static pthread_once_t gCurlOnce = PTHREAD_ONCE_INIT;
static int gCurlReady;

static void InitialiseCurl(void) {
    gCurlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == 0;
}

static int CurlReady(void) {
    pthread_once(&gCurlOnce, InitialiseCurl);
    return gCurlReady;
}

// WinINet's "<local>" bypass: a host name without a dot goes direct.
static int HostHasDot(const char *address) {
    const char *host = strstr(address, "://");
    host = host ? host + 3 : address;
    if (*host == '[') {
        return 0; // a bracketed IPv6 literal has no dots
    }
    size_t length = strcspn(host, ":/?#");
    const char *at = (const char *)memchr(host, '@', length);
    if (at != NULL) {
        length -= (size_t)(at + 1 - host);
        host = at + 1;
    }
    return memchr(host, '.', length) != NULL;
}

typedef struct SinkCall {
    OsBodySink sink;
    void *context;
    int stopped;
} SinkCall;

static size_t WriteBody(char *bytes, size_t size, size_t count, void *user) {
    SinkCall *call = (SinkCall *)user;
    size_t total = size * count;
    // libcurl hands over at most the buffer size set below, but pieces stay at 4096 bytes
    // whatever it does.
    for (size_t done = 0; done < total; done += OS_HTTP_PIECE) {
        size_t piece = total - done < (size_t)OS_HTTP_PIECE ? total - done : (size_t)OS_HTTP_PIECE;
        if (!call->sink(call->context, bytes + done, piece)) {
            call->stopped = 1;
            return 0;
        }
    }
    return total;
}

// Keeps the three answer headers the caller asked for, as libcurl hands over each header line.
static size_t KeepHeader(char *line, size_t size, size_t count, void *user) {
    OsHttpAnswerHeaders *headers = (OsHttpAnswerHeaders *)user;
    size_t length = size * count;
    static const struct {
        const char *name;
        size_t offset;
    } kKept[] = {{"expires:", offsetof(OsHttpAnswerHeaders, expires)},
                 {"last-modified:", offsetof(OsHttpAnswerHeaders, lastModified)},
                 {"date:", offsetof(OsHttpAnswerHeaders, date)}};
    if (length >= 5 && strncmp(line, "HTTP/", 5) == 0) {
        memset(headers, 0, sizeof *headers); // a redirect's answer is not the last one
    }
    for (size_t k = 0; k < sizeof kKept / sizeof kKept[0]; k++) {
        size_t n = strlen(kKept[k].name);
        if (length > n && strncasecmp(line, kKept[k].name, n) == 0) {
            const char *value = line + n;
            size_t valueLength = length - n;
            while (valueLength > 0 && (*value == ' ' || *value == '\t')) {
                value++, valueLength--;
            }
            while (valueLength > 0 &&
                   (value[valueLength - 1] == '\r' || value[valueLength - 1] == '\n' ||
                    value[valueLength - 1] == ' ')) {
                valueLength--;
            }
            char *out = (char *)headers + kKept[k].offset;
            if (valueLength >= OS_HTTP_HEADER_CAPACITY) {
                valueLength = OS_HTTP_HEADER_CAPACITY - 1;
            }
            memcpy(out, value, valueLength);
            out[valueLength] = '\0';
        }
    }
    return length;
}

static void SetCommonOptions(CURL *curl, const char *address, unsigned connectTimeoutMs) {
    curl_easy_setopt(curl, CURLOPT_URL, address);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L); // no SIGALRM inside the host process
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, (long)connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // A redirect never leaves HTTPS: a man in the middle of the plain hop could feed anything.
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR,
                     strncasecmp(address, "https:", 6) == 0 ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_PROXY, ""); // no proxy from the environment unless asked
    // As for the curl program, CURL_CA_BUNDLE names a file of certificate authorities that takes
    // the place of the system's: certificates are checked all the same, against those alone.
    const char *authorities = getenv("CURL_CA_BUNDLE");
    if (authorities != NULL && authorities[0] != '\0') {
        curl_easy_setopt(curl, CURLOPT_CAINFO, authorities);
    }
}

// What a libcurl result code says went wrong.
static enum OsHttpFailureKind FailureKind(CURLcode code) {
    switch (code) {
    case CURLE_OK:
    case CURLE_WRITE_ERROR: // the sink stopped the transfer
        return OS_HTTP_FAILURE_NONE;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return OS_HTTP_FAILURE_DNS;
    case CURLE_COULDNT_CONNECT:
        return OS_HTTP_FAILURE_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
        return OS_HTTP_FAILURE_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return OS_HTTP_FAILURE_TLS;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return OS_HTTP_FAILURE_BROKEN;
    default:
        return OS_HTTP_FAILURE_OTHER;
    }
}

static void ExplainFailure(CURLcode code, const char *errorBuffer, OsHttpFailure *failure) {
    failure->kind = FailureKind(code);
    const char *reason = failure->kind == OS_HTTP_FAILURE_NONE ? ""
                         : errorBuffer[0] != '\0'              ? errorBuffer
                                                               : curl_easy_strerror(code);
    size_t length = strlen(reason);
    if (length >= sizeof failure->reason) {
        length = sizeof failure->reason - 1;
    }
    memcpy(failure->reason, reason, length);
    failure->reason[length] = '\0';
}

enum OsHttpResult OsHttpGetExplained(const OsHttpRequest *request, OsBodySink sink, void *context,
                                     int *status, OsHttpFailure *failure) {
    *status = 0;
    failure->kind = OS_HTTP_FAILURE_OTHER;
    failure->viaProxy = 0;
    strcpy(failure->reason, "no HTTP session could be made");
    CURL *curl = CurlReady() ? curl_easy_init() : NULL;
    if (curl == NULL) {
        return OS_HTTP_NO_SESSION;
    }
    char errorBuffer[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    SetCommonOptions(curl, request->address, request->connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, request->userAgent);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, (long)request->totalTimeoutMs);
    // Less than one byte a second for the read bound ends the transfer: the bound of each
    // wait for the next piece.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, (long)(request->readTimeoutMs + 999) / 1000);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, (long)OS_HTTP_PIECE);
    struct curl_slist *headers = curl_slist_append(NULL, "Cache-Control: no-cache");
    struct curl_slist *more = headers ? curl_slist_append(headers, "Pragma: no-cache") : NULL;
    if (more == NULL) {
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
        return OS_HTTP_NO_SESSION;
    }
    headers = more;
    char since[OS_HTTP_HEADER_CAPACITY + 32];
    if (request->ifModifiedSince != NULL && request->ifModifiedSince[0] != '\0' &&
        strlen(request->ifModifiedSince) < OS_HTTP_HEADER_CAPACITY) {
        strcpy(since, "If-Modified-Since: ");
        strcat(since, request->ifModifiedSince);
        more = curl_slist_append(headers, since);
        if (more == NULL) {
            curl_slist_free_all(headers);
            curl_easy_cleanup(curl);
            return OS_HTTP_NO_SESSION;
        }
        headers = more;
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    if (request->answerHeaders != NULL) {
        memset(request->answerHeaders, 0, sizeof *request->answerHeaders);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, KeepHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, request->answerHeaders);
    }
    if (request->useProxy && HostHasDot(request->address)) {
        failure->viaProxy = 1;
        curl_easy_setopt(curl, CURLOPT_PROXY, request->proxyAddress);
        curl_easy_setopt(curl, CURLOPT_PROXYTYPE, (long)CURLPROXY_HTTP);
        curl_easy_setopt(curl, CURLOPT_PROXYAUTH, (long)CURLAUTH_ANY);
        if (request->proxyUser[0] != '\0') {
            curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, request->proxyUser);
            curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, request->proxyPassword);
        }
    }
    SinkCall call = {sink, context, 0};
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &call);

    CURLcode code = curl_easy_perform(curl);
    long responseCode = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &responseCode);
    *status = (int)responseCode;
    ExplainFailure(code, errorBuffer, failure);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);

    if (code == CURLE_OK) {
        return OS_HTTP_COMPLETE;
    }
    if (request->answerHeaders != NULL) {
        memset(request->answerHeaders, 0, sizeof *request->answerHeaders);
    }
    if (call.stopped) {
        return OS_HTTP_STOPPED;
    }
    return responseCode == 0 ? OS_HTTP_NOT_OPENED : OS_HTTP_INCOMPLETE;
}

enum OsHttpResult OsHttpGet(const OsHttpRequest *request, OsBodySink sink, void *context,
                            int *status) {
    OsHttpFailure ignored;
    return OsHttpGetExplained(request, sink, context, status, &ignored);
}

int OsInternetConnected(void) {
    struct ifaddrs *interfaces;
    if (getifaddrs(&interfaces) != 0) {
        return 0;
    }
    int up = 0;
    for (struct ifaddrs *i = interfaces; i != NULL; i = i->ifa_next) {
        if ((i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_RUNNING)) {
            up = 1;
            break;
        }
    }
    freeifaddrs(interfaces);
    return up;
}

int OsCheckConnection(const char *address, unsigned timeoutMs) {
    CURL *curl = CurlReady() ? curl_easy_init() : NULL;
    if (curl == NULL) {
        return 0;
    }
    SetCommonOptions(curl, address, timeoutMs);
    curl_easy_setopt(curl, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, (long)timeoutMs);
    CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return code == CURLE_OK;
}

#endif
