#!/usr/bin/env python3
"""Latency of the live path of `voxleaf-cli listen`: from the end of a spoken
sentence in a test microphone to its entry landing (the JSON line on stdout),
with an instantly answering local translator (bench/instant_translator.py).

    bench/measure_latency.py [--build DIR] [--sentences N] [--gap SECONDS] [--no-translate]

It starts the test microphones (scripts/testmics.sh) in a private folder,
adds one more microphone of its own ("vox_micbench": a null sink kept busy by
a silent stream, remapped as a 16 kHz mono source) so that nothing else plays
into it, then plays N espeak-ng sentences into it one at a time with paplay.
Each clip is trimmed to end exactly where the speech ends, so the end of the
sentence is the moment paplay has drained (checked against start + length).
Every stdout line of `listen --json` is timestamped on arrival.
Breakdown: the translator logs the arrival of each /translate request, which
splits the latency into "end of speech -> sentence submitted" (pause rule
0.9 s, settle 0.35 s, recognizer delay, engine ticks) and "submitted ->
entry landed" (HTTP round trip + pipeline).
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

SENTENCES = [
    "The students opened their books and read the first chapter.",
    "Energy moves from the sun to the plants on the ground.",
    "The teacher wrote three questions on the board.",
    "Water boils at one hundred degrees at sea level.",
    "We will study the history of the old roman roads.",
    "A good experiment always needs a careful control group.",
    "The heart pumps blood through the whole human body.",
    "Please read the next section before the exam on friday.",
    "Mountains form when two plates of the earth collide.",
    "The market price depends on supply and demand.",
    "Light travels much faster than the sound of thunder.",
    "This result surprised everyone in the laboratory.",
    "Computers store numbers as long strings of ones and zeros.",
    "The river carries sand and small stones to the sea.",
]


def pct(values, p):
    s = sorted(values)
    if not s:
        return float("nan")
    k = (len(s) - 1) * p / 100.0
    lo, hi = int(k), min(int(k) + 1, len(s) - 1)
    return s[lo] + (s[hi] - s[lo]) * (k - lo)


def run(cmd, env=None, check=True):
    return subprocess.run(cmd, env=env, check=check, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(REPO, "build-perf"))
    ap.add_argument("--sentences", type=int, default=12)
    ap.add_argument("--gap", type=float, default=4.0, help="silence after each sentence (s)")
    ap.add_argument("--no-translate", action="store_true")
    ap.add_argument("--keep", action="store_true", help="keep the work folder")
    a = ap.parse_args()

    cli = os.path.join(a.build, "src", "cli", "voxleaf-cli")
    if not os.path.exists(cli):
        print(f"voxleaf-cli not found: {cli}", file=sys.stderr)
        return 1
    work = tempfile.mkdtemp(prefix="voxleaf-latency-")
    mics = os.path.join(work, "mics")
    procs = []
    mics_started = False
    try:
        # --- clips: speech only, trailing silence cut away.
        clips = []
        for i in range(a.sentences):
            text = SENTENCES[i % len(SENTENCES)]
            raw = os.path.join(work, f"raw{i}.wav")
            clip = os.path.join(work, f"clip{i}.wav")
            run(["espeak-ng", "-s", "150", "-w", raw, text])
            run(["sox", "-q", raw, "-r", "16000", "-c", "1", "-b", "16", clip, "vol", "0.5",
                 "reverse", "silence", "1", "0.02", "0.5%", "reverse"])
            dur = float(run(["soxi", "-D", clip]).stdout.strip())
            clips.append((text, clip, dur))

        # --- microphones.
        run([os.path.join(REPO, "scripts", "testmics.sh"), "start", mics])
        mics_started = True
        env = dict(os.environ)
        with open(os.path.join(mics, "env")) as f:
            for line in f:
                if line.startswith("export "):
                    k, v = line[len("export "):].strip().split("=", 1)
                    env[k] = v.strip("'")
        env["HOME"] = os.path.join(work, "home")
        env["XDG_CONFIG_HOME"] = os.path.join(work, "home", ".config")
        os.makedirs(env["XDG_CONFIG_HOME"], exist_ok=True)
        env["VOXLEAF_DIAG_LOG"] = os.path.join(work, "diag.log")
        env["DEEPSEEK_API_KEY"] = ""
        env["VOXLEAF_DEEPSEEK_BASE_URL"] = "http://127.0.0.1:9"
        run(["pactl", "load-module", "module-null-sink", "sink_name=vox_benchfeed", "format=float32le",
             "rate=16000", "channels=1", "channel_map=mono"], env=env)
        run(["pactl", "load-module", "module-remap-source", "source_name=vox_micbench",
             "master=vox_benchfeed.monitor", "format=float32le", "rate=16000", "channels=1",
             "channel_map=mono", "master_channel_map=mono", "remix=no"], env=env)
        zero = open("/dev/zero", "rb")
        keeper = subprocess.Popen(["pacat", "--playback", "--raw", "--latency-msec=20", "-d", "vox_benchfeed",
                                   "--format=s16le", "--rate=16000", "--channels=1", "--stream-name=silence"],
                                  stdin=zero, env=env, stderr=subprocess.DEVNULL)
        procs.append(keeper)

        # --- translator.
        tlog = os.path.join(work, "translator.log")
        if not a.no_translate:
            tenv = dict(env, INSTANT_TRANSLATOR_LOG=tlog)
            tr = subprocess.Popen([sys.executable, os.path.join(HERE, "instant_translator.py"), "0"],
                                  env=tenv, stdout=subprocess.PIPE, text=True)
            procs.append(tr)
            port = int(tr.stdout.readline().split()[1])
            env["VOXLEAF_LOCAL_TRANSLATION_URL"] = f"http://127.0.0.1:{port}"

        # --- listener.
        args = [cli, "listen", "--device", "vox_micbench", "--json"]
        if a.no_translate:
            args.append("--no-translate")
        listener = subprocess.Popen(args, env=env, stdout=subprocess.PIPE, stderr=open(os.path.join(work, "listen.err"), "w"),
                                    text=True, bufsize=1)
        procs.append(listener)
        lines = []
        lock = threading.Lock()

        def reader():
            for line in listener.stdout:
                t = time.time()
                line = line.strip()
                if line.startswith("{"):
                    with lock:
                        lines.append((t, json.loads(line)))

        threading.Thread(target=reader, daemon=True).start()
        time.sleep(4.0)  # model load, capture start, a stretch of silence

        played = []
        for text, clip, dur in clips:
            t0 = time.time()
            run(["paplay", "--latency-msec=20", "-d", "vox_benchfeed", clip], env=env)
            t1 = time.time()
            played.append((text, t0, t1, dur))
            time.sleep(a.gap)
        time.sleep(2.0)
        listener.terminate()
        try:
            listener.wait(timeout=20)
        except subprocess.TimeoutExpired:
            listener.kill()

        requests = []
        if os.path.exists(tlog):
            with open(tlog) as f:
                for line in f:
                    ts, path, _n = line.split()
                    if path == "/translate":
                        requests.append(float(ts))

        # --- match: the first entry landing after a sentence's end and before the next sentence starts.
        lat, lat_hi, sub, rt, rows = [], [], [], [], []
        for i, (text, t0, t1, dur) in enumerate(played):
            end = t1
            nxt = played[i + 1][1] if i + 1 < len(played) else float("inf")
            got = [(t, e) for t, e in lines if end - 0.5 <= t < nxt + a.gap]
            if not got:
                rows.append((i, text, dur, t1 - t0, None, None, None, ""))
                continue
            t, e = got[0]
            req = [r for r in requests if end - 0.5 <= r <= t]
            l = t - end
            lat.append(l)
            # paplay's start-up also takes time; if that excess were all at the
            # end instead (drain), the speech ended at start + clip length.
            lat_hi.append(t - (t0 + dur))
            s = (req[-1] - end) if req else None
            r = (t - req[-1]) if req else None
            if s is not None:
                sub.append(s)
                rt.append(r)
            rows.append((i, text, dur, t1 - t0, l, s, r, e.get("source", "")))

        print(f"{'#':>2} {'clip_s':>6} {'play_s':>6} {'latency_s':>9} {'to_submit':>9} {'translate':>9}  recognized")
        for i, text, dur, play, l, s, r, src in rows:
            f = lambda v: f"{v:9.3f}" if v is not None else f"{'-':>9}"
            print(f"{i:2d} {dur:6.2f} {play:6.2f} {f(l)} {f(s)} {f(r)}  {src[:60]}")
        print()
        mode = "no-translate" if a.no_translate else "instant local translator"
        print(f"live latency, end of sentence -> entry landed ({mode}), {len(lat)}/{len(played)} sentences")
        if lat:
            print(f"  median {statistics.median(lat):.3f} s   p95 {pct(lat, 95):.3f} s   min {min(lat):.3f} s   max {max(lat):.3f} s"
                  "   (end = paplay drained)")
            print(f"  median {statistics.median(lat_hi):.3f} s   p95 {pct(lat_hi, 95):.3f} s   (end = paplay start + clip length, upper bound)")
        if sub:
            print(f"  end of speech -> sentence submitted (translate request arrives): median {statistics.median(sub):.3f} s  p95 {pct(sub, 95):.3f} s")
            print(f"  submitted -> entry landed (HTTP round trip + pipeline):          median {statistics.median(rt):.3f} s  p95 {pct(rt, 95):.3f} s")
        print(f"  (paplay drain vs clip length: median excess {statistics.median([p[2]-p[1]-p[3] for p in played]):.3f} s)")
        return 0 if lat else 1
    finally:
        for p in reversed(procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    p.kill()
        if mics_started:
            subprocess.run([os.path.join(REPO, "scripts", "testmics.sh"), "stop", mics])
        if a.keep:
            print(f"work folder: {work}", file=sys.stderr)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
