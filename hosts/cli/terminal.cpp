#include "terminal.h"

#include "terminal_caps.h"
#include "util/format.h"
#include "util/utf8.h"

namespace bb::cli {

Terminal::Terminal(std::FILE* out, std::FILE* err, bool board)
    : out_(out),
      err_(err),
      errIsTerminal_(IsTerminal(err)),
      outIsTerminal_(IsTerminal(out)),
      board_(board && EnableCursorMoves(err)),
      columns_(TerminalColumns(err)) {}

Terminal::~Terminal() {
  std::fflush(out_);
  std::fflush(err_);
}

int Terminal::AddChannel(std::string prefix, bool quiet) {
  std::lock_guard lock(mutex_);
  channels_.push_back(std::make_unique<Channel>());
  channels_.back()->prefix = std::move(prefix);
  channels_.back()->quiet = quiet;
  return static_cast<int>(channels_.size()) - 1;
}

void Terminal::Write(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void Terminal::EraseBoard() {
  if (boardRows_ == 0) return;
  // Back to the board's first line, then away with everything below it.
  Write(err_, Format("\x1b[%dA\r\x1b[J", boardRows_));
  boardRows_ = 0;
}

void Terminal::DrawBoard() {
  if (!board_) return;
  std::string text = boardRows_ > 0 ? Format("\x1b[%dA", boardRows_) : std::string();
  std::vector<std::string> rows;
  if (stationBoard_) {
    rows = *stationBoard_;
  } else {
    for (const std::unique_ptr<Channel>& channel : channels_) {
      rows.push_back(channel->prefix + (channel->progress ? *channel->progress : channel->lastLine));
    }
  }
  for (const std::string& row : rows) {
    // A row that wrapped would throw the count of lines to move up.
    text += "\r\x1b[2K" + std::string(Utf8Prefix(row, columns_ > 1 ? columns_ - 1 : 1)) + "\n";
  }
  // A board that shrank leaves no rows of the one before it.
  text += "\x1b[J";
  Write(err_, text);
  boardRows_ = static_cast<int>(rows.size());
}

bool Terminal::Quiet(int channel) {
  std::lock_guard lock(mutex_);
  return channels_.at(static_cast<std::size_t>(channel))->quiet;
}

void Terminal::ShowBoard(std::vector<std::string> lines) {
  std::lock_guard lock(mutex_);
  stationBoard_ = std::move(lines);
  DrawBoard();
}

void Terminal::Log(int channel, std::string_view line) {
  std::lock_guard lock(mutex_);
  Channel& own = *channels_.at(static_cast<std::size_t>(channel));
  own.lastLine = line;
  if (own.quiet) return;
  if (outIsTerminal_) EraseBoard();
  Write(out_, own.prefix + std::string(line) + "\n");
  DrawBoard();
}

void Terminal::Note(int channel, std::string_view text) {
  std::lock_guard lock(mutex_);
  Channel& own = *channels_.at(static_cast<std::size_t>(channel));
  EraseBoard();
  Write(err_, own.prefix + std::string(text) + "\n");
  DrawBoard();
}

void Terminal::Progress(int channel, std::string_view text) {
  std::lock_guard lock(mutex_);
  ShowProgress(*channels_.at(static_cast<std::size_t>(channel)), text);
}

bool Terminal::TryProgress(int channel, std::string_view text) {
  const std::unique_lock lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  ShowProgress(*channels_.at(static_cast<std::size_t>(channel)), text);
  return true;
}

void Terminal::ShowProgress(Channel& own, std::string_view text) {
  if (own.quiet) return;
  if (board_) {
    own.progress = std::string(text);
    DrawBoard();
    return;
  }
  Write(err_, "\r" + own.prefix + std::string(text));
  own.progressDrawn = true;
}

void Terminal::ProgressDone(int channel) {
  std::lock_guard lock(mutex_);
  Channel& own = *channels_.at(static_cast<std::size_t>(channel));
  if (board_) {
    own.progress.reset();
    DrawBoard();
    return;
  }
  if (!own.progressDrawn) return;
  Write(err_, "\n");
  own.progressDrawn = false;
}

void Terminal::Print(std::string_view text) {
  std::lock_guard lock(mutex_);
  // The board stays as it stands; the text goes below it.
  boardRows_ = 0;
  Write(err_, text);
}

}  // namespace bb::cli
