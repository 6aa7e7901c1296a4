#!/usr/bin/env bash
# Test microphones: a private, headless PulseAudio server with
#   - "vox_out": a null sink used as the output device (kept busy by a silent
#     stream, because idle null sinks deliver audio in 2 s blocks);
#   - "vox_mic48": a virtual microphone, 48 kHz stereo;
#   - "vox_mic16": a virtual microphone, 16 kHz mono.
# Each microphone is a module-remap-source over the monitor of its own null
# sink, into which an espeak-ng clip is played in a loop.
#
#   scripts/testmics.sh start DIR   starts it, writes DIR/env (source it)
#   scripts/testmics.sh stop DIR    stops exactly the processes it started
#
# DIR also receives clip48.wav / clip16.wav (what each microphone plays) and
# clip48.txt / clip16.txt (the spoken words), for the tests.
set -euo pipefail

cmd="${1:-}"
dir="${2:-}"
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"
pids="$dir/pids"

clip48_text="The quick brown fox jumps over the lazy dog near the river bank."
clip16_text="Seven students opened their notebooks and wrote down the lecture about planets."

stop_all() {
  [ -f "$pids" ] || return 0
  # Loops first (so they do not restart their players), then the server.
  local pid
  while read -r kind pid; do
    [ -n "$pid" ] || continue
    case "$kind" in
      group) kill -TERM -- "-$pid" 2>/dev/null || true ;;
      proc) kill -TERM "$pid" 2>/dev/null || true ;;
    esac
  done < <(grep -v '^server ' "$pids" || true)
  while read -r kind pid; do
    [ "$kind" = server ] && [ -n "$pid" ] || continue
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  done < <(grep '^server ' "$pids" || true)
  rm -f "$pids"
}

case "$cmd" in
  stop)
    stop_all
    exit 0
    ;;
  start) ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac

for tool in pulseaudio pactl paplay pacat parec espeak-ng sox; do
  if ! command -v "$tool" >/dev/null; then
    echo "testmics: $tool is missing (run scripts/setup.sh)" >&2
    exit 1
  fi
done

# A previous run in the same folder is stopped first.
stop_all

export HOME="$dir/home"
export XDG_RUNTIME_DIR="$dir/run"
export XDG_CONFIG_HOME="$dir/home/.config"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
socket="$XDG_RUNTIME_DIR/native"
export PULSE_SERVER="unix:$socket"
unset PULSE_SINK PULSE_SOURCE PULSE_COOKIE || true
rm -f "$socket"

# --- clips: espeak-ng speech with a lead-in, a lower level and faint noise.
make_clip() { # text rate channels out
  local text="$1" rate="$2" ch="$3" out="$4" tmp="$dir/tmp_$$"
  espeak-ng -s 150 -w "$tmp.raw.wav" "$text"
  sox -q "$tmp.raw.wav" -r "$rate" -c 1 "$tmp.speech.wav" vol 0.5 pad 0.4 0.4
  local len
  len="$(soxi -D "$tmp.speech.wav")"
  sox -q -n -r "$rate" -c 1 "$tmp.noise.wav" synth "$len" whitenoise vol 0.004
  sox -q -m "$tmp.speech.wav" "$tmp.noise.wav" -b 16 -c "$ch" "$out"
  rm -f "$tmp".*.wav
}
printf '%s\n' "$clip48_text" > "$dir/clip48.txt"
printf '%s\n' "$clip16_text" > "$dir/clip16.txt"
make_clip "$clip48_text" 48000 2 "$dir/clip48.wav"
make_clip "$clip16_text" 16000 1 "$dir/clip16.wav"

# --- server configuration.
cat > "$dir/server.pa" <<EOF
load-module module-native-protocol-unix socket=$socket auth-anonymous=1
load-module module-null-sink sink_name=vox_out rate=48000 channels=2 sink_properties='device.description="Voxleaf Test Output"'
load-module module-null-sink sink_name=vox_feed48 format=float32le rate=48000 channels=2 sink_properties='device.description="Voxleaf Feed 48k"'
load-module module-null-sink sink_name=vox_feed16 format=float32le rate=16000 channels=1 channel_map=mono sink_properties='device.description="Voxleaf Feed 16k"'
load-module module-remap-source source_name=vox_mic48 master=vox_feed48.monitor format=float32le rate=48000 channels=2 channel_map=front-left,front-right master_channel_map=front-left,front-right remix=no source_properties='device.description="Voxleaf Test Mic 48k"'
load-module module-remap-source source_name=vox_mic16 master=vox_feed16.monitor format=float32le rate=16000 channels=1 channel_map=mono master_channel_map=mono remix=no source_properties='device.description="Voxleaf Test Mic 16k"'
set-default-sink vox_out
set-default-source vox_mic48
EOF
mkdir -p "$XDG_CONFIG_HOME/pulse"
cat > "$XDG_CONFIG_HOME/pulse/daemon.conf" <<EOF
default-sample-format = float32le
default-sample-rate = 48000
alternate-sample-rate = 16000
avoid-resampling = yes
resample-method = speex-float-5
flat-volumes = no
EOF

: > "$pids"
if ! pulseaudio --daemonize=yes -n -F "$dir/server.pa" --exit-idle-time=-1 \
  --disable-shm=yes --realtime=no --high-priority=no --use-pid-file=yes \
  --log-target="file:$dir/pulse.log" --log-level=notice \
  </dev/null >>"$dir/pulse.log" 2>&1; then
  echo "testmics: pulseaudio did not start; see $dir/pulse.log" >&2
  exit 1
fi
for _ in $(seq 100); do
  [ -S "$socket" ] && pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
  echo "testmics: the server does not answer; see $dir/pulse.log" >&2
  exit 1
fi
server_pid="$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null || true)"
if [ -z "$server_pid" ]; then
  echo "testmics: no pid file from pulseaudio" >&2
  exit 1
fi
echo "server $server_pid" >> "$pids"

# --- players: each loop runs in its own process group, stopped as a group.
start_group() { # label command...
  setsid bash -c "$*" </dev/null >>"$dir/players.log" 2>&1 &
  echo "group $!" >> "$pids"
}
start_group "while :; do paplay --latency-msec=20 -d vox_feed48 '$dir/clip48.wav' || sleep 0.2; done"
start_group "while :; do paplay --latency-msec=20 -d vox_feed16 '$dir/clip16.wav' || sleep 0.2; done"
start_group "exec pacat --playback --raw --latency-msec=20 -d vox_out --format=s16le --rate=48000 --channels=2 --stream-name=silence < /dev/zero"

# --- wait until each microphone delivers audio (not just zeros).
delivers_audio() { # source
  local f="$dir/probe.raw"
  timeout 1 parec -d "$1" --raw --format=s16le --rate=16000 --channels=1 --latency-msec=20 >"$f" 2>/dev/null || true
  [ "$(tr -d '\000' <"$f" | head -c 64 | wc -c)" -gt 0 ]
}
for src in vox_mic48 vox_mic16; do
  ok=0
  for _ in $(seq 15); do
    if delivers_audio "$src"; then ok=1; break; fi
  done
  if [ "$ok" != 1 ]; then
    echo "testmics: $src delivers no audio; see $dir/pulse.log and $dir/players.log" >&2
    "$0" stop "$dir"
    exit 1
  fi
done
rm -f "$dir/probe.raw"

cat > "$dir/env" <<EOF
export PULSE_SERVER='$PULSE_SERVER'
export VOX_TESTMICS_DIR='$dir'
EOF
echo "testmics: running (PULSE_SERVER=$PULSE_SERVER)" >&2
