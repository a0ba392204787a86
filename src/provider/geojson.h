// GeoJSON geometry as the alert services send it: whether a point lies in an area.
#ifndef NIMBREL_GEOJSON_H
#define NIMBREL_GEOJSON_H

#include "provider/json.h"

// Nonzero when the point lies in `geometry`, a GeoJSON Polygon (an outer ring and its holes)
// or MultiPolygon, with positions as [longitude, latitude]. A point in a hole is outside; a
// point on an edge may count either way. Returns 0 for NULL, another type, or coordinates that
// are not rings of numbers (an area that cannot be read covers nothing).
int GeoJsonContains(const rapidjson::Value *geometry, double latitude, double longitude);

#endif
