// The conversion run: the checks before the files, converting each file into its output's
// temporary file, saving it behind a dated backup, and the summary.
#include "convert/ConversionRun.h"

#include <new>

#include "convert/Decimal.h"
#include "convert/LogReader.h"
#include "convert/Paths.h"

namespace sorbit {

namespace {

// How many other names a backup may try when its dated name is already taken.
constexpr int kMaxBackupAttempts = 999;

// The save error box, after the host has been told which file failed and why.
RunOutcome SaveFailed(ConversionHost& host, std::string_view detail) {
  host.ReportSaveError(detail);
  host.ShowMessage(MessageKind::Error, MessageButtons::Ok, run_text::kSaveFailed);
  return RunOutcome::SaveFailed;
}

}  // namespace

std::string ProgressInfo::Text() const {
  std::string text;
  Text(text);
  return text;
}

void ProgressInfo::Text(std::string& text) const {
  text.reserve(file_name.size() + 72);  // the fixed parts and the digits
  text.assign(file_name).append("\r\n を変換処理しています...\r\n\r\n");
  AppendDecimal(text, ordinal);
  text.append(" 件目");
}

void SaveWithBackup(FileSystem& fs, const std::string& path, OutputLines& lines,
                    const InputFile* open_input) {
  // On the original platform the input being read cannot be renamed or truncated; here it
  // can, so refuse before touching anything.
  if (open_input != nullptr && open_input->IsSameFile(path)) {
    throw FileError{"cannot write " + path + ": it is the input file being converted"};
  }
  if (fs.IsRegularFile(path)) {
    const std::string dated = BackupName(path, fs.ModificationTime(path));
    std::string backup = dated;
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
  lines.Commit();
}

namespace {

std::string ReadErrorText(std::string_view input_path, std::string_view reason) {
  std::string text(input_path);
  text.append(" を読み込めませんでした。\r\n").append(reason);
  return text;
}

// Reads every message of `reader` and appends its records to `out`, telling `host` of each
// message before it is read (ProcessEvents, SetProgress).
void ConvertMessages(LogReader& reader, std::string_view input_path, long long file_size,
                     const FileConversion& conversion, ConversionHost& host, OutputLines& out) {
  const ConversionOptions& options = *conversion.options;
  const std::string board = BoardName(input_path);
  const std::string_view file_name = FileNamePart(input_path);
  const RecordOptions record_options{options.AddMsgNo, options.DivEMail, options.UseEMail4ID};
  LogMessage message;
  long long message_count = 0;
  std::string reply_no;
  while (!reader.AtEnd()) {
    host.ProcessEvents();
    host.SetProgress({file_name, message_count + 1, reader.BytesConsumed(), file_size});
    if (!reader.ReadMessage(message)) break;
    ++message_count;
    if (conversion.reply_numbers) conversion.reply_numbers(message.Title(), reply_no);
    out.AppendRecord(message, message_count, board, reply_no, record_options);
  }
}

// The streams of an open input and its new output, whose failure is left in `error`.
FileStreams NewStreams(const FileConversion& conversion, std::string_view input_path,
                       InputFile& input, std::optional<FileError>& error) {
  const ConversionOptions& o = *conversion.options;
  std::unique_ptr<OutputFile> output;
  error = conversion.output_error;
  try {
    if (!error)
      output = conversion.fs->CreateOutput(
          OutputPath(o.OutputFolder, o.Prefix, BoardName(input_path), o.Extension));
  } catch (const FileError& e) {
    error = e;
  }
  if (conversion.streams) return conversion.streams(input, std::move(output));
  return {std::make_unique<SequentialBlocks>(input, LogReader::kDefaultBufferBytes),
          std::move(output)};
}

// The checks before any file is read: no input, the same-folder rule, the missing output
// folder (anything else standing in its place is a save error). Returns how the run ended
// when it ended there, nothing when the files are next; a folder that could not be made is
// left in `folder_error`, to fail the first save.
std::optional<RunOutcome> CheckChoices(ConversionOptions& options, ConversionHost& host,
                                       FileSystem& fs, std::optional<FileError>& folder_error) {
  if (options.InputFiles.empty()) {
    host.ShowMessage(MessageKind::Plain, MessageButtons::Ok, run_text::kNoInputFiles);
    return RunOutcome::NoInputFiles;
  }
  if (options.OutputFolder == options.InputFolder && options.Prefix.empty() &&
      options.Extension.size() == 4 && EndsInLog(options.Extension)) {
    host.ShowMessage(MessageKind::Warning, MessageButtons::Ok, run_text::kSameFolder);
    options.UsePrefix = true;
    options.Prefix = "svf";
    host.PrefixTurnedOn(options.Prefix);
  }
  const std::string& folder = options.OutputFolder;
  try {
    if (fs.IsDirectory(folder)) return std::nullopt;
    if (fs.Exists(folder)) {
      // Something else where the folder should be: offering to create the folder would only
      // lead to the same save error after a pointless question.
      return SaveFailed(host, "cannot save into " + folder +
                                  (fs.IsRegularFile(folder) ? ": it is a file, not a folder"
                                                            : ": it is not a folder"));
    }
  } catch (const FileError& error) {
    return SaveFailed(host, error.reason);
  }
  if (host.ShowMessage(MessageKind::Confirmation, MessageButtons::YesNo, run_text::kCreateFolder) !=
      MessageAnswer::Yes) {
    return RunOutcome::FolderDeclined;
  }
  try {
    fs.CreateDirectory(folder);
  } catch (const FileError& error) {
    folder_error = error;
  }
  return std::nullopt;
}

// Saves `file` as the output of `input_path` with SaveWithBackup. When the save fails, tells
// the host which file and why, shows the save error box and returns false.
bool SaveOutput(const ConversionOptions& options, const std::string& input_path,
                ConvertedFile& file, ConversionHost& host, FileSystem& fs) {
  try {
    SaveWithBackup(
        fs,
        OutputPath(options.OutputFolder, options.Prefix, BoardName(input_path), options.Extension),
        file.output, file.input.get());
  } catch (const FileError& error) {
    SaveFailed(host, error.reason);
    return false;
  }
  return true;
}

// The summary box that ends a run: "<count> 個のファイルを SHOWPC Virtual Format に変換し
// \r\n<folder> に保存しました".
void ShowSummary(const ConversionOptions& options, ConversionHost& host) {
  std::string text = Decimal(static_cast<long long>(options.InputFiles.size()));
  text.append(" 個のファイルを SHOWPC Virtual Format に変換し \r\n");
  text.append(options.OutputFolder).append(" に保存しました");
  host.ShowMessage(MessageKind::Plain, MessageButtons::Ok, text);
}

}  // namespace

ConvertedFile ConvertFile(const FileConversion& conversion, const std::string& input_path,
                          ConversionHost& host, bool show_progress) {
  // Declared in this order so that, whatever happens, the streams end before the input does.
  std::unique_ptr<InputFile> input = conversion.fs->OpenInput(input_path);
  std::optional<FileError> output_error;
  FileStreams streams = NewStreams(conversion, input_path, *input, output_error);
  OutputLines output =
      output_error ? OutputLines(*output_error) : OutputLines(std::move(streams.output));
  LogReader reader(std::move(streams.blocks));
  if (show_progress) host.ShowProgress();
  ConvertMessages(reader, input_path, input->Size(), conversion, host, output);
  output.Finish();
  return ConvertedFile{std::move(input), std::move(output)};
}

RunOutcome RunConversion(ConversionOptions& options, ConversionHost& host, FileSystem& fs,
                         const ReplyNumberFinder& reply_numbers, ConversionAhead* ahead) {
  FileConversion conversion{&options, &fs, reply_numbers, {}, {}};
  if (const std::optional<RunOutcome> end =
          CheckChoices(options, host, fs, conversion.output_error)) {
    return *end;
  }
  // Nothing is converted ahead when no output can be made; what was is gone with the run.
  if (conversion.output_error) ahead = nullptr;
  struct StopAhead {
    ConversionAhead* ahead;
    ~StopAhead() {
      if (ahead != nullptr) ahead->Stop();
    }
  } stop_ahead{ahead};
  if (ahead != nullptr) ahead->Start(conversion);
  for (std::size_t i = 0; i < options.InputFiles.size(); ++i) {
    const std::string& path = options.InputFiles[i];
    std::optional<ConvertedFile> file;
    bool shown = false;
    std::string read_error;
    if (ahead != nullptr && ahead->Opened(i)) {
      host.ShowProgress();
      shown = true;
      if (std::optional<ConvertedFile> taken = ahead->Take(i, host))
        file.emplace(std::move(*taken));
    }
    try {
      if (!file) file.emplace(ConvertFile(conversion, path, host, !shown));
    } catch (const FileError& error) {
      read_error = error.reason;
    } catch (const std::bad_alloc&) {
      read_error = "not enough memory";
    }
    host.CloseProgress();
    if (!file) {
      host.ReportError(ReadErrorText(path, read_error));
      return RunOutcome::ReadFailed;
    }
    if (!SaveOutput(options, path, *file, host, fs)) return RunOutcome::SaveFailed;
  }
  ShowSummary(options, host);
  return RunOutcome::Finished;
}

}  // namespace sorbit
