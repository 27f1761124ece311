#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The export tests need an application object (the ZIP waits on an event loop) and a temporary folder of
// their own, so that leftover conversion files can be looked for without meeting other programs' files.
int main(int argc, char* argv[])
{
    QTemporaryDir tmp;
#ifdef _WIN32
    qputenv("TMP", QDir::toNativeSeparators(tmp.path()).toLocal8Bit());
#else
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
#endif
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
