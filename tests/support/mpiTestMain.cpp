// The main of the tests that mpirun starts on several processes: joins the
// processes before the first test and stops MPI after the last, so that every
// test can exchange messages. Outside mpirun the tests run on one process.
#include <gtest/gtest.h>

#include "mesh/messagePassing.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  plasmabox::joinProcesses();
  const int status = RUN_ALL_TESTS();
  plasmabox::stopMessagePassing();
  return status;
}
