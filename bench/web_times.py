#!/usr/bin/python3
"""The show's frame times in headless Chromium (SwiftShader): the page's own
per-frame statistics (window.vantorelStats: the capture tool's --stats
columns, as CSV text with its header or as an array of objects with those
keys) written to a CSV file for bench/scene_times.sh --summarise, and the
time from opening the page to its start button.

    bench/web_times.py --web build-web --stats OUT.csv [--until T] [--fps F]

Without --fps the show plays in real time after a click on #start (what a
viewer sees) until it ends or, with --until, until Esc after T seconds. With
--fps F it runs on the virtual clock to --until (default the show's end) at
F frames a second, as bench/scene_times.sh runs the capture tool.
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser import Browser, BrowserError, StaticServer, find_chromium  # noqa: E402

SHOW_END = 296.9  # the last frame before the show ends, on a 10 fps grid
STATS = "window.vantorelStats"


def stats_csv(value):
    """The page's statistics as CSV text with a header, or None."""
    if isinstance(value, str):
        return value if value.strip() else None
    if isinstance(value, list) and value and isinstance(value[0], dict):
        columns = list(value[0].keys())
        rows = [",".join(columns)]
        rows += [",".join(str(row.get(c, "")) for c in columns) for row in value]
        return "\n".join(rows) + "\n"
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--web", default="build-web")
    parser.add_argument("--stats", required=True, help="where the per-frame CSV goes")
    parser.add_argument("--until", type=float, help="show seconds to run")
    parser.add_argument("--fps", type=float, help="run on the virtual clock at this rate")
    parser.add_argument("--size", default="1024x768", help="the page's viewport, CSS pixels")
    args = parser.parse_args()
    if not find_chromium():
        print("no chromium (Debian package chromium)", file=sys.stderr)
        return 1
    if not os.path.isfile(os.path.join(args.web, "index.html")):
        print("no web build in %s (./web.sh builds it)" % args.web, file=sys.stderr)
        return 1
    width, height = (int(v) for v in args.size.split("x"))

    with StaticServer(args.web) as server, Browser() as browser:
        page = browser.open_page(width, height)
        try:
            if args.fps:
                at = args.until if args.until is not None else SHOW_END
                page.navigate(server.url("index.html?at=%g&fps=%g" % (at, args.fps)))
                _, ready = page.wait_state({"ready"}, 300)
                page.click("#start")
                # A frame a browser frame at most: allow a second a frame.
                page.wait_state({"held"}, 60 + at * args.fps)
                value = page.evaluate(STATS)
            else:
                page.navigate(server.url("index.html"))
                _, ready = page.wait_state({"ready"}, 300)
                page.click("#start")
                page.wait_state({"playing"}, 60)
                began = time.monotonic()
                limit = args.until if args.until is not None else SHOW_END + 60
                value = None
                # Read as it runs: the statistics of a show that ended by
                # itself may be gone once the page is back at its start.
                while time.monotonic() - began < limit:
                    browser.pump(2)
                    value = page.evaluate(STATS) or value
                    if page.state() != "playing":
                        break
                if page.state() == "playing":
                    value = page.evaluate(STATS) or value
                    page.press("Escape", "Escape", 27)
                    page.wait_state({"ready"}, 30)
        except BrowserError as e:
            print("web_times: %s" % e, file=sys.stderr)
            for line in browser.log[-20:]:
                print("  page: " + line, file=sys.stderr)
            return 1
    csv = stats_csv(value)
    if csv is None:
        print("web_times: the page gives no per-frame statistics (%s is %r)" % (STATS, type(value).__name__),
              file=sys.stderr)
        return 1
    with open(args.stats, "w") as f:
        f.write(csv)
    served = server.served()
    print("downloaded: %.1f MB in %d files (%s)" % (sum(served.values()) / 1e6, len(served), ", ".join(
        "%s %.1f MB" % (path.lstrip("/"), size / 1e6) for path, size in sorted(served.items(), key=lambda i: -i[1])[:4])))
    print("ready: %.0f ms from opening the page to the start button" % ready)
    return 0


if __name__ == "__main__":
    sys.exit(main())
