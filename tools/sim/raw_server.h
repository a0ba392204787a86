// A second listener that answers below HTTP's rules: oversized headers, headers that trickle
// in a byte at a time, chunked bodies (cut short, or whole to a client that asked for HTTP/1.0),
// a body of announced length that drips and never ends, bodies of random bytes, and answers
// that are no HTTP at all. Chosen by the Location ID in the request's path: RAWHEADERS,
// RAWTRICKLE, RAWCHUNKCUT, RAWCHUNKED, RAWDRIPLENGTH, RAWRANDOM, RAWGARBAGE.
#ifndef NIMBREL_SIM_RAW_SERVER_H
#define NIMBREL_SIM_RAW_SERVER_H

#include <string>

// Starts listening on a free port of `bindAddress` and serves in threads of its own. Returns
// the port, or -1 when it cannot listen.
int StartRawServer(const std::string &bindAddress);

#endif
