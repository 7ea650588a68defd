#include "ui/Dialogs/QtDialogs.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "ui/Widgets/Fonts.h"

namespace sorbit::ui {

QString ToQt(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString FileNameToQt(std::string_view bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string FileNameFromQt(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString MessageToQt(std::string_view utf8) {
  QString text = ToQt(utf8);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

QtDialogs::QtDialogs(QWidget* owner) : owner_(owner) {}

std::unique_ptr<QMessageBox> QtDialogs::BuildBox(const MessageBoxSpec& box, QWidget* owner) {
  auto message = std::make_unique<QMessageBox>(owner);
  message->setWindowTitle(ToQt(box.title));
  // File and folder names go into these texts: never let Qt read them as markup.
  message->setTextFormat(Qt::PlainText);
  message->setText(MessageToQt(box.text));
  message->setFont(JapaneseFont(FontFace::Proportional, 12));
  switch (box.icon) {
    case BoxIcon::None:
      message->setIcon(QMessageBox::NoIcon);
      break;
    case BoxIcon::Warning:
      message->setIcon(QMessageBox::Warning);
      break;
    case BoxIcon::Error:
      message->setIcon(QMessageBox::Critical);
      break;
    case BoxIcon::Information:
      message->setIcon(QMessageBox::Information);
      break;
    case BoxIcon::Question:
      message->setIcon(QMessageBox::Question);
      break;
  }
  if (box.buttons == MessageButtons::YesNo) {
    QPushButton* yes = message->addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = message->addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    message->setDefaultButton(yes);
    message->setEscapeButton(no);
  } else {
    QPushButton* ok = message->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    message->setDefaultButton(ok);
    message->setEscapeButton(ok);
  }
  return message;
}

MessageAnswer QtDialogs::Show(const MessageBoxSpec& box) {
  std::unique_ptr<QMessageBox> message = BuildBox(box, owner_);
  message->exec();
  if (box.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  // Escape and the close box answer No, as the No button does.
  QAbstractButton* clicked = message->clickedButton();
  return clicked != nullptr && message->buttonRole(clicked) == QMessageBox::YesRole
             ? MessageAnswer::Yes
             : MessageAnswer::No;
}

namespace {

void CommonDialogSetup(QFileDialog& dialog, const std::string& start_folder) {
  // Non-native: the same dialog on every desktop, and one that tests can drive.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setFont(JapaneseFont(FontFace::Proportional, 12));
  if (!start_folder.empty()) dialog.setDirectory(FileNameToQt(start_folder));
}

}  // namespace

std::unique_ptr<QFileDialog> QtDialogs::BuildOpenDialog(const OpenFilesRequest& request,
                                                        QWidget* owner) {
  auto dialog = std::make_unique<QFileDialog>(owner);
  CommonDialogSetup(*dialog, request.start_folder);
  dialog->setWindowTitle(QStringLiteral("ファイルを開く"));
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  // The labels after the modes: setting a mode gives the buttons Qt's own texts again.
  dialog->setLabelText(QFileDialog::Accept, QStringLiteral("開く(&O)"));
  dialog->setLabelText(QFileDialog::Reject, QStringLiteral("ｷｬﾝｾﾙ"));
  QStringList filters;
  for (const auto& [description, pattern] : request.filters)
    filters << ToQt(description) + QStringLiteral(" (") + ToQt(pattern) + QStringLiteral(")");
  dialog->setNameFilters(filters);
  if (!filters.isEmpty()) dialog->selectNameFilter(filters.front());
  return dialog;
}

std::unique_ptr<QFileDialog> QtDialogs::BuildSaveDialog(const SaveFileRequest& request,
                                                        QWidget* owner) {
  auto dialog = std::make_unique<QFileDialog>(owner);
  CommonDialogSetup(*dialog, request.start_folder);
  dialog->setWindowTitle(QStringLiteral("名前を付けて保存"));
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  // Only the folder is wanted: the dummy name is never written, so there is nothing to
  // overwrite.
  dialog->setOption(QFileDialog::DontConfirmOverwrite);
  dialog->setLabelText(QFileDialog::Accept, QStringLiteral("保存(&S)"));
  dialog->setLabelText(QFileDialog::Reject, QStringLiteral("ｷｬﾝｾﾙ"));
  dialog->selectFile(FileNameToQt(request.file_name));
  return dialog;
}

OpenFilesResult QtDialogs::OpenFiles(const OpenFilesRequest& request) {
  std::unique_ptr<QFileDialog> dialog = BuildOpenDialog(request, owner_);
  OpenFilesResult result;
  if (dialog->exec() != QDialog::Accepted) return result;  // Qt's dialog never overflows
  for (const QString& file : dialog->selectedFiles()) result.paths.push_back(FileNameFromQt(file));
  result.accepted = !result.paths.empty();
  return result;
}

SaveFileResult QtDialogs::SaveFile(const SaveFileRequest& request) {
  std::unique_ptr<QFileDialog> dialog = BuildSaveDialog(request, owner_);
  SaveFileResult result;
  for (;;) {
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return result;
    const QString chosen = dialog->selectedFiles().front();
    // A name that does not exist is confirmed first; No goes back to the dialog.
    if (QFileInfo::exists(chosen) ||
        Show(CreatePromptFor(FileNameFromQt(chosen))) == MessageAnswer::Yes) {
      result.accepted = true;
      result.path = FileNameFromQt(chosen);
      return result;
    }
  }
}

MessageBoxSpec QtDialogs::CreatePromptFor(const std::string& path) {
  MessageBoxSpec box;
  box.title = "名前を付けて保存";
  box.icon = BoxIcon::Question;
  box.buttons = MessageButtons::YesNo;
  box.text = path + "\r\nこのファイルは存在しません。\r\nファイルを作成しますか?";
  return box;
}

}  // namespace sorbit::ui
