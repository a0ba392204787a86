// nimbrel-langcheck: reads a language file the way the module reads it and reports every key
// the module may look up that the file lacks or cannot serve.
//
//   nimbrel-langcheck FILE
//
// Every key comes from the module's own tables, and every value is read through the module's
// own profile reader (the Windows profile functions in the DLL's build, the module's INI reader
// in the shared object's), so the verdict is the module's. A key is reported when it is absent,
// empty, "undefined" in Conditions (which counts as absent), longer than its lookup keeps, or
// not in the encoding the module hands to the host: UTF-8 for the shared object; the ANSI code
// page for the DLL, where text that reads as UTF-8 is a file packed for the wrong system.
//
// Exit status: 0 when every key is usable, 1 when any is not, 2 when the file cannot be read or
// the arguments are wrong.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"
#include "base/language.h"
#include "language_keys.h"

// A default no translation can hold: a control character never comes out of a text editor.
static const char kSentinel[] = "\x01nimbrel-langcheck-missing\x01";

enum { READ_CAPACITY = 4096, PATH_ROOM = 4096 };

// 1 when the whole text is UTF-8.
static int IsUtf8(const char *text) {
    size_t left = strlen(text);
    while (left > 0) {
        uint32_t codePoint;
        size_t length = OsUtf8Decode(text, left, &codePoint);
        if (codePoint == OS_NOT_A_CHARACTER) {
            return 0;
        }
        text += length;
        left -= length;
    }
    return 1;
}

// 1 when the text holds a character beyond ASCII and reads as UTF-8 throughout: in an ANSI
// file, accented letters are single bytes that almost never pair up like that.
static int LooksLikeUtf8(const char *text) {
    for (const unsigned char *p = (const unsigned char *)text; *p != '\0'; p++) {
        if (*p >= 0x80) {
            return IsUtf8(text);
        }
    }
    return 0;
}

// What is wrong with the value read for `key`, or NULL when it serves.
static const char *Problem(const LanguageKey *key, const char *value) {
    if (strcmp(value, kSentinel) == 0) {
        return "missing";
    }
    if (value[0] == '\0') {
        return "empty";
    }
    if (strcmp(key->section, "Conditions") == 0 && strcmp(value, "undefined") == 0) {
        return "\"undefined\", which counts as missing";
    }
    if (strlen(value) + 1 > key->capacity) {
        return "too long: the module keeps only the first bytes";
    }
    if (OsTextIsUtf8 && !IsUtf8(value)) {
        return "not UTF-8";
    }
    if (!OsTextIsUtf8 && LooksLikeUtf8(value)) {
        return "UTF-8, but the host reads the ANSI code page";
    }
    return NULL;
}

// The file's full path: the Windows profile functions look for a bare name in the Windows
// folder, not in the current one.
static int FullPath(const char *path, char *out, size_t capacity) {
#if defined(_WIN32)
    return _fullpath(out, path, capacity) != NULL;
#else
    if (strlen(path) + 1 > capacity) {
        return 0;
    }
    strcpy(out, path);
    return 1;
#endif
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: nimbrel-langcheck FILE\n");
        return 2;
    }
    char path[PATH_ROOM];
    OsFile *file = FullPath(argv[1], path, sizeof path) ? OsFileOpenRead(path) : NULL;
    if (file == NULL) {
        fprintf(stderr, "nimbrel-langcheck: cannot read %s\n", argv[1]);
        return 2;
    }
    OsFileClose(file);

    int keys = 0;
    int bad = 0;
    LanguageKey key;
    static char value[READ_CAPACITY];
    while (LanguageKeyAt(keys, &key)) {
        keys++;
        // Read with more room than the lookup has, so that a value it would cut shows whole.
        OsProfileGetString(path, key.section, key.key, kSentinel, value, sizeof value);
        const char *problem = Problem(&key, value);
        if (problem != NULL) {
            bad++;
            printf("%s: [%s] %s (for \"%s\"): %s\n", argv[1], key.section, key.key, key.english,
                   problem);
        }
    }
    if (bad > 0) {
        printf("%s: %d of %d keys unusable\n", argv[1], bad, keys);
        return 1;
    }
    printf("%s: all %d keys present\n", argv[1], keys);
    return 0;
}
