// The reader's tests need a QApplication; they run on the offscreen platform unless the
// environment names another (the run under a real X server sets QT_QPA_PLATFORM=xcb).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sorbit-reader"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
