// Writes a provider record's documents into the cache as the provider does, for the expression
// tests that read a source's values through the feed's vocabulary.
#ifndef NIMBREL_TESTS_RENDERED_DOCUMENTS_H
#define NIMBREL_TESTS_RENDERED_DOCUMENTS_H

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "base/grow_text.h"
#include "base/state.h"
#include "base/text.h"
#include "feed/cache.h"
#include "platform/platform.h"
#include "provider/render.h"
#include "support/sandbox.h"

// Every document of `id` in every unit type, rendered from `model` for `place` as downloaded
// at `downloadTime` (a file time), written to the cache file the queries read.
inline void WriteRenderedDocuments(const ModelWeather *model, const PlaceInfo *place,
                                   const char *id, uint64_t downloadTime) {
    for (const char *unit : {"English", "Metric", "Both"}) {
        for (enum DocumentKind kind : {KIND_CURRENT, KIND_FORECAST, KIND_DETAILS, KIND_HOURLY}) {
            RenderContext context = {
                model,          place,           id,           strcmp(unit, "Metric") == 0,
                Plugin.maxDays, Plugin.maxHours, downloadTime, nullptr,
                nullptr,        nullptr};
            GrowText text;
            GrowTextInit(&text, 0);
            ASSERT_EQ(1, RenderFeedDocument(kind, &context, &text)) << kind;
            CopyText(Plugin.callLocationId, sizeof Plugin.callLocationId, id);
            CopyText(Plugin.callUnit, sizeof Plugin.callUnit, unit);
            sandbox::WriteFile(CacheFilePath(kind), std::string(text.bytes, text.length));
            GrowTextFree(&text);
        }
    }
}

// `plain` with its decimal point written as the locale writes it.
inline std::string LocaleDecimal(std::string plain) {
    char separator[8];
    OsDecimalSeparator(separator, sizeof separator);
    if (strcmp(separator, ".") != 0) {
        plain.replace(plain.find('.'), 1, separator);
    }
    return plain;
}

// Terms with the value each is expected to give.
typedef std::vector<std::pair<const char *, std::string>> TermCases;

// The terms of `cases`, each followed by a bar: one expression that asks them all.
inline std::string TermsOf(const TermCases &cases) {
    std::string expression;
    for (const auto &c : cases) {
        expression += std::string(c.first) + "|";
    }
    return expression;
}

// Checks that `result`, the expression of TermsOf filled in, holds the values expected.
inline void ExpectTermValues(const std::string &result, const TermCases &cases) {
    std::string want;
    for (const auto &c : cases) {
        want += c.second + "|";
    }
    EXPECT_EQ(want, result);
}

#endif
