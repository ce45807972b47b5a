#!/usr/bin/python3
"""The show's frame times in headless Chromium (SwiftShader), from the page's
main loop, written as CSV files for bench/scene_times.sh --summarise; with
what the page downloads and the time from opening it to its start button.

    bench/web_times.py --web build-web --out DIR [--until T]

The show plays in real time after a click on #start (what a viewer sees)
until it ends or, with --until, until Esc after T seconds. Each turn of the
main loop (the show's message pump and RenderFrame) is timed through the
runtime's preMainLoop / postMainLoop hooks, set from here once the page is
ready, so the page itself needs nothing for it. DIR gets two files:

  interval.csv  ms: from one turn's start to the next, the frame time a viewer
                sees (at least one display frame, 16.7 ms at 60 Hz); it
                includes SwiftShader's drawing, which runs in the GPU process
  step.csv      ms: the turn itself, on the page's thread (the show's code
                and the WebGL calls; not the GPU process's drawing)

A frame's scene is found from its time since the show's first frame against
the scene start times in base/timeline.h.
"""

import argparse
import bisect
import os
import re
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(here, "..", "tests", "web"))
from browser import Browser, BrowserError, StaticServer, find_chromium  # noqa: E402

HOOKS = """(() => {
  window.vtTurns = [];
  let began = 0;
  Module.preMainLoop = () => { began = performance.now(); };
  Module.postMainLoop = () => { vtTurns.push([began, performance.now()]); };
  return typeof Module.preMainLoop;
})()"""
TAKE_TURNS = "(() => { const t = window.vtTurns || []; window.vtTurns = []; return t; })()"


def scene_starts(timeline):
    """Scene n's start time for n = 1..10, from the timeline header."""
    starts = {}
    with open(timeline) as f:
        for line in f:
            m = re.match(r"#define SCENE(\d+)_START_S ([0-9.]+)", line)
            if m:
                starts[int(m.group(1))] = float(m.group(2))
    if sorted(starts) != list(range(1, len(starts) + 1)) or not starts:
        raise ValueError("no scene start times in %s" % timeline)
    return [starts[n] for n in sorted(starts)]


def write_csv(path, rows):
    with open(path, "w") as f:
        f.write("time,scene,ms\n")
        for t, scene, ms in rows:
            f.write("%.3f,%d,%.3f\n" % (t, scene, ms))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--web", default="build-web")
    parser.add_argument("--out", required=True, help="a folder for interval.csv and step.csv")
    parser.add_argument("--until", type=float, help="show seconds to play before Esc")
    parser.add_argument("--size", default="1024x768", help="the page's viewport, CSS pixels")
    parser.add_argument("--timeline", default=os.path.join(here, "..", "base", "timeline.h"))
    args = parser.parse_args()
    if not find_chromium():
        print("no chromium (Debian package chromium)", file=sys.stderr)
        return 1
    if not os.path.isfile(os.path.join(args.web, "index.html")):
        print("no web build in %s (./web.sh builds it)" % args.web, file=sys.stderr)
        return 1
    starts = scene_starts(args.timeline)
    width, height = (int(v) for v in args.size.split("x"))

    turns = []
    with StaticServer(args.web) as server, Browser() as browser:
        page = browser.open_page(width, height)
        try:
            page.navigate(server.url("index.html"))
            _, ready = page.wait_state({"ready"}, 300)
            served = server.served()
            if page.evaluate(HOOKS) != "function":
                raise BrowserError("the page has no Module to hook")
            page.click("#start")
            page.wait_state({"playing"}, 60)
            limit = args.until if args.until is not None else 400
            began = time.monotonic()
            while page.state() == "playing":
                if turns and (turns[-1][0] - turns[0][0]) / 1000 >= limit:
                    page.press("Escape", "Escape", 27)
                    page.wait_state({"ready"}, 30)
                    break
                if time.monotonic() - began > limit + 120:
                    raise BrowserError("still playing %.0f s after the click" % (time.monotonic() - began))
                browser.pump(1)
                turns += page.evaluate(TAKE_TURNS) or []
            turns += page.evaluate(TAKE_TURNS) or []
            ended_in = page.state()
        except BrowserError as e:
            print("web_times: %s" % e, file=sys.stderr)
            for line in browser.log[-20:]:
                print("  page: " + line, file=sys.stderr)
            return 1
    if len(turns) < 2:
        print("web_times: %d turns of the main loop seen" % len(turns), file=sys.stderr)
        return 1

    origin = turns[0][0]
    interval, step = [], []
    for i, (start, end) in enumerate(turns):
        t = (start - origin) / 1000
        scene = bisect.bisect_right(starts, t)
        step.append((t, scene, end - start))
        if i + 1 < len(turns):
            interval.append((t, scene, turns[i + 1][0] - start))
    os.makedirs(args.out, exist_ok=True)
    write_csv(os.path.join(args.out, "interval.csv"), interval)
    write_csv(os.path.join(args.out, "step.csv"), step)
    print("downloaded: %.1f MB in %d files (largest: %s)" % (
        sum(served.values()) / 1e6, len(served), ", ".join(
            "%s %.1f MB" % (path.lstrip("/"), size / 1e6)
            for path, size in sorted(served.items(), key=lambda i: -i[1])[:3])))
    print("ready: %.0f ms from opening the page to the start button" % ready)
    print("played: %.1f s of show in %d frames; then the page's state was %r"
          % ((turns[-1][0] - origin) / 1000, len(turns), ended_in))
    return 0


if __name__ == "__main__":
    sys.exit(main())
