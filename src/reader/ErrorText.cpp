// Japanese reasons for the errors of opening files.
#include "reader/ErrorText.h"

#include <QFile>
#include <cerrno>
#include <cstring>

namespace sorbit::reader {

QString ReasonText(int error_number) {
  switch (error_number) {
    case ENOENT:
      return QStringLiteral("ファイルまたはフォルダがありません");
    case EACCES:
    case EPERM:
      return QStringLiteral("読み取りが許可されていません");
    case EISDIR:
      return QStringLiteral("フォルダです");
    case ENOTDIR:
      return QStringLiteral("パスの途中にフォルダでないものがあります");
    case EINVAL:
    case ENODEV:
      return QStringLiteral("通常のファイルではありません");
    case ELOOP:
      return QStringLiteral("シンボリックリンクが循環しています");
    case ENAMETOOLONG:
      return QStringLiteral("名前が長すぎます");
    case EFBIG:
    case EOVERFLOW:
    case ENOMEM:
      return QStringLiteral("大きすぎて読み込めません");
    case EIO:
      return QStringLiteral("読み取り中に入出力エラーが起きました");
    default:
      return QString::fromLocal8Bit(std::strerror(error_number));
  }
}

QString PathText(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

QString ProblemText(const ArgumentProblem& problem) {
  QString reason;
  switch (problem.kind) {
    case ArgumentProblem::Kind::kUnreadable:
      reason = ReasonText(problem.error_number);
      break;
    case ArgumentProblem::Kind::kNotARegularFile:
      reason = QStringLiteral("通常のファイルでもフォルダでもありません");
      break;
    case ArgumentProblem::Kind::kEmptyFolder:
      reason = QStringLiteral("名前が .log で終わるファイルがありません");
      break;
    case ArgumentProblem::Kind::kNoMatch:
      reason = QStringLiteral("一致するファイルがありません");
      break;
  }
  return PathText(problem.argument) + QStringLiteral(": ") + reason;
}

}  // namespace sorbit::reader
