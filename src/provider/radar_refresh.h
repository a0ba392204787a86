// The radar picture of a provider: the newest frame that the radar index lists now.
#ifndef NIMBREL_RADAR_REFRESH_H
#define NIMBREL_RADAR_REFRESH_H

#include <stddef.h>

#include "provider/answers.h"

// Gives the picture at `path` new content for the point that `address` names (a local page's
// radar address): the picture of the newest frame that the index (the row among `rows` that
// feeds KIND_RADAR) lists now, centred on the point. Any other address (a page of the feed,
// cached before the provider) is fetched as it stands. Returns OUTCOME_DONE with the picture in
// place, else OUTCOME_FAILED (the file then keeps its content and its age).
enum Outcome RefreshRadarPicture(const ProviderAnswer *const *rows, size_t count, const char *path,
                                 const char *address);

#endif
