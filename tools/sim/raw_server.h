// A second listener that answers below HTTP's rules: oversized headers, headers that trickle
// in a byte at a time, chunked bodies (cut short, or whole to a client that asked for HTTP/1.0),
// a body of announced length that drips and never ends, bodies of random bytes, and answers
// that are no HTTP at all. Chosen by the Location ID in the request's path: RAWHEADERS,
// RAWTRICKLE, RAWCHUNKCUT, RAWCHUNKED, RAWDRIPLENGTH, RAWRANDOM, RAWGARBAGE.
//
// GET /v1/forecast and GET /v1/search get the JSON answers of the HTTP port, as HTTP/1.0 with
// no Content-Length: the body ends when the connection closes, as some services behind
// content delivery networks answer.
#ifndef NIMBREL_SIM_RAW_SERVER_H
#define NIMBREL_SIM_RAW_SERVER_H

#include <ctime>
#include <string>

// Starts listening on a free port of `bindAddress` and serves in threads of its own; `clock`
// gives the service's time (UTC) for the JSON answers. Returns the port, or -1 when it
// cannot listen.
int StartRawServer(const std::string &bindAddress, time_t (*clock)());

#endif
