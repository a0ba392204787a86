// RapidJSON as the provider layer uses it: only from the provider's own files, never across
// the seam, with no exceptions. Fuzz builds stop at the first misuse of its accessors, which
// every reader here guards against by checking types first.
#ifndef NIMBREL_JSON_H
#define NIMBREL_JSON_H

#if defined(NIMBREL_STRICT_JSON)
#define RAPIDJSON_ASSERT(x)                                                                        \
    do {                                                                                           \
        if (!(x)) {                                                                                \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (0)
#endif

#include <rapidjson/document.h>

// Parsing keeps its own stack rather than recursing, so nesting of any depth costs no stack;
// NaN and infinities are not JSON and are refused.
#define NIMBREL_JSON_FLAGS (rapidjson::kParseIterativeFlag)

#endif
