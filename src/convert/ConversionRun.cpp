// The conversion run: the checks before the files, converting each file into memory, saving
// it behind a dated backup, and the summary.
#include "convert/ConversionRun.h"

#include "convert/Decimal.h"
#include "convert/LogReader.h"
#include "convert/Paths.h"

namespace sorbit {

namespace {

// How many other names a backup may try when its dated name is already taken.
constexpr int kMaxBackupAttempts = 999;

bool IsLogExtension(std::string_view extension) {
  if (extension.size() != 4 || extension[0] != '.') return false;
  constexpr std::string_view kLog = "LOG";
  for (std::size_t i = 0; i < 3; ++i) {
    char c = extension[i + 1];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kLog[i]) return false;
  }
  return true;
}

// The save error box, after the host has been told which file failed and why.
RunOutcome SaveFailed(ConversionHost& host, std::string_view detail) {
  host.ReportSaveError(detail);
  host.ShowMessage(MessageKind::Error, MessageButtons::Ok, run_text::kSaveFailed);
  return RunOutcome::SaveFailed;
}

}  // namespace

std::string ProgressText(std::string_view file_name, long long ordinal) {
  constexpr std::string_view kMiddle = "\r\n を変換処理しています...\r\n\r\n";
  constexpr std::string_view kEnd = " 件目";
  std::string text;
  text.reserve(file_name.size() + kMiddle.size() + 20 + kEnd.size());
  text.append(file_name).append(kMiddle);
  AppendDecimal(text, ordinal);
  text.append(kEnd);
  return text;
}

std::string ProgressInfo::Text() const { return ProgressText(file_name, ordinal); }

std::string SummaryText(std::size_t file_count, std::string_view output_folder) {
  std::string text = Decimal(static_cast<long long>(file_count));
  text.append(" 個のファイルを SHOWPC Virtual Format に変換し ").append("\r\n");
  text.append(output_folder).append(" に保存しました");
  return text;
}

std::string SaveWithBackup(FileSystem& fs, const std::string& path, const OutputLines& lines,
                           const InputFile* open_input) {
  // On the original platform the input being read cannot be renamed or truncated; here it
  // can, so refuse before touching anything.
  if (open_input != nullptr && open_input->IsSameFile(path)) {
    throw FileError{"cannot write " + path + ": it is the input file being converted"};
  }
  std::string backup;
  if (fs.IsRegularFile(path)) {
    const std::string dated = BackupName(path, fs.ModificationTime(path));
    backup = dated;
    for (int attempt = 1; !fs.RenameNoReplace(path, backup); ++attempt) {
      if (attempt == kMaxBackupAttempts)
        throw FileError{"cannot write " + path + ": no free backup name"};
      backup = dated + "_" + Decimal(attempt + 1);
    }
  } else if (fs.Exists(path)) {
    // A FIFO would block the writer and a device would take the bytes: neither is a file
    // this run may replace.
    throw FileError{"cannot write " + path + ": not a regular file"};
  }
  std::unique_ptr<OutputFile> file = fs.CreateOutput(path);
  for (std::string_view chunk : lines.Chunks()) file->Write(chunk.data(), chunk.size());
  file->Close();
  return backup;
}

std::string ReadErrorText(std::string_view input_path, const FileError& error) {
  std::string text(input_path);
  text.append(" を読み込めませんでした。\r\n").append(error.reason);
  return text;
}

void ConvertMessages(LogReader& reader, std::string_view input_path,
                     const ConversionOptions& options, ConversionHost& host,
                     const ReplyNumberFinder& reply_numbers, OutputLines& out) {
  const std::string board = BoardName(input_path);
  const std::string_view file_name = FileNamePart(input_path);
  const RecordOptions record_options{options.AddMsgNo, options.DivEMail, options.UseEMail4ID};
  LogMessage message;
  long long message_count = 0;
  std::string reply_no;
  const long long file_size = reader.FileSize();
  while (!reader.AtEnd()) {
    host.ProcessEvents();
    host.SetProgress({file_name, message_count + 1, reader.BytesConsumed(), file_size});
    if (!reader.ReadMessage(message)) break;
    ++message_count;
    if (reply_numbers) reply_numbers(message.Title(), reply_no);
    out.AppendRecord(message, message_count, board, reply_no, record_options);
  }
}

std::optional<RunOutcome> CheckChoices(ConversionOptions& options, ConversionHost& host,
                                       FileSystem& fs) {
  if (options.InputFiles.empty()) {
    host.ShowMessage(MessageKind::Plain, MessageButtons::Ok, run_text::kNoInputFiles);
    return RunOutcome::NoInputFiles;
  }
  if (options.OutputFolder == options.InputFolder && options.Prefix.empty() &&
      IsLogExtension(options.Extension)) {
    host.ShowMessage(MessageKind::Warning, MessageButtons::Ok, run_text::kSameFolder);
    options.UsePrefix = true;
    options.Prefix = "svf";
    host.PrefixTurnedOn(options.Prefix);
  }
  if (!fs.IsDirectory(options.OutputFolder)) {
    if (fs.Exists(options.OutputFolder)) {
      // A file where the folder should be: offering to create the folder would only lead to
      // the same save error after a pointless question.
      return SaveFailed(
          host, "cannot save into " + options.OutputFolder + ": it is a file, not a folder");
    }
    if (host.ShowMessage(MessageKind::Confirmation, MessageButtons::YesNo,
                         run_text::kCreateFolder) != MessageAnswer::Yes) {
      return RunOutcome::FolderDeclined;
    }
    // A folder that cannot be made shows up as a failed save.
    fs.CreateDirectory(options.OutputFolder);
  }
  return std::nullopt;
}

bool SaveOutput(const ConversionOptions& options, const std::string& input_path,
                const OutputLines& lines, const InputFile* open_input, ConversionHost& host,
                FileSystem& fs) {
  try {
    SaveWithBackup(
        fs,
        OutputPath(options.OutputFolder, options.Prefix, BoardName(input_path), options.Extension),
        lines, open_input);
  } catch (const FileError& error) {
    SaveFailed(host, error.reason);
    return false;
  }
  return true;
}

void ShowSummary(const ConversionOptions& options, ConversionHost& host) {
  host.ShowMessage(MessageKind::Plain, MessageButtons::Ok,
                   SummaryText(options.InputFiles.size(), options.OutputFolder));
}

RunOutcome RunConversion(ConversionOptions& options, ConversionHost& host, FileSystem& fs,
                         const ReplyNumberFinder& reply_numbers) {
  if (const std::optional<RunOutcome> end = CheckChoices(options, host, fs)) return *end;
  for (const std::string& path : options.InputFiles) {
    OutputLines out(fs.OutputMemoryPreparer());
    std::unique_ptr<LogReader> reader;
    try {
      reader = OpenLogReader(fs, path);
      host.ShowProgress();
      ConvertMessages(*reader, path, options, host, reply_numbers, out);
    } catch (const FileError& error) {
      host.CloseProgress();
      host.ReportError(ReadErrorText(path, error));
      return RunOutcome::ReadFailed;
    }
    host.CloseProgress();
    if (!SaveOutput(options, path, out, reader->File(), host, fs)) return RunOutcome::SaveFailed;
  }
  ShowSummary(options, host);
  return RunOutcome::Finished;
}

}  // namespace sorbit
