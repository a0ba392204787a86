// Windows time pictures on POSIX: the pictures users write in "<systemtime ...>" work the same
// on both platforms.
#ifndef NIMBREL_TIME_PICTURE_H
#define NIMBREL_TIME_PICTURE_H

#include <stddef.h>

// Formats hour, minute and second with a picture as GetTimeFormat reads it: h and hh the
// 12-hour clock, H and HH the 24-hour clock, m mm minutes, s ss seconds (one letter without,
// two with a leading zero; more letters count as two), t the first character of the AM/PM
// marker, tt the whole marker; text in single quotes stands as written, '' is a quote; every
// other character is copied. Returns the length written; 0 for an empty picture, an unclosed
// quote, or a result that does not fit (and then `out` is empty).
size_t FormatTimePicture(int hour, int minute, int second, const char *am, const char *pm,
                         const char *picture, char *out, size_t capacity);

#endif
