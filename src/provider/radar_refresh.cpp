#include "provider/radar_refresh.h"

#include <stdlib.h>

#include "base/text.h"
#include "feed/cache.h"
#include "feed/download.h"
#include "provider/rainviewer.h"

enum Outcome RefreshRadarPicture(const ProviderAnswer *const *rows, size_t count, const char *path,
                                 const char *address) {
    AnswerSet *set = (AnswerSet *)malloc(sizeof *set);
    if (set == NULL) {
        return OUTCOME_FAILED;
    }
    StartAnswerSet(set);
    if (!ParseRadarPointAddress(address, &set->place.latitude, &set->place.longitude)) {
        free(set);
        return FetchToFile(path, address); // a page of the feed, cached before the provider
    }
    enum Outcome outcome = WalkAnswers(rows, count, KIND_RADAR, FileExists(path), set);
    if (outcome != OUTCOME_DONE) {
        outcome = OUTCOME_FAILED; // an index still on its way names no picture for this call
    } else if (set->radarPicture[0] == '\0' ||
               FetchToFile(path, set->radarPicture) != OUTCOME_DONE) {
        // A picture that cannot be had (or kept) leaves the index alone too: it would be asked
        // again at every call only to name a picture that is not tried again yet.
        char index[PATH_CAPACITY];
        CopyText(index, sizeof index, CacheFilePath(KIND_RADAR_INDEX));
        RememberDownloadFailure(index);
        outcome = OUTCOME_FAILED;
    }
    free(set);
    return outcome;
}
