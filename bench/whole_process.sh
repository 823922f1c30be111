#!/usr/bin/env bash
# Every performance figure in one table: the offline commands on a large image
# as whole processes, each beside the system tool that moves the same bytes
# (convert and export beside cp, compare beside cmp; best of RUNS wall-clock
# times, peak memory of the process), `pin` hashing the large image beside
# sha256sum, and the burn of a 64 MiB firmware from
# burn_bench (the tool's own processor time per MiB against a counting camera,
# the memory the burn adds, and the same burn against the full camera model),
# the memory that a read-back of a 256 MiB image into its file adds, and a
# vendor request through libusb into the camera emulated below it, the run
# holding the camera, beside the same request with the camera opened and
# claimed anew for it, as before (usb_throughput_bench, under umockdev-wrapper),
# and the database of runs at 100,000 runs (records_bench fills it):
# `history --serial` as a whole process, and the database's size per run;
# then a station's scale: cameras burning one 64 MiB image at once as
# `burn --all` runs them, against cameras that only count (many_cameras_bench,
# each configuration in a process of its own: the peak memory it adds against
# the image and 2 MiB a camera, the processor time per MiB and camera against
# one camera's), and a station's cameras per hour on the real clock against
# the bound its pacing sets (station_bench, best of 3 shifts of some 80 s),
# and a line of stations (bench/line_bench.sh): the runs per second `forward`
# sends into a local PostgreSQL server, and a station's pace with its line's
# server down beside up.
# The output, pasted as it is, is the README's performance section.
#   bench/whole_process.sh [SIZE_MIB] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-256}
runs=${2:-5}

cmake --preset bench >/dev/null
cmake --build --preset bench --target burnbench-cli make_large_image burn_bench usb_throughput_bench \
  records_bench many_cameras_bench station_bench >/dev/null
cli=build/bench/hosts/cli/burnbench-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
load=$(cut -d' ' -f1 /proc/loadavg)

build/bench/bench/make_large_image "$size" "$work/image.raw" "$work/image.brn"
# A second copy to compare with: the same file twice is no comparison for cmp.
cp "$work/image.brn" "$work/again.brn"
# A job whose firmware is the large image, for pin to hash.
printf 'p' >"$work/param.bin"
printf 'c' >"$work/core.bin"
printf '[2860]\nParamFile=param.bin\nIspFile=core.bin\nFwFile=image.brn\n' >"$work/job.ini"

# best COMMAND...: the best wall time in ns and the peak memory in KiB of RUNS
# runs, each writing into fresh files.
best() {
  local best_ns="" peak=0
  for _ in $(seq "$runs"); do
    rm -rf "$work/out.brn" "$work/copy" "$work/export"
    mkdir -p "$work/export"
    local start end kib
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    kib=$(cat "$work/peak")
    local ns=$((end - start))
    if [ -z "$best_ns" ] || [ "$ns" -lt "$best_ns" ]; then best_ns=$ns; fi
    if [ "$kib" -gt "$peak" ]; then peak=$kib; fi
  done
  echo "$best_ns $peak"
}

row() {
  local name=$1 theirs_name=$2 ours theirs
  read -r -a ours <<<"$3"
  read -r -a theirs <<<"$4"
  awk -v n="$name" -v o="${ours[0]}" -v m="${ours[1]}" -v t="${theirs[0]}" -v tn="$theirs_name" 'BEGIN {
    printf "| %s | %.1f ms | %.1f MiB | %s | %.1f ms | %.2f |\n", n, o / 1e6, m / 1024, tn, t / 1e6, o / t }'
}

burn=$(build/bench/bench/burn_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_format=json 2>/dev/null)
# counter BENCHMARK NAME: the counter's value in the median of the benchmark's runs
counter() {
  awk -v b="$1" -v c="\"$2\":" '$1 == "\"name\":" { name = $2 }
    $1 == c && index(name, b) && index(name, "_median") { sub(/,$/, "", $2); print $2 }' <<<"$burn"
}

echo "Measured $(date -u +%Y-%m-%d) on a $(nproc)-core machine (load average $load at the start)."
echo "Image: $size MiB; best of $runs runs; files in the page cache; outputs written afresh."
echo
echo "| figure | ours | peak memory | beside | theirs | ratio |"
echo "|---|---|---|---|---|---|"
row "convert" cp "$(best "$cli" convert "$work/image.raw" "$work/out.brn")" \
  "$(best cp "$work/image.raw" "$work/copy")"
row "compare" cmp "$(best "$cli" compare "$work/image.brn" "$work/again.brn")" \
  "$(best cmp "$work/image.brn" "$work/again.brn")"
row "export" cp "$(best "$cli" export "$work/image.brn" "$work/export")" \
  "$(best cp "$work/image.brn" "$work/copy")"
row "pin (SHA-256 of the image)" sha256sum "$(best "$cli" pin --ini "$work/job.ini")" \
  "$(best sha256sum "$work/image.brn")"
