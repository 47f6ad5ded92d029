// The test program's entry: the thread is a single-threaded OLE apartment, as in the program.
#include <gtest/gtest.h>

#include <ole2.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    OleInitialize(nullptr);
    const int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
