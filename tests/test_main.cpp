#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/runtime/runtime.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Tests never need a screen.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!fw::RuntimeInit(argc, argv)) return 1;
  const int result = RUN_ALL_TESTS();
  // The toolkit must go before static destruction begins.
  fw::RuntimeExit();
  return result;
}
