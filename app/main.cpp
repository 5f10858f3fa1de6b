#include <chrono>

#include "app/startup.h"
#include "platform/runtime.h"

int main(int argc, char** argv) {
  // Nothing a handler leaves running may hold the program for more than a moment after a quit.
  fw::SetQuitDeadline(std::chrono::milliseconds(2500));
  return frametide::Run(argc, argv);
}
