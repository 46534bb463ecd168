// The network tests run their sockets on one Qt event loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // Values sent to servers are journaled under XDG_DATA_HOME, by the programs the tests start
  // too: never into the user's own.
  QTemporaryDir data;
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
