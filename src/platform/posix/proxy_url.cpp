#if !defined(_WIN32)

#include "platform/posix/proxy_url.h"

#include <stdlib.h>
#include <string.h>

static int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Copies [start, end) into out (capacity 128), decoding %XX when asked.
static void CopySpan(const char *start, const char *end, char *out, size_t capacity, int decode) {
    size_t n = 0;
    for (const char *p = start; p < end && n + 1 < capacity; p++) {
        if (decode && *p == '%' && end - p >= 3 && HexValue(p[1]) >= 0 && HexValue(p[2]) >= 0) {
            out[n++] = (char)(HexValue(p[1]) * 16 + HexValue(p[2]));
            p += 2;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = '\0';
}

int ParseProxyUrl(const char *url, ProxyParts *parts) {
    parts->server[0] = parts->port[0] = parts->user[0] = parts->password[0] = '\0';
    const char *p = url;
    const char *scheme = strstr(p, "://");
    if (scheme != NULL) {
        p = scheme + 3;
    }
    const char *end = p + strcspn(p, "/?#");
    const char *at = NULL;
    for (const char *q = p; q < end; q++) {
        if (*q == '@') {
            at = q; // the last "@" ends the credentials; a password may hold one
        }
    }
    if (at != NULL) {
        const char *colon = (const char *)memchr(p, ':', (size_t)(at - p));
        CopySpan(p, colon ? colon : at, parts->user, sizeof parts->user, 1);
        if (colon != NULL) {
            CopySpan(colon + 1, at, parts->password, sizeof parts->password, 1);
        }
        p = at + 1;
    }
    const char *hostEnd = end;
    if (*p == '[') { // a bracketed IPv6 address keeps its colons
        const char *close = (const char *)memchr(p, ']', (size_t)(end - p));
        hostEnd = close ? close + 1 : end;
    }
    const char *colon = (const char *)memchr(hostEnd == end ? p : hostEnd, ':',
                                             (size_t)(end - (hostEnd == end ? p : hostEnd)));
    CopySpan(p, colon ? colon : end, parts->server, sizeof parts->server, 0);
    if (colon != NULL) {
        CopySpan(colon + 1, end, parts->port, sizeof parts->port, 0);
    }
    return parts->server[0] != '\0';
}

const char *ProxyFromEnvironment(void) {
    const char *value = getenv("http_proxy");
    if (value == NULL || value[0] == '\0') {
        value = getenv("HTTP_PROXY");
    }
    return (value != NULL && value[0] != '\0') ? value : NULL;
}

#endif
