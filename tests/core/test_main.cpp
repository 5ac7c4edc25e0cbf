#include <QCoreApplication>
#include <gtest/gtest.h>

// Record sets post their change notices through the event loop, so the tests
// need an application object even though they open no window.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
