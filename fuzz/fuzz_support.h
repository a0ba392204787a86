// Shared pieces of the fuzz targets: cutting an input into fields, a scratch folder per
// process, and documents placed fresh in the cache under the names a call will look for.
#ifndef NIMBREL_FUZZ_SUPPORT_H
#define NIMBREL_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "feed/kinds.h"

// Fields are separated by the byte 0x1F (the ASCII unit separator). The input is cut into at
// most `count` fields: missing ones are empty, and the last one takes the rest of the input,
// separators and zero bytes included. A field used as a C text ends at its first zero byte.
std::vector<std::string> SplitFields(const uint8_t *data, size_t size, size_t count);

// A folder of this process under the temporary folder, made on first use, removed at exit.
const std::string &ScratchFolder();

// Writes a whole file. Returns false when it cannot be written.
bool WriteWholeFile(const std::string &path, const std::string &content);

// Removes every file in a folder (not the folder itself, not subfolders).
void EmptyFolder(const std::string &folder);

// Puts the core in its start-up shape once per process: every setting at its default, the
// cache folder inside the scratch folder, every service host on a closed loopback port, no
// language file. Returns the cache folder.
const std::string &CoreReady();

// Forgets the kept documents, so the next query reads its file again.
void ForgetDocument();

// Writes `content` fresh in the cache as the file that a query of `kind` for the Location ID
// and unit type would read (empty arguments take the defaults, as the queries do). Nothing is
// written when the name does not fit.
void PlaceFeed(enum DocumentKind kind, const char *locationId, const char *unitType,
               const std::string &content);

// Every feed an expression call may read, for the Location ID: the English document under the
// call's unit type, the default unit and "English"; the Metric document under "Metric"; the
// narrative page as the Details feed under the same unit names.
void PlaceAllFeeds(const char *locationId, const char *unitType, const std::string &english,
                   const std::string &metric, const std::string &details);

// Chooses a language file with `content`, or none when `content` is empty.
void UseLanguage(const std::string &content);

// Settings a fuzz input may vary, from the bytes of one field: MaxDays, MaxHours, the default
// unit, short or long day and month names, the moon phase flag.
void ApplyOptions(const std::string &options);

#endif
