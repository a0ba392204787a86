#include "feed/kept_answer.h"

#include <stdlib.h>
#include <string.h>

#include "base/grow_text.h"
#include "base/state.h"
#include "base/text.h"
#include "feed/cache.h"
#include "feed/download.h"

// The copy in the file, as read: its bytes, and with them its headers and its answer.
typedef struct KeptCopy {
    char *bytes;                 // the whole file (heap), or NULL when there is none
    OsHttpAnswerHeaders headers; // empty when the file has none
    const char *answer;          // within `bytes`, after the headers
    size_t length;
    enum AnswerKind kind; // what it says, once read
} KeptCopy;

static const char kExpiresField[] = "Expires: ";
static const char kLastModifiedField[] = "Last-Modified: ";
static const char kDateField[] = "Date: ";

// The header line `field` of `text` (up to the blank line at `end`), into `out`.
static void HeaderField(const char *text, const char *end, const char *field, char *out,
                        size_t capacity) {
    out[0] = '\0';
    size_t fieldLength = strlen(field);
    for (const char *line = text; line < end;) {
        const char *next = (const char *)memchr(line, '\n', (size_t)(end - line));
        next = next ? next : end;
        if ((size_t)(next - line) > fieldLength && memcmp(line, field, fieldLength) == 0) {
            FormatText(out, capacity, "%.*s", (int)(next - line - fieldLength), line + fieldLength);
            return;
        }
        line = next + 1;
    }
}

// An answer kept with its headers has them in front, a line each, and a blank line after them.
// Splits `bytes` into its headers and its answer; one without headers (a JSON answer, as
// another process may have kept it) is the answer alone.
static void SplitHeaders(const char *bytes, size_t length, OsHttpAnswerHeaders *headers,
                         const char **answer, size_t *answerLength) {
    headers->expires[0] = headers->lastModified[0] = headers->date[0] = '\0';
    *answer = bytes;
    *answerLength = length;
    if (length == 0 || bytes[0] == '{') {
        return;
    }
    const char *blank = NULL;
    for (size_t i = 0; i + 1 < length && blank == NULL; i++) {
        if (bytes[i] == '\n' && bytes[i + 1] == '\n') {
            blank = bytes + i;
        }
    }
    if (blank == NULL) {
        return;
    }
    HeaderField(bytes, blank, kExpiresField, headers->expires, sizeof headers->expires);
    HeaderField(bytes, blank, kLastModifiedField, headers->lastModified,
                sizeof headers->lastModified);
    HeaderField(bytes, blank, kDateField, headers->date, sizeof headers->date);
    *answer = blank + 2;
    *answerLength = (size_t)(bytes + length - *answer);
}

static enum Outcome KeepWithHeaders(const char *path, const OsHttpAnswerHeaders *headers,
                                    const char *answer, size_t length) {
    GrowText file;
    GrowTextInit(&file, 0);
    enum Outcome kept = OUTCOME_FAILED;
    if (GrowTextFormat(&file, "%s%s\n%s%s\n%s%s\n\n", kExpiresField, headers->expires,
                       kLastModifiedField, headers->lastModified, kDateField, headers->date) &&
        GrowTextAppendBytes(&file, answer, length)) {
        kept = KeepAnswer(path, file.bytes, file.length);
    } else {
        RememberDownloadFailure(path);
    }
    GrowTextFree(&file);
    return kept;
}

// An answer worth keeping: what the service says about the place, or its refusal. A refusal
// counts only from a successful status or a client error that is no throttling or time-out: a
// server in trouble says nothing about the request.
static int Keepable(enum AnswerKind kind, int status) {
    if (status >= 200 && status <= 299) {
        return kind != ANSWER_UNREADABLE;
    }
    return kind == ANSWER_REFUSED && status >= 400 && status <= 499 && status != 408 &&
           status != 429;
}

