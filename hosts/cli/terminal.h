#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bb::cli {

// The program's standard output and standard error, shared by the sessions of
// every camera. Each line is written whole under one lock, so that the lines of
// several cameras interleave whole and each camera's lines keep their order; a
// channel's prefix ("[1] ") tells whose a line is. With a board, standard error
// (a terminal) keeps one line per camera below everything else, showing its
// transfer in progress or else its last log line.
class Terminal {
 public:
  // `board`: keep a line per channel on standard error, when it is a terminal
  // that can move its cursor.
  Terminal(std::FILE* out, std::FILE* err, bool board);
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Returns the channel's number. A quiet channel keeps its log lines off
  // standard output (a station's runs, unless asked to show them).
  int AddChannel(std::string prefix, bool quiet = false);
  // A quiet channel's status texts and captions are not shown either.
  bool Quiet(int channel);
  // The lines of a station's board, drawn in place of the channels' rows.
  void ShowBoard(std::vector<std::string> lines);

  // A log line on standard output.
  void Log(int channel, std::string_view line);
  // A line (or a few, written together) on standard error.
  void Note(int channel, std::string_view text);
  // The channel's transfer in progress, and its end.
  void Progress(int channel, std::string_view text);
  // The same from the transfer's own thread: nothing is drawn (false) while
  // another thread has the terminal, so that a camera's transfer never waits
  // behind another's drawing.
  bool TryProgress(int channel, std::string_view text);
  void ProgressDone(int channel);
  // Text of the program's own on standard error, below the board.
  void Print(std::string_view text);

  // Standard output for a command that prints a table of its own (no session
  // runs beside it).
  std::FILE* Out() { return out_; }
  // Standard error, for a session that runs alone (a recording's messages).
  std::FILE* Err() { return err_; }

  bool Board() const { return board_; }
  // True when standard error is a terminal: progress is worth drawing.
  bool ErrIsTerminal() const { return errIsTerminal_; }

 private:
  struct Channel {
    std::string prefix;
    std::optional<std::string> progress;
    std::string lastLine;
    bool progressDrawn = false;
    bool quiet = false;
  };

  void Write(std::FILE* stream, std::string_view text);
  void EraseBoard();
  void DrawBoard();
  // With the terminal held.
  void ShowProgress(Channel& own, std::string_view text);

  std::mutex mutex_;
  std::FILE* out_;
  std::FILE* err_;
  bool errIsTerminal_;
  bool outIsTerminal_;
  bool board_;
  std::size_t columns_;
  std::vector<std::unique_ptr<Channel>> channels_;
  int boardRows_ = 0;
  std::optional<std::vector<std::string>> stationBoard_;
};

// What a session writes to: its channel of the terminal.
struct TerminalChannel {
  Terminal& terminal;
  int channel;

  void Log(std::string_view line) const { terminal.Log(channel, line); }
  void Note(std::string_view text) const { terminal.Note(channel, text); }
  void Progress(std::string_view text) const { terminal.Progress(channel, text); }
  bool TryProgress(std::string_view text) const { return terminal.TryProgress(channel, text); }
  void ProgressDone() const { terminal.ProgressDone(channel); }
  bool Quiet() const { return terminal.Quiet(channel); }
};

}  // namespace bb::cli
