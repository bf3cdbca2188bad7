#!/usr/bin/env bash
# Converts 1080p25 H.264 recordings with G.711 mu-law audio (made by `cairn synth`) with Moraine
# and, from the same streams, with an ffmpeg command doing the same work: decode, encode with libx264
# at 10000 kbit/s with the encoder module's x264 settings, AAC at 64 kbit/s, MP4. Three recordings of
# the same scene: without analytics ("plain"), with the default analytics drawn ("analytics") and
# privacy-marked with the built-in mosaic ("privacy"); on request a fourth, privacy-marked for the
# Anonymizer module ("anonymizer"); ffmpeg draws and masks nothing. For each, both
# run three times, alternating; prints the best wall time and the peak memory of each.
# Usage: run.sh <build folder> [seconds of recording, default 60] [case ...]
#        MORAINE_BENCH_PEER=<build folder> adds a second Moraine build (e.g. the previous one) to the race.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
seconds=${2:-60}
shift $(( $# < 2 ? $# : 2 ))
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(plain analytics privacy)
peer=${MORAINE_BENCH_PEER:+$(cd "$MORAINE_BENCH_PEER" && pwd)}
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT

metadata_options() {  # case name -> cairn synth options
  case $1 in
    plain) echo "--metadata none" ;;
    analytics) echo "" ;;  # the synthesizer's default analytics: one-letter records and blocks
    privacy) echo "--metadata privacy --privacy-marker --pixelate 8,0" ;;
    anonymizer) echo "--metadata privacy --privacy-marker --pixelate 16,1" ;;
    *) echo "unknown case $1 (plain, analytics, privacy, anonymizer)" >&2; exit 2 ;;
  esac
}

run() {  # name, command... ; prints "wall_seconds max_rss_kib"
  local name=$1; shift
  /usr/bin/time -f "%e %M" -o "$work/$name.time" "$@" > /dev/null 2> "$work/$name.err" || {
    cat "$work/$name.err" >&2; exit 1; }
  cat "$work/$name.time"
}

for case_name in "${cases[@]}"; do
  options=$(metadata_options "$case_name")
  recording=/tmp/moraine_conversion_bench_${case_name}_${seconds}s.cairn
  if [ ! -s "$recording" ]; then
    echo "making $recording ($seconds s of 1920x1080 at 25 pictures a second, mu-law audio)"
    # shellcheck disable=SC2086  # the options are words
    "$build/bin/cairn" synth "$recording" --size 1920x1080 --duration "$seconds" --codec 10 --quality 23 $options
  fi
  "$build/bin/conversion_bench_extract" "$recording" "$work/video.h264" "$work/audio.ulaw"
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

  best_ours=999999; best_peer=999999; best_ffmpeg=999999; rss_ours=0; rss_peer=0; rss_ffmpeg=0
  for _ in 1 2 3; do
    rm -f "$work"/*.mp4
    read -r wall rss < <(MORAINE_RECORD_PAUSE_MS=0 run moraine "$build/bin/Moraine" "$recording" "$work/moraine_")
    best_ours=$(awk -v a="$best_ours" -v b="$wall" 'BEGIN { print (b < a) ? b : a }')
    rss_ours=$(( rss > rss_ours ? rss : rss_ours ))
    if [ -n "$peer" ]; then
      read -r wall rss < <(MORAINE_RECORD_PAUSE_MS=0 run peer "$peer/bin/Moraine" "$recording" "$work/peer_")
      best_peer=$(awk -v a="$best_peer" -v b="$wall" 'BEGIN { print (b < a) ? b : a }')
      rss_peer=$(( rss > rss_peer ? rss : rss_peer ))
    fi
    read -r wall rss < <(run ffmpeg "${ffmpeg_command[@]}")
    best_ffmpeg=$(awk -v a="$best_ffmpeg" -v b="$wall" 'BEGIN { print (b < a) ? b : a }')
    rss_ffmpeg=$(( rss > rss_ffmpeg ? rss : rss_ffmpeg ))
  done
  echo "== $case_name ($(stat -c %s "$recording") bytes of recording)"
  for f in "$work"/*.mp4; do
    echo "$(basename "$f"): $(ffprobe -v error -show_entries stream=codec_name,width,height,nb_frames,bit_rate -of compact=nk=1 "$f" | tr '\n' ' ')"
  done
  echo "Moraine: best wall ${best_ours} s, peak RSS ${rss_ours} KiB"
  [ -z "$peer" ] || echo "peer:    best wall ${best_peer} s, peak RSS ${rss_peer} KiB ($peer)"
  echo "ffmpeg:  best wall ${best_ffmpeg} s, peak RSS ${rss_ffmpeg} KiB"
  awk -v a="$best_ours" -v b="$best_ffmpeg" -v c="$case_name" \
    'BEGIN { printf "%s: wall time ratio Moraine / ffmpeg: %.2f\n", c, a / b }'
  [ -z "$peer" ] || awk -v a="$best_peer" -v b="$best_ffmpeg" -v c="$case_name" \
    'BEGIN { printf "%s: wall time ratio peer / ffmpeg: %.2f\n", c, a / b }'
done
