// nimbrel-host --check: what a user runs when a meter shows "N/A". It reads the module's settings
// as the module reads them, asks each service they configure once, and prints per service the
// address, the proxy used and the HTTP status or the exact failure, then where the cache folder
// is and whether it can be used.
#ifndef NIMBREL_HOST_CHECK_H
#define NIMBREL_HOST_CHECK_H

// Runs the check for the loaded module that `instance` stands for (its module handle on
// Windows; an address inside it on POSIX). Prints the report to stdout. Returns the exit status:
// 0 when every service answered and the cache folder is usable, 1 otherwise.
int RunCheck(void *instance);

#endif
