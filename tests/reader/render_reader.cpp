// Renders the reader window on the converted samples to a PNG file, as it looks on the
// offscreen platform with the fonts of this machine: the picture in the README.
//
//   render_reader <folder of converted samples> <output.png>   (scripts/render-windows.sh)
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
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
  QObject::connect(&window, &sorbit::reader::ReaderWindow::Ready, &app, [&] {
    // Every board searched, the whole thread tree still listed.
    window.PatternEdt->setText(QStringLiteral("2400bps"));
    window.ScopeCmbBox->setCurrentIndex(1);
    window.FilterChkBox->setChecked(false);
    window.StartSearch();
  });
  QObject::connect(&window, &sorbit::reader::ReaderWindow::SearchFinished, &app, [&] {
    // A reply that answers one message and is answered by another, its match marked.
    sorbit::reader::MessageListModel& list = window.ListModel();
    for (int row = 0; row < list.rowCount(); ++row) {
      if (list.index(row, sorbit::reader::MessageListModel::kNo).data().toString().trimmed() ==
          QStringLiteral("13")) {
        window.MessageList->setCurrentIndex(list.index(row, 1));
      }
    }
    window.FindNext();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[2]))) {
      std::fprintf(stderr, "render_reader: cannot write %s\n", argv[2]);
      QCoreApplication::exit(1);
      return;
    }
    QCoreApplication::exit(0);
  });
  window.OpenArguments({std::string(argv[1]) + "/svf*.log"});
  return app.exec();
}
