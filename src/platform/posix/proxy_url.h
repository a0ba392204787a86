// The proxy of the POSIX port comes from the http_proxy environment variable.
#ifndef NIMBREL_PROXY_URL_H
#define NIMBREL_PROXY_URL_H

#include <stddef.h>

typedef struct ProxyParts {
    char server[128];   // host name or address, or empty
    char port[128];     // decimal port, or empty
    char user[128];     // percent-decoded, or empty
    char password[128]; // percent-decoded, or empty
} ProxyParts;

// Splits "[http://][user[:password]@]server[:port][/...]" into its parts. A part that does not
// fit its field is cut. Returns 1 when a server was found, 0 otherwise.
int ParseProxyUrl(const char *url, ProxyParts *parts);

// The proxy address in the environment: http_proxy, else HTTP_PROXY; NULL when both are unset
// or empty.
const char *ProxyFromEnvironment(void);

#endif