// Reads the copy at `path` into `record`. Returns 1 when it could be read; 0 when there is none,
// and then an unreadable one is removed.
static int ReadCopy(const KeptAnswerRule *rule, const char *path, AnswerReader read, void *record,
                    char *reason, size_t reasonCapacity, KeptCopy *copy) {
    free(copy->bytes);
    size_t length = 0;
    copy->bytes = ReadWholeFile(path, rule->limit, &length);
    if (copy->bytes == NULL) {
        return 0;
    }
    if (rule->keepsHeaders) {
        SplitHeaders(copy->bytes, length, &copy->headers, &copy->answer, &copy->length);
    } else {
        copy->headers.expires[0] = copy->headers.lastModified[0] = copy->headers.date[0] = '\0';
        copy->answer = copy->bytes;
        copy->length = length;
    }
    copy->kind = read(copy->answer, copy->length, record, reason, reasonCapacity);
    if (copy->kind == ANSWER_UNREADABLE) {
        free(copy->bytes);
        copy->bytes = NULL;
        OsFileDelete(path);
        ForgetCacheCheck(path);
        return 0;
    }
    return 1;
}

static int FreshByAge(const char *path, int minutes) {
    return minutes > 0 && CacheFileAge(path, minutes) == CACHE_FRESH;
}

// Whether the copy that was read may serve without asking.
static int CopyFresh(const KeptAnswerRule *rule, const char *path, const KeptCopy *copy) {
    int ageLimit = DocumentKindOf(rule->kind)->ageLimit;
    if (rule->keepsHeaders && rule->headersFresh != NULL) {
        uint64_t arrived = 0;
        int byHeaders = OsFileLastWrite(path, &arrived)
                            ? rule->headersFresh(&copy->headers, arrived, OsUtcNow())
                            : 0;
        if (byHeaders >= 0) {
            return byHeaders;
        }
    }
    if (!FreshByAge(path, ageLimit)) {
        return 0;
    }
    // A refusal is asked about again sooner.
    return copy->kind != ANSWER_REFUSED || rule->refusalMinutes <= 0 ||
           ageLimit <= rule->refusalMinutes || FreshByAge(path, rule->refusalMinutes);
}

// The copy serves: `result` filled from it.
static enum Outcome Served(const char *path, const KeptCopy *copy, KeptAnswerResult *result) {
    result->kind = copy->kind;
    result->isNew = 0;
    if (!OsFileLastWrite(path, &result->arrived)) {
        result->arrived = OsUtcNow();
    }
    return OUTCOME_DONE;
}

// The copy serves when there is one that can be read; else `otherwise`.
static enum Outcome ServeCopy(const KeptAnswerRule *rule, const char *path, AnswerReader read,
                              void *record, char *reason, size_t reasonCapacity, KeptCopy *copy,
                              enum Outcome otherwise, KeptAnswerResult *result) {
    if (rule->keepsCopy && ReadCopy(rule, path, read, record, reason, reasonCapacity, copy)) {
        return Served(path, copy, result);
    }
    return otherwise;
}

// A failed request drops the copy of a rule with failureDrops; where the service is not to be
// asked again soon, an empty file keeps the time of the request.
static void DropCopy(const KeptAnswerRule *rule, const char *path) {
    if (rule->minimumMinutes == 0 || StoreFile(path, "", 0) != OUTCOME_DONE) {
        OsFileDelete(path);
        ForgetCacheCheck(path);
    }
}

// The file of a rule's answer: the call's Location ID's, or its key's.
static const char *RuleFilePath(const KeptAnswerRule *rule) {
    return rule->key != NULL ? CacheFilePathForKey(rule->kind, rule->key)
                             : CacheFilePath(rule->kind);
}

