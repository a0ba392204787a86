// Text from a request as it may stand inside a JSON answer.
#pragma once

#include <cstddef>
#include <string>

// The length of the well-formed UTF-8 sequence at text[at], or 0 when there is none.
size_t Utf8SequenceLength(const std::string &text, size_t at);

// A caller's text as it may stand in an answer: cut to about 200 bytes ("..." marks the cut),
// and every byte that is no UTF-8 replaced by U+FFFD, so that the answer stays valid JSON
// whatever the request held.
std::string EchoText(const std::string &text);
