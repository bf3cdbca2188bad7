#!/usr/bin/env bash
# Converts one 1080p25 H.264 recording with G.711 mu-law audio (made by `cairn synth`) with Moraine
# and, from the same streams, with an ffmpeg command doing the same work: decode, encode with libx264
# at 10000 kbit/s with the encoder module's x264 settings, AAC at 64 kbit/s, MP4. Both run three
# times, alternating; prints the best wall time and the peak memory of each.
# Usage: run.sh <build folder> [seconds of recording, default 60]
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
seconds=${2:-60}
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
recording=/tmp/moraine_conversion_bench_${seconds}s.cairn

if [ ! -s "$recording" ]; then
  echo "making $recording ($seconds s of 1920x1080 at 25 pictures a second, mu-law audio)"
  "$build/bin/cairn" synth "$recording" --size 1920x1080 --duration "$seconds" --codec 10 --quality 23
fi
"$build/bin/conversion_bench_extract" "$recording" "$work/video.h264" "$work/audio.ulaw"
echo "input: $(stat -c %s "$recording") bytes; video $(stat -c %s "$work/video.h264"), audio $(stat -c %s "$work/audio.ulaw")"
cat "$recording" > /dev/null  # every run starts with the input in the page cache

# The encoder module runs x264 with preset "faster", tune "zerolatency" (no B pictures, no
# look-ahead, sliced threads), VBR 10000 kbit/s with a peak of 15000 and a 2 s buffer at that peak,
# an IDR picture every 256 pictures and no scene-cut detection.
ffmpeg_command=(ffmpeg -nostdin -v error -y
  -framerate 25 -f h264 -i "$work/video.h264"
  -f mulaw -ar 8000 -ac 1 -i "$work/audio.ulaw"
  -map 0:v -map 1:a
  -c:v libx264 -preset faster -tune zerolatency -b:v 10000k -maxrate 15000k -bufsize 30000k -g 256
  -x264-params scenecut=0
  -c:a aac -b:a 64k -ac 1
  -f mp4 "$work/ffmpeg.mp4")

run() {  # name, command... ; prints "wall_seconds max_rss_kib"
  local name=$1; shift
  /usr/bin/time -f "%e %M" -o "$work/$name.time" "$@" > /dev/null 2> "$work/$name.err" || {
    cat "$work/$name.err" >&2; exit 1; }
  cat "$work/$name.time"
}

best_ours=999999; best_ffmpeg=999999; rss_ours=0; rss_ffmpeg=0
for _ in 1 2 3; do
  rm -f "$work"/*.mp4
  read -r wall rss < <(MORAINE_RECORD_PAUSE_MS=0 run moraine "$build/bin/Moraine" "$recording" "$work/moraine_")
  best_ours=$(awk -v a="$best_ours" -v b="$wall" 'BEGIN { print (b < a) ? b : a }')
  rss_ours=$(( rss > rss_ours ? rss : rss_ours ))
  read -r wall rss < <(run ffmpeg "${ffmpeg_command[@]}")
  best_ffmpeg=$(awk -v a="$best_ffmpeg" -v b="$wall" 'BEGIN { print (b < a) ? b : a }')
  rss_ffmpeg=$(( rss > rss_ffmpeg ? rss : rss_ffmpeg ))
done
for f in "$work"/*.mp4; do
  echo "$(basename "$f"): $(ffprobe -v error -show_entries stream=codec_name,width,height,nb_frames,bit_rate -of compact=nk=1 "$f" | tr '\n' ' ')"
done
echo "Moraine: best wall ${best_ours} s, peak RSS ${rss_ours} KiB"
echo "ffmpeg:  best wall ${best_ffmpeg} s, peak RSS ${rss_ffmpeg} KiB"
awk -v a="$best_ours" -v b="$best_ffmpeg" 'BEGIN { printf "wall time ratio Moraine / ffmpeg: %.2f\n", a / b }'
