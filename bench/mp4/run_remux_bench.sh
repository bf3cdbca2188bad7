#!/usr/bin/env bash
# Remuxes one long 1080p H.264 stream into MP4 with mp4_remux_bench and with ffmpeg's stream copy,
# three times each, alternating, and prints the best wall time and the peak memory of both.
# Outputs go to memory (/dev/shm) so that disk write-back does not decide the race.
# Usage: run_remux_bench.sh <build folder>
set -euo pipefail
build=${1:?build folder}
stream=/tmp/moraine_bench_1080p.h264
out_dir=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$out_dir"' EXIT

if [ ! -s "$stream" ]; then
  echo "generating $stream (40 s of noisy 1080p at QP 20, about 1.3 GB)"
  ffmpeg -v error -f lavfi -i testsrc2=size=1920x1080:rate=25 -t 40 -vf noise=alls=20:allf=t \
    -pix_fmt yuv420p -c:v libx264 -preset ultrafast -qp 20 -g 50 -threads 2 -f h264 -y "$stream"
fi
echo "input: $(stat -c %s "$stream") bytes"
cat "$stream" > /dev/null  # every run starts with the input in the page cache

run() {  # name, command... ; prints "wall_seconds max_rss_kib"
  local name=$1; shift
  /usr/bin/time -f "%e %M" -o "$out_dir/$name.time" "$@" > /dev/null
  rm -f "$out_dir"/*.mp4
  cat "$out_dir/$name.time"
}

best_ours=999999; best_ffmpeg=999999; rss_ours=0; rss_ffmpeg=0
for _ in 1 2 3; do
  read -r wall rss < <(run moraine "$build/bin/mp4_remux_bench" "$stream" "$out_dir/moraine.mp4")
  best_ours=$(awk -v a="$best_ours" -v b="$wall" 'BEGIN { print (b < a) ? b : a }')
  rss_ours=$(( rss > rss_ours ? rss : rss_ours ))
  read -r wall rss < <(run ffmpeg ffmpeg -v error -y -i "$stream" -c copy -f mp4 "$out_dir/ffmpeg.mp4")
  best_ffmpeg=$(awk -v a="$best_ffmpeg" -v b="$wall" 'BEGIN { print (b < a) ? b : a }')
  rss_ffmpeg=$(( rss > rss_ffmpeg ? rss : rss_ffmpeg ))
done
echo "mp4_remux_bench: best wall ${best_ours} s, peak RSS ${rss_ours} KiB"
echo "ffmpeg -c copy:  best wall ${best_ffmpeg} s, peak RSS ${rss_ffmpeg} KiB"
awk -v a="$best_ours" -v b="$best_ffmpeg" 'BEGIN { printf "wall time ratio mp4_remux_bench / ffmpeg: %.2f\n", a / b }'
