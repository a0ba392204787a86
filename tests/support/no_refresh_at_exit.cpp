// Compiled into every test program: it ends with none of its own refreshes still running. A
// download thread that outlives the tests races the program's exit, where LeakSanitizer stops
// every thread for its last look and has been seen to crash on one that was ending.
#include <gtest/gtest.h>

#include "feed/download.h"

namespace {

class NoRefreshAtExit : public ::testing::Environment {
  public:
    void TearDown() override { WaitForRefreshes(REFRESH_SHUTDOWN_WAIT_MS); }
};

const ::testing::Environment *const kNoRefreshAtExit =
    ::testing::AddGlobalTestEnvironment(new NoRefreshAtExit);

} // namespace
