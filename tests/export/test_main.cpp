#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The export tests need an application object (the ZIP waits on an event loop) and a temporary folder of
// their own, so that leftover conversion files can be looked for without meeting other programs' files.
int main(int argc, char* argv[])
{
    QTemporaryDir tmp;
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
