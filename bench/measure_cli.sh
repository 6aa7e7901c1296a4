#!/usr/bin/env bash
# End-to-end figures of `voxleaf-cli transcribe`: real-time factor (audio
# seconds per CPU second of the whole process, user+sys, all threads) and
# peak memory (max RSS), with translation through an instantly answering
# local imitation of LibreTranslate (bench/instant_translator.py) and with
# --no-translate.
#
#   bench/measure_cli.sh [BUILD_DIR] [CASES...]
#
# CASES (default: "librivox lecture10"):
#   librivox   the five LibriVox clips of pocketsphinx's test data,
#              concatenated with 1.5 s pauses (translate and --no-translate)
#   lecture10  a 10-minute espeak-ng lecture (translate and --no-translate)
#   lectureNm  its first N minutes (e.g. lecture2m)
#   mem30m mem1h mem3h
#              the lecture repeated to 30 min / 1 h / 3 h (16 kHz mono FLAC),
#              --no-translate and with the imitation, for memory growth
#   prepare    only generate the audio files
# MODES="no-translate" (or "translate") limits the runs to one mode.
# Work files go to $VOX_BENCH_DIR (default /tmp/voxleaf-bench); generated
# audio is kept there and reused.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/.." && pwd)"
build="${1:-$repo/build-perf}"
shift || true
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(librivox lecture10)
cli="$build/src/cli/voxleaf-cli"
[ -x "$cli" ] || cli="$(find "$build" -name voxleaf-cli -type f -perm -u+x 2>/dev/null | head -1)"
if [ ! -x "$cli" ] && [ "${cases[*]}" != prepare ]; then echo "voxleaf-cli not found under $build" >&2; exit 1; fi
work="${VOX_BENCH_DIR:-/tmp/voxleaf-bench}"
mkdir -p "$work"
libri=/usr/share/pocketsphinx/test/data/librivox

# --- audio -----------------------------------------------------------------
silence() { # seconds out
  [ -f "$2" ] || sox -q -n -r 16000 -c 1 -b 16 "$2" trim 0 "$1"
}

