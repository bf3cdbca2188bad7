// The main of every test program. Each program runs with HOME pointed at a fresh folder of its
// own, so that nothing a test loads or runs (the decoder module writes its log file into the home
// folder) touches the real one; tests about the home folder set their own.

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const moraine::testing::TempDir home;
  setenv("HOME", home.path().c_str(), 1);
  return RUN_ALL_TESTS();
}
