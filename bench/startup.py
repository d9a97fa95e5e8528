#!/usr/bin/env python3
"""
+----------------------------------------------------------------------------+
| startup.py — how fast the window comes up, and what it costs while idle    |
|                                                                            |
| Against the demo launcher on a private Xvfb:                               |
|  - time from process start to the first frame drawn, with a launcher that  |
|    the window reuses (started once by a first window, which is then ended) |
|    against the same for a bare raylib program that only opens a window    |
|    and draws one frame (bench/bare_window.cpp), runs taken in turns       |
|  - frames drawn over an idle period with a connected, quiet launcher       |
|  - resident memory of the program after start                              |
| Prints figures; it is not a test.                                          |
|                                                                            |
|   bench/startup.py [--program build/linux/velocrash] [--runs 20]           |
|                    [--bare build/linux/bare_window] [--idle 60]            |
+----------------------------------------------------------------------------+
"""

import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
from vlr_gui import Program, Sandbox, Xvfb, kill_pid, wait_for  # noqa: E402


def resident_kib(pid):
    with open("/proc/%d/status" % pid, encoding="ascii") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def end(program):
    # A killed window's lock goes only when its last thread has gone; a start before that
    # would rightly count as a second instance.
    kill_pid(program.proc.pid)
    program.proc.wait(timeout=10)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[2].strip("| "))
    parser.add_argument("--program", default=os.path.join("build", "linux", "velocrash"))
    parser.add_argument("--bare", default=os.path.join("build", "linux", "bare_window"))
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--idle", type=float, default=60.0)
    options = parser.parse_args()

    display = Xvfb(1600, 1000)
    sandbox = Sandbox()
    env = sandbox.env(display.env())
    env["VLR_DEMO_KEEPALIVE"] = "2"  # comments on the stream must not cost frames
    args = [os.path.abspath(options.program), "--python", sys.executable, "--script", sandbox.script]
    try:
        # The first window starts the launcher; ending the window leaves it running.
        first = Program(args, env)
        wait_for(lambda: first.frames() > 0, 30, "the first window's first frame")
        sandbox.wait_session()
        end(first)

        def first_frame_ms(command):
            program = Program(command, env)
            wait_for(lambda: program.frame_times(), 30, "the first frame")
            elapsed = (program.frame_times()[0] - program.started) * 1000
            end(program)
            return elapsed

        # In turns, so that both see the same machine in the same minutes.
        times, bare = [], []
        for _ in range(options.runs):
            times.append(first_frame_ms(args))
            bare.append(first_frame_ms([os.path.abspath(options.bare)]))
        for name, figures in (("launcher window, reused launcher", times), ("bare raylib window", bare)):
            figures.sort()
            print("start to first frame, %s: median %.0f ms, best %.0f ms, worst %.0f ms (%d runs)"
                  % (name, statistics.median(figures), figures[0], figures[-1], len(figures)))
        print("launcher window / bare window (medians): %.2f" % (statistics.median(times) / statistics.median(bare)))

        program = Program(args, env)
        wait_for(lambda: program.frame_times(), 30, "the first frame")
        program.wait_quiet(quiet=2.0, timeout=30)
        print("resident memory after start: %.1f MiB" % (resident_kib(program.proc.pid) / 1024))
        since = time.monotonic()
        time.sleep(options.idle)
        print("frames drawn over %.0f s idle with a connected launcher: %d"
              % (options.idle, program.frames(since=since)))
        end(program)
    finally:
        sandbox.close()
        display.stop()


if __name__ == "__main__":
    main()
