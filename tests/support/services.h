// The local weather service and the proxy that the network tests talk to. The test runner
// starts them (services.sh) and names their state folder in NIMBREL_TEST_SERVICES.
#ifndef NIMBREL_TEST_SERVICES_H
#define NIMBREL_TEST_SERVICES_H

#include <string>

namespace services {

// The weather service's "127.0.0.1:PORT", or empty when it is not running.
std::string SimHost();
// The service's raw listener, "127.0.0.1:PORT", which answers below HTTP's rules (Location IDs
// RAWHEADERS, RAWTRICKLE, RAWRANDOM, RAWGARBAGE), or empty.
std::string RawHost();
// The proxy's "127.0.0.1:PORT" (user alice, password s3cret), or empty.
std::string ProxyHost();

// Sends a GET to the weather service and returns the body ("" on failure).
std::string SimGet(const std::string &pathAndQuery);

// Clears the service's request log and sets the scenario back to normal.
void SimReset();
// Chooses a scenario for every later request ("normal", "stall", ...).
void SimScenario(const std::string &name);
// The requests the service received since the last reset, one "METHOD TARGET" a line.
std::string SimLog();
// How many lines of the log contain `needle`.
int SimRequests(const std::string &needle);

} // namespace services

#endif
