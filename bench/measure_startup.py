#!/usr/bin/env python3
"""Start-up of the Voxleaf window: from the start of the process to the main
window's first frame, and to the recognizer being ready (its model loaded,
which begins after that first frame).

    bench/measure_startup.py [--build DIR] [--runs N] [--platform offscreen|xvfb]

Each run starts the application with a fresh home, runtime and state folder
(no settings, no courses: a first start), waits for the diagnostics log line
of the loaded decoder, then ends the application with SIGTERM. Both figures
are the application's own log lines ("主窗口首帧（进程启动后 X s）" and
"解码器已加载（…；进程启动后 Y s）"), counted from the kernel's start time
of the process. The first run may find the libraries and the model outside
the page cache (cold); the others find them in it (warm): medians are of
the warm runs. With --platform xvfb the window goes to a private Xvfb (when
installed); by default to Qt's offscreen platform with the software
renderer.
"""
import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

FRAME = re.compile(r"主窗口首帧（进程启动后 ([0-9.]+) s）")
READY = re.compile(r"解码器已加载（[^；]*；进程启动后 ([0-9.]+) s）")


def one_run(app, env_extra, timeout):
    with tempfile.TemporaryDirectory(prefix="voxleaf-startup-") as tmp:
        env = dict(os.environ)
        for sub in ("home", "runtime", "state", "config", "data"):
            os.makedirs(os.path.join(tmp, sub), mode=0o700)
        env.update({
            "HOME": os.path.join(tmp, "home"),
            "XDG_RUNTIME_DIR": os.path.join(tmp, "runtime"),
            "XDG_STATE_HOME": os.path.join(tmp, "state"),
            "XDG_CONFIG_HOME": os.path.join(tmp, "config"),
            "XDG_DATA_HOME": os.path.join(tmp, "data"),
            "VOXLEAF_DIAG_LOG": os.path.join(tmp, "diag.log"),
        })
        env.update(env_extra)
        log = env["VOXLEAF_DIAG_LOG"]
        proc = subprocess.Popen([app], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        frame = ready = None
        deadline = time.monotonic() + timeout
        try:
            while time.monotonic() < deadline and proc.poll() is None:
                time.sleep(0.05)
                try:
                    with open(log, encoding="utf-8", errors="replace") as f:
                        text = f.read()
                except FileNotFoundError:
                    continue
                m = FRAME.search(text)
                frame = float(m.group(1)) if m else None
                m = READY.search(text)
                ready = float(m.group(1)) if m else None
                if frame is not None and ready is not None:
                    break
        finally:
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        return frame, ready


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(REPO, "build-release"))
    ap.add_argument("--runs", type=int, default=6)
    ap.add_argument("--platform", choices=("offscreen", "xvfb"), default="offscreen")
    ap.add_argument("--timeout", type=float, default=60)
    a = ap.parse_args()
    app = os.path.join(a.build, "src", "app", "voxleaf")
    if not os.access(app, os.X_OK):
        sys.exit(f"voxleaf not found at {app} (scripts/build.sh release)")

    xvfb = None
    env_extra = {}
    if a.platform == "xvfb":
        if not shutil.which("Xvfb"):
            sys.exit("Xvfb is not installed")
        display = ":97"
        xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
        env_extra = {"DISPLAY": display, "QT_QPA_PLATFORM": "xcb"}
    else:
        env_extra = {"QT_QPA_PLATFORM": "offscreen", "QT_QUICK_BACKEND": "software"}

    frames, readies = [], []
    try:
        for i in range(a.runs):
            frame, ready = one_run(app, env_extra, a.timeout)
            label = "cold?" if i == 0 else "warm"
            print(f"run {i + 1} ({label}): first frame {frame if frame is not None else '—'} s, "
                  f"recognizer ready {ready if ready is not None else '—'} s", flush=True)
            if i > 0 and frame is not None and ready is not None:
                frames.append(frame)
                readies.append(ready)
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
    if not frames:
        sys.exit("no warm run finished")
    print(f"warm median over {len(frames)} runs: first frame {statistics.median(frames):.2f} s "
          f"(min {min(frames):.2f}, max {max(frames):.2f}), recognizer ready {statistics.median(readies):.2f} s "
          f"(min {min(readies):.2f}, max {max(readies):.2f})")


if __name__ == "__main__":
    main()
