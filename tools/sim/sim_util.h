// Small helpers every answer of the local weather service shares: the query's parameters,
// plain decimals, case, hashing, times as text, and the filling of recorded answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>

using QueryParameters = std::multimap<std::string, std::string>;

// A query string ("a=1&b=x%20y") as decoded name/value pairs; '+' stands for a blank.
QueryParameters ParseQueryText(const std::string &query);
// The first value of the parameter, or null when the query has none.
const std::string *QueryValue(const QueryParameters &query, const char *name);

// A plain decimal: an optional sign, digits, at most one point; no exponent, no "nan" or
// "inf", at most 40 characters. Sets *decimals (when given) to the digits after the point.
// Returns false, leaving *value alone, for any other text.
bool ParseDecimal(const std::string &text, double *value, int *decimals = nullptr);

// Whether the text is 1 to `maxLength` ASCII digits and nothing else.
bool AllDigits(const std::string &text, size_t maxLength = std::string::npos);

std::string UpperAscii(std::string text);
std::string LowerAscii(std::string text);

// FNV-1a of the text, continued from `hash`.
uint64_t TextHash(const std::string &text, uint64_t hash = 0xCBF29CE484222325ULL);

// "2026-12-08T09:53:00" of the UTC instant moved by `offsetSeconds`, then `suffix`.
std::string IsoTime(time_t utc, const char *suffix, long offsetSeconds = 0);
// An HTTP date (IMF-fixdate, "Tue, 09 Dec 2026 01:30:00 GMT") and back; ParseHttpDate returns
// false for any other text.
std::string HttpDate(time_t utc);
bool ParseHttpDate(const std::string &text, time_t *utc);

// A recorded answer with each "{{NAME}}" mark replaced by its text, every occurrence. Valid JSON
// never holds "{{" outside a string, so the marks stand out in a recorded document.
std::string FillTemplate(std::string text,
                         std::initializer_list<std::pair<const char *, std::string>> values);
// The shortest text that reads back as the value, with a decimal point: "95.0", "95.25".
std::string NumberText(double value);

// The text as a JSON string, quotes included, or `null` when `null` is true.
std::string JsonString(const std::string &text, bool null = false);
// "[[[0]]]" nested `depth` deep: a member deeper than a recursive parser may go.
std::string DeepArrays(int depth);
// How deep hostile answers nest their unknown member.
const int kHostileDepth = 3000;

// The length of the well-formed UTF-8 sequence at text[at], or 0 when there is none.
size_t Utf8SequenceLength(const std::string &text, size_t at);
// A caller's text as it may stand in an answer: cut to about 200 bytes ("..." marks the cut),
// and every byte that is no UTF-8 replaced by U+FFFD, so that the answer stays valid JSON
// whatever the request held.
std::string EchoText(const std::string &text);
