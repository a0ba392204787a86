// A second listener that answers below HTTP's rules: oversized headers, headers that trickle
// in a byte at a time, bodies of random bytes, and answers that are no HTTP at all. Chosen by
// the Location ID in the request's path: RAWHEADERS, RAWTRICKLE, RAWRANDOM, RAWGARBAGE.
#ifndef NIMBREL_SIM_RAW_SERVER_H
#define NIMBREL_SIM_RAW_SERVER_H

#include <string>

// Starts listening on a free port of `bindAddress` and serves in threads of its own. Returns
// the port, or -1 when it cannot listen.
int StartRawServer(const std::string &bindAddress);

#endif