make_librivox() {
  local out="$work/librivox.wav"
  [ -f "$out" ] && return
  silence 1.5 "$work/sil15.wav"
  local parts=()
  for f in "$libri"/*.wav; do parts+=("$f" "$work/sil15.wav"); done
  sox -q "${parts[@]}" -r 16000 -c 1 -b 16 "$out"
}

lecture_sentences() {
  local subjects=("The cell membrane" "Photosynthesis" "The French revolution" "A binary search tree"
    "Newton's second law" "The water cycle" "Supply and demand" "The human heart"
    "Plate tectonics" "A compiler" "The Roman empire" "Electric current")
  local verbs=("explains" "describes" "changes" "controls" "depends on" "shapes")
  local objects=("how energy moves through a system" "the way students think about the problem"
    "why the results of the experiment were so surprising" "most of what we will see in the next chapter"
    "the balance between cost and benefit" "the structure of the final exam")
  local n=0 s v o
  for s in "${subjects[@]}"; do
    for v in "${verbs[@]}"; do
      o="${objects[$(( (n * 7 + ${#s}) % ${#objects[@]} ))]}"
      echo "$s $v $o, and we will come back to this idea later today."
      n=$((n + 1))
    done
  done
}

make_lecture10() {
  local out="$work/lecture10.wav"
  [ -f "$out" ] && return
  local tmp="$work/lecture_parts"
  mkdir -p "$tmp"
  silence 1.2 "$work/sil12.wav"
  local i=0 parts=() total=0 line
  while IFS= read -r line; do
    i=$((i + 1))
    espeak-ng -s 150 -w "$tmp/raw$i.wav" "$line"
    sox -q "$tmp/raw$i.wav" -r 16000 -c 1 -b 16 "$tmp/s$i.wav" vol 0.6
    parts+=("$tmp/s$i.wav" "$work/sil12.wav")
  done < <(lecture_sentences)
  sox -q "${parts[@]}" "$work/lecture_once.wav"
  # Repeat the sentence set until 10 minutes, then cut at exactly 600 s.
  local once reps
  once="$(soxi -D "$work/lecture_once.wav")"
  reps="$(python3 -c "import math;print(math.ceil(600/$once))")"
  local all=()
  for _ in $(seq "$reps"); do all+=("$work/lecture_once.wav"); done
  sox -q "${all[@]}" "$out" trim 0 600
  rm -rf "$tmp"
}

make_long() { # minutes name
  local out="$work/$2.flac"
  [ -f "$out" ] && return
  make_lecture10
  local all=() reps=$(( $1 / 10 ))
  for _ in $(seq "$reps"); do all+=("$work/lecture10.wav"); done
  sox -q "${all[@]}" -C 5 "$out"
}

# --- the instant translator --------------------------------------------------
translator_pid=""
stop_translator() { [ -n "$translator_pid" ] && kill "$translator_pid" 2>/dev/null || true; translator_pid=""; }
trap stop_translator EXIT
start_translator() {
  local portfile="$work/translator.port"
  rm -f "$portfile"
  python3 "$here/instant_translator.py" 0 >"$portfile" 2>"$work/translator.err" &
  translator_pid=$!
  for _ in $(seq 100); do grep -q PORT "$portfile" 2>/dev/null && break; sleep 0.05; done
  export VOXLEAF_LOCAL_TRANSLATION_URL="http://127.0.0.1:$(awk '/PORT/{print $2}' "$portfile")"
}

# --- one run -------------------------------------------------------------------
printf '%-22s %-12s %9s %9s %9s %8s %9s %8s %7s\n' case mode audio_s cpu_s wall_s "RTF(cpu)" "RTF(wall)" maxRSS_MB entries
run_case() { # name file mode(translate|no-translate)
  local name="$1" file="$2" mode="$3"
  local audio; audio="$(soxi -D "$file")"
  local iso="$work/home_${name}_${mode}"
  rm -rf "$iso"; mkdir -p "$iso/.config"
  local args=(transcribe "$file" --json)
  [ "$mode" = no-translate ] && args+=(--no-translate)
  local tlog="$work/$name.$mode.time" outf="$work/$name.$mode.jsonl"
  HOME="$iso" XDG_CONFIG_HOME="$iso/.config" VOXLEAF_DIAG_LOG="$work/$name.$mode.diag.log" \
    DEEPSEEK_API_KEY= VOXLEAF_DEEPSEEK_BASE_URL=http://127.0.0.1:9 \
    /usr/bin/time -v -o "$tlog" "$cli" "${args[@]}" >"$outf" 2>"$work/$name.$mode.stderr" &
  local tpid=$! cpid="" threads="$work/$name.$mode.threads" rsslog="$work/$name.$mode.rss" tick=0
  : >"$threads"; : >"$rsslog"
  # Per-thread CPU (utime+stime ticks), sampled every half second; the last
  # sample is the split between the main loop and the recognizer thread.
  while kill -0 "$tpid" 2>/dev/null; do
    [ -n "$cpid" ] || cpid="$(pgrep -P "$tpid" | head -1 || true)"
    if [ -n "$cpid" ] && [ -d "/proc/$cpid/task" ]; then
      local snap=""
      for t in /proc/"$cpid"/task/*; do
        snap+="$(awk '{print $1, $14 + $15}' "$t/stat" 2>/dev/null) "
      done
      [ -n "$snap" ] && echo "$snap" >"$threads.tmp" && mv "$threads.tmp" "$threads"
      # Every 10 s: resident memory against the audio time reached so far
      # (the last entry written), to see growth per hour of lecture.
      if [ $((tick % 20)) -eq 0 ]; then
        local rsskb at
        rsskb="$(awk '/^VmRSS/{print $2}' "/proc/$cpid/status" 2>/dev/null || true)"
        at="$(tail -c 2000 "$outf" 2>/dev/null | grep -o '"audioTime":[0-9.]*' | tail -1 | cut -d: -f2 || true)"
        [ -n "$rsskb" ] && echo "$rsskb ${at:-0}" >>"$rsslog"
      fi
      tick=$((tick + 1))
    fi
    sleep 0.5
  done
  wait "$tpid" || echo "  ($name/$mode exited with $?; see $work/$name.$mode.stderr)" >&2
  local user sys rss wall entries
  user="$(awk -F': ' '/User time/{print $2}' "$tlog")"
  sys="$(awk -F': ' '/System time/{print $2}' "$tlog")"
  rss="$(awk -F': ' '/Maximum resident/{print $2}' "$tlog")"
  wall="$(awk -F': ' '/Elapsed \(wall/{print $2}' "$tlog" | awk -F: '{s=0; for(i=1;i<=NF;i++) s=s*60+$i; print s}')"
  entries="$(grep -c '^{' "$outf" || true)"
  python3 - "$name" "$mode" "$audio" "$user" "$sys" "$wall" "$rss" "$entries" "$(cat "$threads")" "$cpid" "$rsslog" <<'PY'
import sys
name, mode, audio, user, sys_, wall, rss, entries, threads, mainpid, rsslog = sys.argv[1:]
audio, cpu, wall = float(audio), float(user) + float(sys_), float(wall)
print(f"{name:<22} {mode:<12} {audio:9.1f} {cpu:9.1f} {wall:9.1f} {audio/cpu:8.2f}x {audio/wall:8.2f}x {int(rss)/1024:8.1f} {entries:>7}")
f = threads.split()
ticks = sorted(((int(f[i + 1]) / 100.0, f[i]) for i in range(0, len(f) - 1, 2)), reverse=True)
if ticks:
    print("    per-thread CPU s (last sample): " + ", ".join(f"{'main' if t == mainpid else 'tid ' + t}: {c:.1f}" for c, t in ticks if c > 0.05))
# Resident memory at (up to) ten evenly spaced points of the audio.
samples = []
for line in open(rsslog):
    p = line.split()
    if len(p) == 2:
        samples.append((float(p[1]), int(p[0]) / 1024))
if len(samples) >= 2:
    points, step = [], audio / 10
    for k in range(1, 11):
        near = [s for s in samples if s[0] <= k * step]
        if near and (not points or near[-1] != points[-1]):
            points.append(near[-1])
    fmt = lambda t: f"{int(t // 3600)}:{int(t % 3600 // 60):02d}:{int(t % 60):02d}"
    print("    RSS MB by audio time: " + ", ".join(f"{fmt(t)} {m:.1f}" for t, m in points))
PY
}

for c in "${cases[@]}"; do
  case "$c" in
    librivox) make_librivox; f="$work/librivox.wav" ;;
    lecture10) make_lecture10; f="$work/lecture10.wav" ;;
    mem30m) make_long 30 lecture30m; f="$work/lecture30m.flac" ;;
    mem1h) make_long 60 lecture1h; f="$work/lecture1h.flac" ;;
    mem3h) make_long 180 lecture3h; f="$work/lecture3h.flac" ;;
    lecture[0-9]*m)
      # The first N minutes of the 10-minute lecture (a shorter run on a busy machine).
      make_lecture10; mins="${c#lecture}"; mins="${mins%m}"
      f="$work/lecture${mins}m.wav"
      [ -f "$f" ] || sox -q "$work/lecture10.wav" "$f" trim 0 "$((mins * 60))" ;;
    prepare) make_librivox; make_lecture10; make_long 30 lecture30m; make_long 60 lecture1h; continue ;;
    *) echo "unknown case $c" >&2; exit 2 ;;
  esac
  modes="${MODES:-no-translate translate}"
  for mode in $modes; do
    if [ "$mode" = translate ]; then start_translator; fi
    run_case "$c" "$f" "$mode"
    stop_translator
    unset VOXLEAF_LOCAL_TRANSLATION_URL
  done
done
