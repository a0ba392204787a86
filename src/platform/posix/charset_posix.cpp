// Conversions into UTF-8 through iconv, and the documents' texts of the POSIX module.
#if !defined(_WIN32)

#include "platform/posix/charset_posix.h"

#include <errno.h>
#include <iconv.h>
#include <pthread.h>
#include <string.h>
#include <strings.h>

#include "platform/platform.h"

// Converters opened so far, by code set. Opening one looks up iconv's modules, too slow for
// every text of a call; a process meets few code sets (its locale's, a feed's), so each is kept
// for the life of the process. A code set iconv does not know is kept too, as unknown.
enum { CONVERTER_SLOTS = 8, CONVERTER_NAME_CAPACITY = 48 };

typedef struct Converter {
    char charset[CONVERTER_NAME_CAPACITY];
    iconv_t descriptor; // (iconv_t)-1 for a code set iconv does not know
} Converter;

static Converter gConverters[CONVERTER_SLOTS];
static int gConverterCount;
static pthread_mutex_t gConverterLock = PTHREAD_MUTEX_INITIALIZER;

static const iconv_t kNoConverter = (iconv_t)-1;
static const char kReplacementCharacter[] = "\xEF\xBF\xBD"; // U+FFFD

// The code set of texts that are not UTF-8 although they may say so, and of the names the web
// reads as it: code page 1252, the superset of Latin-1 that Windows shows.
static const char kWesternCharset[] = "WINDOWS-1252";

int IsUtf8Name(const char *charset) {
    return strcasecmp(charset, "UTF-8") == 0 || strcasecmp(charset, "UTF8") == 0;
}

// The names of Latin-1 and ASCII that documents declare, all read as code page 1252, as web
// browsers read them: the bytes 0x80 to 0x9F are that code page's characters in the texts of
// such documents, never control characters.
static int IsWesternName(const char *charset) {
    static const char *const kNames[] = {
        "ISO-8859-1", "ISO8859-1", "ISO88591", "ISO_8859-1",     "ISO_8859-1:1987",
        "LATIN1",     "L1",        "CP819",    "IBM819",         "CSISOLATIN1",
        "ISO-IR-100", "US-ASCII",  "ASCII",    "ANSI_X3.4-1968", "WINDOWS-1252",
        "CP1252",     "X-CP1252"};
    for (size_t i = 0; i < sizeof kNames / sizeof kNames[0]; i++) {
        if (strcasecmp(charset, kNames[i]) == 0) {
            return 1;
        }
    }
    return 0;
}

int IsWellFormedUtf8(const char *bytes, size_t length) {
    for (size_t i = 0; i < length;) {
        uint32_t codePoint;
        i += OsUtf8Decode(bytes + i, length - i, &codePoint);
        if (codePoint == OS_NOT_A_CHARACTER) {
            return 0;
        }
    }
    return 1;
}

// The converter of a code set into UTF-8, opened at the first use. Called with the lock held.
// Returns kNoConverter when iconv does not know the code set; *temporary is set to 1 when the
// converter is not kept (every slot taken) and the caller closes it.
static iconv_t FindConverter(const char *charset, int *temporary) {
    *temporary = 0;
    for (int i = 0; i < gConverterCount; i++) {
        if (strcmp(gConverters[i].charset, charset) == 0) {
            return gConverters[i].descriptor;
        }
    }
    iconv_t descriptor = iconv_open("UTF-8", charset);
    if (gConverterCount < CONVERTER_SLOTS && strlen(charset) < CONVERTER_NAME_CAPACITY) {
        Converter *slot = &gConverters[gConverterCount++];
        memcpy(slot->charset, charset, strlen(charset) + 1);
        slot->descriptor = descriptor;
    } else {
        *temporary = descriptor != kNoConverter;
    }
    return descriptor;
}

size_t ConvertToUtf8(const char *charset, const char *bytes, size_t length, char *out,
                     size_t capacity, int *known) {
    if (known != NULL) {
        *known = 1;
    }
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    pthread_mutex_lock(&gConverterLock);
    int temporary = 0;
    iconv_t descriptor = FindConverter(charset, &temporary);
    if (descriptor == kNoConverter) {
        pthread_mutex_unlock(&gConverterLock);
        if (known != NULL) {
            *known = 0;
        }
        return 0;
    }
    iconv(descriptor, NULL, NULL, NULL, NULL); // the initial shift state
    char *in = (char *)bytes;
    size_t inLeft = length;
    char *next = out;
    size_t outLeft = capacity - 1;
    while (inLeft > 0) {
        // iconv writes whole characters only: a text that does not fit ends on a boundary.
        if (iconv(descriptor, &in, &inLeft, &next, &outLeft) != (size_t)-1 || errno == E2BIG) {
            break;
        }
        // EILSEQ or EINVAL: a byte the code set leaves undefined, or a sequence cut off.
        if (outLeft < sizeof kReplacementCharacter - 1) {
            break;
        }
        memcpy(next, kReplacementCharacter, sizeof kReplacementCharacter - 1);
        next += sizeof kReplacementCharacter - 1;
        outLeft -= sizeof kReplacementCharacter - 1;
        in++;
        inLeft--;
    }
    iconv(descriptor, NULL, NULL, &next, &outLeft); // back to the initial state, if it shifted
    *next = '\0';
    if (temporary) {
        iconv_close(descriptor);
    }
    pthread_mutex_unlock(&gConverterLock);
    return (size_t)(next - out);
}

void ReleaseConverters(void) {
    pthread_mutex_lock(&gConverterLock);
    for (int i = 0; i < gConverterCount; i++) {
        if (gConverters[i].descriptor != kNoConverter) {
            iconv_close(gConverters[i].descriptor);
        }
        gConverters[i].charset[0] = '\0';
    }
    gConverterCount = 0;
    pthread_mutex_unlock(&gConverterLock);
}

// Copies UTF-8 as it is, cut on a character boundary.
static size_t CopyUtf8(const char *bytes, size_t length, char *out, size_t capacity) {
    size_t count = OsUtf8FitLength(bytes, length, capacity - 1);
    memmove(out, bytes, count);
    out[count] = '\0';
    return count;
}

size_t OsDocumentText(const char *charset, const char *bytes, size_t length, char *out,
                      size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    if (charset[0] != '\0' && !IsUtf8Name(charset)) {
        const char *from = IsWesternName(charset) ? kWesternCharset : charset;
        int known = 0;
        size_t written = ConvertToUtf8(from, bytes, length, out, capacity, &known);
        if (known) {
            return written;
        }
        // A code set iconv does not know: read as if the document had declared none.
    }
    if (IsWellFormedUtf8(bytes, length)) {
        return CopyUtf8(bytes, length, out, capacity);
    }
    return ConvertToUtf8(kWesternCharset, bytes, length, out, capacity, NULL);
}

#endif
