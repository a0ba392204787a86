#include "expr/expression.h"

#include <string.h>

#include "base/terms.h"
#include "base/state.h"
#include "base/text.h"

const char *SubstituteTerms(const char *expression, const Term *terms, size_t count,
                            const ExpressionCall *call, TagHandler tagHandler) {
    CopyText(Plugin.expression, sizeof Plugin.expression, expression);
    // Counted on what will be substituted: a "<" cut off with the tail counts for nothing.
    Plugin.tagCounter = CountTerms(Plugin.expression);
    for (size_t i = 0; i < count; i++) {
        const Term *term = &terms[i];
        const char *at = strstr(Plugin.expression, term->text);
        if (at == NULL) {
            continue;
        }
        if (term->flags & TERM_SELF_REPLACING) {
            if (tagHandler != NULL) {
                tagHandler((size_t)(at - Plugin.expression));
            }
            continue;
        }
        // The value functions leave the expression buffer alone: the term stays where it was
        // found, with no occurrence before it.
        size_t offset = (size_t)(at - Plugin.expression);
        const char *value = term->value(call);
        // Each replacement of a term accounts for one "<" of the expression, however many
        // times the term occurs.
        if (ReplaceTermAt(Plugin.expression, sizeof Plugin.expression, offset, term->text, value)) {
            Plugin.tagCounter--;
        }
        if (Plugin.tagCounter == 0 && !(term->flags & TERM_NOT_TESTED)) {
            break;
        }
    }
    return Plugin.expression;
}

const char *ProbeAndSubstitute(const Probe *probe, const char *expression, const Term *terms,
                               size_t count, const ExpressionCall *call, TagHandler tagHandler) {
    // The expression may lie in the expression buffer itself (Now and Later put it there).
    char copy[TEXT_CAPACITY];
    CopyText(copy, sizeof copy, expression);
    const char *value =
        probe->query(call->locationId, Plugin.defaultUnit, probe->open, probe->close, 1);
    int failed = strstr(value, "ERROR") != NULL || (probe->naIsError && strstr(value, "N/A"));
    if (failed && probe->naNeedsNoStamp && strstr(value, "ERROR") == NULL) {
        // A document that has its stamp is there; only the probed value is missing from it.
        char probed[TEXT_CAPACITY];
        CopyText(probed, sizeof probed, value);
        const char *stamp =
            probe->query(call->locationId, Plugin.defaultUnit, "<lsup>", "</lsup>", 1);
        failed = strstr(stamp, "ERROR") != NULL || strstr(stamp, "N/A") != NULL;
        CopyText(Plugin.value, sizeof Plugin.value, probed);
    }
    if (!failed) {
        return SubstituteTerms(copy, terms, count, call, tagHandler);
    }
    if (strstr(copy, "<update>") != NULL) {
        probe->query(call->locationId, Plugin.defaultUnit, "<lsup>", "</lsup>", 1);
    }
    CopyText(Plugin.expression, sizeof Plugin.expression, Plugin.value);
    return Plugin.expression;
}

const char *ArgumentText(const char *argument) {
    return argument ? argument : "";
}
