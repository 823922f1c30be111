#pragma once

// The command-line program as a whole process: what it prints on each stream
// and the exit status it ends with.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace bb::test {

struct Result {
  int status = -1;
  std::vector<std::string> out;
  std::string outText;  // standard output byte for byte
  std::string err;
};

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The program run as a whole process in a work folder that holds the sample
// job, with an export folder out/ that holds its files.ini.
class CliProcessTest : public ::testing::Test {
 protected:
  CliProcessTest() {
    for (const char* name : {"Isp.ini", "param.txt", "core.bin", "fw.brn"}) {
      std::filesystem::copy_file(std::filesystem::path(BURNBENCH_EXAMPLES_DIR) / name, work.Path() / name);
    }
    std::filesystem::create_directories(work.Path() / "out");
    std::filesystem::copy_file(std::filesystem::path(BURNBENCH_EXAMPLES_DIR) / "files.ini",
                               work.Path() / "out" / "files.ini");
  }

  Result Run(const std::string& arguments) {
    const std::filesystem::path err = work.Path() / "stderr.txt";
    // A program that waits for ever fails the test instead of hanging it.
    const std::string command = std::string("timeout 60 '") + BURNBENCH_CLI_PATH + "' " +
                                arguments + " 2>'" + err.string() + "' </dev/null";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = Lines(out);
    result.outText = out;
    result.err = Slurp(err);
    return result;
  }

  // A simulated run on the virtual clock against the work folder's job.
  Result Simulate(const std::string& arguments) {
    return Run("--simulate --virtual-clock --ini '" + work.File("Isp.ini") + "' " + arguments);
  }

  // The sample job with lines of its configuration replaced, under a name of
  // its own; returns the option that names it.
  std::string JobWith(const std::string& name,
                      const std::vector<std::pair<std::string, std::string>>& replacements) {
    std::string ini = Slurp(work.Path() / "Isp.ini");
    for (const auto& [line, by] : replacements) ini.replace(ini.find(line), line.size(), by);
    return "--ini '" + work.Write(name, ini) + "' ";
  }

  test::TempFolder work;
};

}  // namespace bb::test
