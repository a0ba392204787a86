// The feed's documents written from what the answers of a refresh gave.
#ifndef NIMBREL_DOCUMENTS_H
#define NIMBREL_DOCUMENTS_H

#include "feed/kinds.h"
#include "provider/answers.h"

// Writes the document of `kind` for the unit type `unit` into `path` from `set`: the weather
// (with the alerts), or the service error document with set->reason; the local page needs the
// place only. Returns 1, or 0 when it could not be rendered or stored (the file then as it was).
int WriteDocument(enum DocumentKind kind, const char *unit, const char *path, const AnswerSet *set);

// After a new answer, every other document of the Location ID that is cached already is written
// anew from `set`, so that the English and Metric values of one refresh agree and no file keeps
// older weather than its siblings. `path` is the one written already.
void RewriteSiblings(const char *path, const AnswerSet *set);

#endif
