// Renders the reader window on the converted samples to a PNG file, as it looks on the
// offscreen platform with the fonts of this machine: the picture in the README.
//
//   render_reader <folder of converted samples> <output.png>   (scripts/render-windows.sh)
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <string>

#include "reader/ReaderWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("sorbit-reader"));
  if (argc != 3) {
    std::fprintf(stderr, "usage: render_reader <folder of SVF files> <output.png>\n");
    return 2;
  }
  sorbit::reader::ReaderWindow window{QString()};
  window.resize(1000, 640);
  window.show();
  window.OpenArguments({std::string(argv[1]) + "/svf*.log"});
  QObject::connect(&window, &sorbit::reader::ReaderWindow::Ready, &app, [&] {
    // A reply with its quotation, and a search that highlights in it.
    window.PatternEdt->setText(QStringLiteral("BBS"));
    window.StartSearch();
  });
  QObject::connect(&window, &sorbit::reader::ReaderWindow::SearchFinished, &app, [&] {
    window.FindNext();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[2]))) {
      std::fprintf(stderr, "render_reader: cannot write %s\n", argv[2]);
      QCoreApplication::exit(1);
      return;
    }
    QCoreApplication::exit(0);
  });
  return app.exec();
}
