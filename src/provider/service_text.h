// Texts that a web service wrote (place names, error reasons, alert titles), made safe to stand
// in a feed document: in the plugin's text encoding, and unable to end or fake an element.
#ifndef NIMBREL_SERVICE_TEXT_H
#define NIMBREL_SERVICE_TEXT_H

#include <stddef.h>

// Writes `length` bytes of UTF-8 from a service as a text of the plugin's encoding (UTF-8 on
// POSIX; the Windows code page 1252, with "?" for characters it lacks). Byte sequences that
// are not UTF-8 become "?". Control characters become blanks and blanks do not repeat; "<",
// ">" and double quotes are dropped, so the text can neither close an element nor an
// attribute; an apostrophe becomes the typographic one, so that the narrative's quoted fields
// keep their count. Leading and trailing blanks go. The result is cut to `capacity` less one
// at a character boundary. Returns the length written.
size_t ServiceText(const char *utf8, size_t length, char *out, size_t capacity);

#endif
