#include "app/startup.h"

int main(int argc, char** argv) { return frametide::Run(argc, argv); }
