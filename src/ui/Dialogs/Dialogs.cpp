#include "ui/Dialogs/Dialogs.h"

namespace sorbit::ui {

MessageBoxSpec BoxFor(MessageKind kind, MessageButtons buttons, std::string_view text,
                      std::string_view app_title) {
  MessageBoxSpec box;
  box.buttons = buttons;
  box.text = std::string(text);
  switch (kind) {
    case MessageKind::Plain:
      box.title = std::string(app_title);
      box.icon = BoxIcon::None;
      break;
    case MessageKind::Warning:
      box.title = "警告";
      box.icon = BoxIcon::Warning;
      break;
    case MessageKind::Error:
      box.title = "ｴﾗｰ";
      box.icon = BoxIcon::Error;
      break;
    case MessageKind::Information:
      box.title = "情報";
      box.icon = BoxIcon::Information;
      break;
    case MessageKind::Confirmation:
      box.title = "確認";
      box.icon = BoxIcon::Question;
      break;
  }
  return box;
}

std::string StandardErrorText(std::string_view text) {
  std::string shown(text);
  // Compared as an unsigned byte: the last byte of any multibyte character sorts after ".",
  // so a text ending in Japanese gets its full stop as well.
  if (!shown.empty() && static_cast<unsigned char>(shown.back()) > '.') shown += '.';
  return shown;
}

MessageAnswer Dialogs::ShowMessage(MessageKind kind, MessageButtons buttons, std::string_view text,
                                   std::string_view app_title) {
  return Show(BoxFor(kind, buttons, text, app_title));
}

void Dialogs::ShowError(std::string_view text, std::string_view app_title) {
  MessageBoxSpec box;
  box.title = std::string(app_title);
  box.icon = BoxIcon::Error;
  box.buttons = MessageButtons::Ok;
  box.text = StandardErrorText(text);
  Show(box);
}

}  // namespace sorbit::ui
