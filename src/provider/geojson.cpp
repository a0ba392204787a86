#include "provider/geojson.h"

#include <string.h>

#include "provider/region.h"

using rapidjson::Value;

// Ray casting towards growing longitude: the point is inside when it crosses the ring's edges an
// odd number of times. Returns 1 inside, 0 outside, -1 when the ring is no list of at least
// three positions of two numbers (an open ring is read as closed).
static int RingContains(const Value &ring, double latitude, double longitude) {
    if (!ring.IsArray() || ring.Size() < 3) {
        return -1;
    }
    int inside = 0;
    rapidjson::SizeType count = ring.Size();
    for (rapidjson::SizeType i = 0, j = count - 1; i < count; j = i++) {
        const Value &a = ring[i], &b = ring[j];
        if (!a.IsArray() || a.Size() < 2 || !a[0].IsNumber() || !a[1].IsNumber() || !b.IsArray() ||
            b.Size() < 2 || !b[0].IsNumber() || !b[1].IsNumber()) {
            return -1;
        }
        if (RayCrossesEdge(a[1].GetDouble(), a[0].GetDouble(), b[1].GetDouble(), b[0].GetDouble(),
                           latitude, longitude)) {
            inside = !inside;
        }
    }
    return inside;
}

// A polygon's coordinates: the outer ring, then the holes.
static int PolygonContains(const Value &rings, double latitude, double longitude) {
    if (!rings.IsArray() || rings.Size() == 0 || RingContains(rings[0], latitude, longitude) != 1) {
        return 0;
    }
    for (rapidjson::SizeType i = 1; i < rings.Size(); i++) {
        if (RingContains(rings[i], latitude, longitude) != 0) {
            return 0; // in a hole, or a hole that cannot be read
        }
    }
    return 1;
}

int GeoJsonContains(const Value *geometry, double latitude, double longitude) {
    const Value *type = JsonMember(geometry, "type");
    const Value *coordinates = JsonMember(geometry, "coordinates");
    if (type == NULL || !type->IsString() || coordinates == NULL || !coordinates->IsArray()) {
        return 0;
    }
    if (strcmp(type->GetString(), "Polygon") == 0) {
        return PolygonContains(*coordinates, latitude, longitude);
    }
    if (strcmp(type->GetString(), "MultiPolygon") == 0) {
        for (rapidjson::SizeType i = 0; i < coordinates->Size(); i++) {
            if (PolygonContains((*coordinates)[i], latitude, longitude)) {
                return 1;
            }
        }
    }
    return 0;
}
