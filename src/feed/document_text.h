// Pieces of a held document as texts of the plugin's encoding. A service writes its documents
// in the character set their XML declaration names; the plugin shows UTF-8 on POSIX and the
// ANSI code page on Windows (see OsDocumentText).
#ifndef NIMBREL_DOCUMENT_TEXT_H
#define NIMBREL_DOCUMENT_TEXT_H

#include <stddef.h>

// The longest character set name read from a declaration; a longer one counts as none.
enum { CHARSET_NAME_CAPACITY = 48 };

// Writes the character set that the XML declaration at the start of `document` names (its
// encoding="..." or encoding='...'; a UTF-8 byte order mark names UTF-8) into `out`. Writes an
// empty text when there is no declaration, it names no encoding, or the name does not fit.
void DeclaredCharset(const char *document, char *out, size_t capacity);

// Writes the `length` bytes at `start`, a piece of the zero-terminated `document`, into `out`
// as a text of the plugin's encoding, cut to `capacity` less one without splitting a character.
// Plain ASCII is copied as it is. `start` may lie anywhere in the document but not in `out`.
// Returns `out`.
char *DocumentText(const char *document, const char *start, size_t length, char *out,
                   size_t capacity);

#endif