awk -v t="$(counter BM_BurnToCountingCamera tool_ms_per_MiB)" -v p="$(counter BM_BurnToCountingCamera peak_added_MiB)" \
  -v f="$(counter BM_BurnFirmware tool_ms_per_MiB)" -v r="$(counter BM_BurnRecorded tool_ms_per_MiB)" \
  -v k="$(counter BM_BurnRecorded recording_KiB)" -v b="$(counter BM_ReadBackIntoFile/256 peak_added_MiB)" 'BEGIN {
    printf "| burn 64 MiB, counting camera (ms per MiB) | %.2f ms | %.1f MiB | | | |\n", t * 1e3, p
    printf "| burn 64 MiB, full camera model (ms per MiB) | %.2f ms | | | | |\n", f * 1e3
    printf "| burn 64 MiB recorded, camera that drops the bytes (ms per MiB) | %.2f ms | | | | |\n", r * 1e3
    printf "| its recording (KiB) | %.1f | | | | |\n", k
    printf "| read-back of 256 MiB into its file, memory added | | %.1f MiB | | | |\n", b }'
requests=$(umockdev-wrapper build/bench/bench/usb_throughput_bench --benchmark_filter=VendorRequests \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true --benchmark_format=json 2>/dev/null)
# median_us NAME: the median wall time of one request, in microseconds
median_us() {
  awk -v b="\"$1/real_time_median\"," '$1 == "\"name\":" { name = $2 }
    $1 == "\"real_time\":" && name == b { sub(/,$/, "", $2); print $2 }' <<<"$requests"
}
awk -v o="$(median_us BM_VendorRequestsThroughLibusb)" -v t="$(median_us BM_VendorRequestsClaimingEachTime)" 'BEGIN {
  printf "| vendor request through libusb, emulated camera | %.2f ms | | claimed anew | %.2f ms | %.2f |\n",
    o / 1e3, t / 1e3, o / t }'
records=$(BURNBENCH_RECORDS_DB="$work/runs.db" build/bench/bench/records_bench --benchmark_format=json 2>/dev/null)
history=$(best "$cli" --db "$work/runs.db" history --serial sn012345)
awk -v h="${history% *}" -v m="${history#* }" \
  -v b="$(awk '$1 == "\"db_bytes_per_run\":" { sub(/,$/, "", $2); print $2 }' <<<"$records")" 'BEGIN {
    printf "| history --serial among 100,000 runs | %.1f ms | %.1f MiB | | | |\n", h / 1e6, m / 1024
    printf "| database of runs, KiB per run | %.2f | | | | |\n", b / 1024 }'

# cameras CAMERAS VERIFY COUNTER: a counter of many_cameras_bench's run of that configuration
declare -A many
for n in 1 8 64; do
  for v in 0 1; do
    many[$n/$v]=$(build/bench/bench/many_cameras_bench --benchmark_filter="/cameras:$n/verify:$v/" \
      --benchmark_format=json 2>/dev/null)
  done
done
cameras() {
  awk -v c="\"$3\":" '$1 == c { sub(/,$/, "", $2); print $2 }' <<<"${many[$1/$2]}"
}
for n in 1 8 64; do
  awk -v n="$n" -v p="$(cameras "$n" 1 peak_added_MiB)" 'BEGIN { t = 64 + 2 * n
    printf "| burn --all --verify of 64 MiB, %d camera%s at once: peak memory added | | %.1f MiB | image + 2 MiB a camera | %.1f MiB | %.2f |\n",
      n, n == 1 ? "" : "s", p, t, p / t }'
done
for v in 0 1; do
  one=$(cameras 1 "$v" tool_ms_per_MiB)
  for n in 1 8 64; do
    awk -v n="$n" -v v="$v" -v t="$(cameras "$n" "$v" tool_ms_per_MiB)" -v one="$one" 'BEGIN {
      name = sprintf("burn --all%s of 64 MiB, %d camera%s at once: processor time per MiB per camera",
                     v ? " --verify" : "", n, n == 1 ? "" : "s")
      if (n == 1) printf "| %s | %.3f ms | | | | |\n", name, t
      else printf "| %s | %.3f ms | | one camera | %.3f ms | %.2f |\n", name, t, one, t / one }'
  done
done
awk -v o="$(cameras 1 0 once_ms_per_MiB)" 'BEGIN {
  printf "| burn --all of 64 MiB: the image read, checked and hashed once (ms per MiB) | %.2f ms | | | | |\n", o }'
station=$(build/bench/bench/station_bench --benchmark_repetitions=3 --benchmark_format=json 2>/dev/null)
# The best of the shifts: other work on the machine only ever slows a shift down.
awk '$1 == "\"run_type\":" { shift = ($2 ~ /iteration/) }
  shift && $1 == "\"bound_per_hour\":" { sub(/,$/, "", $2); bound = $2 }
  shift && $1 == "\"cameras_per_hour\":" { sub(/,$/, "", $2); if ($2 > best) { best = $2; itsBound = bound } }
  END { printf "| station of 16 slots, real clock, verified burns: cameras per hour | %.0f | | bound of the pacing | %.0f | %.3f |\n",
          best, itsBound, best / itsBound }' <<<"$station"
bench/line_bench.sh "$cli"
