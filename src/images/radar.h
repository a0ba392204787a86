// Radar and custom images, downloaded into the cache folder and refreshed by age. Both run
// inside an export's mutex frame and return the link text, "IMAGE_PATH%lLINK", or a constant
// error text.
#ifndef NIMBREL_RADAR_H
#define NIMBREL_RADAR_H

#define TEXT_RADAR_PAGE_FAILED "ERROR: Image Download Failed (1)"
#define TEXT_RADAR_INVALID_LOCATION "ERROR: Invalid Location ID"
#define TEXT_RADAR_IMAGE_FAILED "ERROR: Image Download Failed (2)"
#define TEXT_CUSTOM_IMAGE_FAILED "ERROR: Image Download Failed"
#define TEXT_CUSTOM_NICKNAME_TOO_LONG "ERROR: Nickname too long"
#define TEXT_CUSTOM_ADDRESS_TOO_LONG "ERROR: Image address too long"

// The service's local page of a location names its radar image: the second "','"-separated
// field of the text between these two marks.
#define LOCAL_PAGE_OPEN_MARK "new mw_propsObj("
#define LOCAL_PAGE_CLOSE_MARK "Radar"

// The radar image of the Location ID (the default one when empty), cached as KIND_RADAR for 30
// minutes; its address is read from the local page, cached as KIND_HOME for a day and fetched only
// when the image is stale or missing. A stale image or page serves when a refresh fails. A page
// that names no image (a missing mark, too few fields, a service error, no page at all) is
// deleted and gives TEXT_RADAR_INVALID_LOCATION. Returns the link text, "PATH%lPATH".
const char *LocalRadarLink(const char *locationId);

// The image at `address`, cached as "Custom.Radar.NICK.EXT" (NICK the nickname as a safe file
// name part, EXT the address's last three characters, letters and digits kept, others "_")
// and fetched again once older than `refreshMinutes`. A failed refresh is reported even when an
// old copy exists. Returns the link text, "PATH%lADDRESS", or one of the TEXT_CUSTOM_ texts.
const char *CustomRadarLink(const char *nickname, const char *address, int refreshMinutes);

#endif
