// The test program's entry: the application object's initialisation makes the
// main thread's synchronisation window that the component's worker needs.
#include <gtest/gtest.h>

#include "forms.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  Application->Initialize();
  return RUN_ALL_TESTS();
}
