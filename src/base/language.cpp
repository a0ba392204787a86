#include "base/language.h"

#include <string.h>

#include "base/state.h"
#include "base/text.h"
#include "base/vocabulary.h"

int LanguageChosen(void) {
    return strcmp(Plugin.customLanguage, "None") != 0;
}

char *ReadLanguageText(const char *section, const char *key, const char *fallback, char *out,
                       size_t capacity) {
    if (Plugin.languagePath[0] == '\0') {
        CopyText(out, capacity, fallback);
        return out;
    }
    // The lookup may read its default from the buffer it writes: copy it first.
    char fallbackCopy[TEXT_CAPACITY];
    CopyText(fallbackCopy, sizeof fallbackCopy, fallback);
    OsProfileGetString(Plugin.languagePath, section, key, fallbackCopy, out, capacity);
    return out;
}

char *Translate(const char *section, char *text) {
    if (!LanguageChosen()) {
        return text;
    }
    char key[TRANSLATION_CAPACITY];
    CopyText(key, sizeof key, text);
    return ReadLanguageText(section, key, key, text, TRANSLATION_CAPACITY);
}

// 1 when the text is a plain decimal number from 0 to 47.
static int ConditionIndex(const char *code, int *index) {
    const char *p = code;
    while (*p == ' ') {
        p++;
    }
    if (*p < '0' || *p > '9') {
        return 0;
    }
    *index = TextToInt(code);
    return *index >= 0 && *index < CONDITION_COUNT;
}

char *ConditionKey(const char *code, char *out, size_t capacity) {
    FormatText(out, capacity, "Cond%s", code);
    return out;
}

const char *TranslateCondition(const char *section, char *code) {
    int index = 0;
    int known = ConditionIndex(code, &index);
    char original[CONDITION_CAPACITY];
    CopyText(original, sizeof original, code);
    char key[CONDITION_CAPACITY + 8];
    ConditionKey(original, key, sizeof key);
    ReadLanguageText(section, key, "undefined", code, CONDITION_CAPACITY);
    if (strcmp(code, "undefined") != 0) {
        return code;
    }
    if (known) {
        return ConditionEnglish(index);
    }
    // No row for this text ("N/A", an error, a code beyond the table): shown as it came.
    CopyText(code, CONDITION_CAPACITY, original);
    return code;
}

char *DayWordText(enum DayWord word, char *out, size_t capacity) {
    const char *english = DayWordEnglish(word);
    if (!LanguageChosen()) {
        CopyText(out, capacity, english);
        return out;
    }
    size_t limit = DAY_WORD_CAPACITY;
    return ReadLanguageText("Daynames", english, english, out, capacity < limit ? capacity : limit);
}
