#include "feed/address.h"

#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "base/text.h"

static const char kPartnerId[] = "4827316590";
static const char kPartnerKey[] = "c7e2a19f40b63d85";

const char *UnitCode(void) {
    return UnitCodeOf(Plugin.callUnit);
}

const char *UnitCodeOf(const char *unit) {
    if (EqualsIgnoreCase(unit, "Metric")) {
        return "m";
    }
    if (EqualsIgnoreCase(unit, "English")) {
        return "s";
    }
    return Plugin.defaultUnit;
}

int RandomTag(void) {
    return rand() % 1000;
}

int PercentEncode(const char *text, char *out, size_t capacity) {
    static const char kHex[] = "0123456789ABCDEF";
    size_t n = 0;
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        unsigned char c = *p;
        int plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.' || c == '_' || c == '~';
        size_t width = plain ? 1 : 3;
        if (n + width >= capacity) {
            if (capacity > 0) {
                out[0] = '\0';
            }
            return 0;
        }
        if (plain) {
            out[n++] = (char)c;
        } else {
            out[n++] = '%';
            out[n++] = kHex[c >> 4];
            out[n++] = kHex[c & 15];
        }
    }
    if (capacity > 0) {
        out[n] = '\0';
    }
    return capacity > 0;
}

// The upper-cased, encoded Location ID of the call, ready for an address.
static int PrepareLocation(char *encoded, size_t capacity) {
    UpperCaseAscii(Plugin.callLocationId);
    return PercentEncode(Plugin.callLocationId, encoded, capacity);
}

static const char *Finish(int fits) {
    if (!fits) {
        Plugin.requestAddress[0] = '\0';
    }
    return Plugin.requestAddress;
}

const char *CurrentAddress(void) {
    char id[3 * CALL_LOCATION_CAPACITY];
    int fits = PrepareLocation(id, sizeof id);
    int tag = RandomTag();
    return Finish(fits &&
                  FormatText(Plugin.requestAddress, sizeof Plugin.requestAddress,
                             "http://%s/weather/local/%s?cc=*&unit=%s&par=%s&key=%s&"
                             "random=%d",
                             Plugin.feedHost, id, UnitCode(), kPartnerId, kPartnerKey, tag));
}

const char *ForecastAddress(void) {
    char id[3 * CALL_LOCATION_CAPACITY];
    int fits = PrepareLocation(id, sizeof id);
    int tag = RandomTag();
    return Finish(fits && FormatText(Plugin.requestAddress, sizeof Plugin.requestAddress,
                                     "http://%s/weather/local/%s?dayf=%d&unit=%s&prod=xoap&"
                                     "par=%s&key=%s&random=%d",
                                     Plugin.feedHost, id, Plugin.maxDays, UnitCode(), kPartnerId,
                                     kPartnerKey, tag));
}

const char *DetailsAddress(void) {
    char id[3 * CALL_LOCATION_CAPACITY];
    int fits = PrepareLocation(id, sizeof id);
    int tag = RandomTag();
    return Finish(fits && FormatText(Plugin.requestAddress, sizeof Plugin.requestAddress,
                                     "http://%s/weather/mpdwcr/narrative?locid=%s&adprodname="
                                     "lap_golf_main&channel=golf&random=%d",
                                     Plugin.narrativeHost, id, tag));
}

const char *HourlyAddress(void) {
    char id[3 * CALL_LOCATION_CAPACITY];
    int fits = PrepareLocation(id, sizeof id);
    int tag = RandomTag();
    return Finish(fits && FormatText(Plugin.requestAddress, sizeof Plugin.requestAddress,
                                     "http://%s/weather/local/%s?hbhf=%d&unit=%s&random=%d",
                                     Plugin.feedHost, id, Plugin.maxHours, UnitCode(), tag));
}

const char *LocalPageAddress(void) {
    char id[3 * CALL_LOCATION_CAPACITY];
    return Finish(PercentEncode(Plugin.callLocationId, id, sizeof id) &&
                  FormatText(Plugin.requestAddress, sizeof Plugin.requestAddress,
                             "http://%s/weather/local/%s", Plugin.pageHost, id));
}
