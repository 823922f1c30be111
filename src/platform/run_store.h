#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "util/sha256.h"

namespace bb {

// One run on one camera as it is kept: what a run report line tells, and the
// run's whole log and what the camera gave back. Texts are UTF-8; an empty
// location, interface, serial or version stands for none.
struct RunRow {
  struct Image {
    std::string key;  // ParamFile, IspFile or FwFile
    std::string path;
    std::optional<FileDigest> digest;
  };

  std::string runId;  // a UUID
  std::int64_t startUtcMs = 0;
  std::int64_t endUtcMs = 0;
  std::string command;  // "burn --verify", as a report names it
  std::optional<std::string> station;
  std::optional<std::string> operatorName;
  std::optional<std::string> slot;
  std::string location;
  std::string interfacePath;
  std::string serial;
  // The versions read during the run, "1.2.3.4"; empty when not read.
  std::string apVersion;
  std::string ispVersion;
  std::string customerVersion;
  std::vector<Image> files;
  std::string result;  // kResultOk, kResultFailed or kResultDoneBefore
  int exitStatus = 1;
  std::string lastLogLine;
  // The log lines of the run, as its operator saw them.
  std::vector<std::string> log;
  // What a read verify or a read-back read from the camera.
  std::optional<FileDigest> readBack;
};

inline constexpr char kResultOk[] = "ok";
inline constexpr char kResultFailed[] = "failed";
// No run: a station found that the camera had passed the same job before.
inline constexpr char kResultDoneBefore[] = "done before";

// Which runs a query asks for; every condition given must hold.
struct RunFilter {
  std::string serial;  // in any case
  std::string slot;
  std::optional<std::int64_t> sinceUtcMs;  // started at or after
  std::optional<std::int64_t> untilUtcMs;  // started before
  std::string result;
  std::optional<Sha256Digest> firmware;  // the FwFile sent
  std::string station;
  std::size_t limit = 0;                 // 0: all
};

// How a record was kept. A record is never lost: one that the store could not
// take waits in its pending file for the next program that opens the store,
// or, when even that cannot be written, is shown whole in the warning.
enum class Kept { kStored, kAlreadyThere, kPending, kOnlyInWarning };

// The store of record of every run. One object may serve the sessions of
// several threads; each call is whole. A record whose run id is kept already
// is left as it is, so a record may arrive twice.
class RunStore {
 public:
  virtual ~RunStore() = default;

  // Keeps one run, in one transaction. `warning` tells the operator what went
  // wrong when it is neither kStored nor kAlreadyThere.
  virtual Kept Add(const RunRow& row, std::string& warning) = 0;

  // Keeps the runs not kept yet, in one transaction; `added` tells how many
  // were new. False, with `why` and nothing kept, when the store cannot take them.
  virtual bool AddAll(std::span<const RunRow> rows, std::size_t& added, std::string& why) = 0;

  // The runs that `filter` asks for, newest first; false with `why` when the
  // store cannot be read.
  virtual bool Find(const RunFilter& filter, std::vector<RunRow>& rows, std::string& why) = 0;

  // The run whose id is `runId`, or the one run whose id starts with it.
  virtual std::optional<RunRow> Get(const std::string& runId, std::string& why) = 0;
};

}  // namespace bb