enum Outcome KeepAndRefresh(const KeptAnswerRule *rule, const char *address, int showsCopy,
                            AnswerReader read, void *record, char *reason, size_t reasonCapacity,
                            KeptAnswerResult *result) {
    result->kind = ANSWER_UNREADABLE;
    result->isNew = 0;
    result->arrived = 0;
    char path[PATH_CAPACITY];
    CopyText(path, sizeof path, RuleFilePath(rule));
    if (path[0] == '\0') {
        return OUTCOME_FAILED;
    }
    KeptCopy copy;
    memset(&copy, 0, sizeof copy);
    // An answer with headers is read first: they tell whether it is fresh, and a request asks
    // only for a newer one. Any other is read only while its age says it is fresh.
    int readable = rule->keepsCopy &&
                   (rule->keepsHeaders || FreshByAge(path, DocumentKindOf(rule->kind)->ageLimit)) &&
                   ReadCopy(rule, path, read, record, reason, reasonCapacity, &copy);
    if (readable && CopyFresh(rule, path, &copy)) {
        enum Outcome served = Served(path, &copy, result);
        free(copy.bytes);
        return served;
    }
    // Not asked again within its minimum interval; nor, where a stale copy serves, within the
    // failure memory's time: a failure has already dropped what it could not confirm.
    if (FreshByAge(path, rule->minimumMinutes) ||
        (rule->staleServes && DownloadFailedRecently(path))) {
        enum Outcome served = ServeCopy(rule, path, read, record, reason, reasonCapacity, &copy,
                                        OUTCOME_FAILED, result);
        free(copy.bytes);
        return served;
    }

    GrowText body;
    GrowTextInit(&body, 0);
    int status = 0;
    OsHttpAnswerHeaders headers;
    const char *since = readable && rule->keepsHeaders ? copy.headers.lastModified : NULL;
    enum Outcome fetch = address[0] != '\0' ? FetchAnswerSince(path, address, showsCopy, since,
                                                               rule->keepsHeaders ? &headers : NULL,
                                                               &body, rule->limit, &status)
                                            : OUTCOME_FAILED;
    if (fetch == OUTCOME_DONE && status == 304 && readable) {
        // Not modified: the copy (in the record already) serves on, with the new headers.
        if (headers.lastModified[0] == '\0') {
            CopyText(headers.lastModified, sizeof headers.lastModified, copy.headers.lastModified);
        }
        KeepWithHeaders(path, &headers, copy.answer, copy.length);
        result->kind = copy.kind;
        result->isNew = 1;
        result->arrived = OsUtcNow();
        GrowTextFree(&body);
        free(copy.bytes);
        return OUTCOME_DONE;
    }
    if (fetch == OUTCOME_DONE) {
        const char *answer = GrowTextChars(&body);
        size_t length = body.length;
        OsHttpAnswerHeaders inFront;
        if (rule->keepsHeaders) {
            SplitHeaders(answer, length, &inFront, &answer, &length);
        }
        enum AnswerKind kind = read(answer, length, record, reason, reasonCapacity);
        if (Keepable(kind, status)) {
            if (rule->keepsCopy && rule->keepsHeaders) {
                if (headers.expires[0] == '\0' && headers.lastModified[0] == '\0' &&
                    headers.date[0] == '\0') {
                    headers = inFront; // kept by another process with them
                }
                KeepWithHeaders(path, &headers, answer, length);
            } else if (rule->keepsCopy) {
                KeepAnswer(path, body.bytes, body.length);
            }
            result->kind = kind;
            result->isNew = 1;
            result->arrived = OsUtcNow();
            GrowTextFree(&body);
            free(copy.bytes);
            return OUTCOME_DONE;
        }
        RememberDownloadFailure(path);
    }
    GrowTextFree(&body);

    enum Outcome outcome = fetch == OUTCOME_PENDING ? OUTCOME_PENDING : OUTCOME_FAILED;
    if (outcome == OUTCOME_FAILED && rule->failureDrops) {
        DropCopy(rule, path);
    } else if (rule->staleServes) {
        outcome =
            ServeCopy(rule, path, read, record, reason, reasonCapacity, &copy, outcome, result);
    }
    free(copy.bytes);
    return outcome;
}

enum Outcome ReadKeptCopy(const KeptAnswerRule *rule, AnswerReader read, void *record, char *reason,
                          size_t reasonCapacity, KeptAnswerResult *result) {
    result->kind = ANSWER_UNREADABLE;
    result->isNew = 0;
    result->arrived = 0;
    char path[PATH_CAPACITY];
    CopyText(path, sizeof path, RuleFilePath(rule));
    KeptCopy copy;
    memset(&copy, 0, sizeof copy);
    enum Outcome outcome = path[0] != '\0'
                               ? ServeCopy(rule, path, read, record, reason, reasonCapacity, &copy,
                                           OUTCOME_FAILED, result)
                               : OUTCOME_FAILED;
    free(copy.bytes);
    return outcome;
}
