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

// Parses `length` bytes of an answer. Returns 1 when they are one JSON object.
inline int JsonParseObject(rapidjson::Document *document, const char *json, size_t length) {
    document->Parse<NIMBREL_JSON_FLAGS>(json, length);
    return !document->HasParseError() && document->IsObject();
}

// The member `name` of an object; NULL when there is no object or no such member.
inline const rapidjson::Value *JsonMember(const rapidjson::Value *object, const char *name) {
    if (object == NULL || !object->IsObject()) {
        return NULL;
    }
    rapidjson::Value::ConstMemberIterator found = object->FindMember(name);
    return found == object->MemberEnd() ? NULL : &found->value;
}

#endif
