// Entry of the Windows test programs: windowing set up once, then every test.
#include <gtest/gtest.h>

#include "win/app.h"
#include "win/dialogs.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kv::win::InitializeWindowing();
    kv::win::SetAppTitle(L"Korvane");
    kv::win::SetLastFormUnloadedHandler([] {});
    return RUN_ALL_TESTS();
}
