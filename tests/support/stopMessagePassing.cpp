// Stops the message-passing runtime after the last test of a test program,
// as the program's main does at its end, so that nothing of it is still
// running when the process exits (LeakSanitizer inspects the threads then).
#include <gtest/gtest.h>

#include "mesh/messagePassing.h"

namespace {

struct StopMessagePassing : testing::Environment {
  void TearDown() override { plasmabox::stopMessagePassing(); }
};

[[maybe_unused]] testing::Environment* const stop_at_end = testing::AddGlobalTestEnvironment(new StopMessagePassing);

}  // namespace
