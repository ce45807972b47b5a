#!/usr/bin/python3
"""The show's page in headless Chromium, against the native programs.

Checks, each printed with its time:
  start     the page reaches `ready` with #start shown; a click on it plays
            the show full screen, letterboxed 4:3 at the display's pixel
            ratio, the device at k = 1 on the software renderer; Esc, F2
            and Alt+Enter (key events through the protocol's Input domain),
            also pressed the moment the state is playing, each bring the
            start button back and leave full screen, Enter alone does not
  missing   with &missing=FILE (the mesh, an image) the page shows, in
            #message, the text the native capture tool gives for a media
            copy without that file
  frames    the frames held at ?at=T&fps=F match the capture tool's frames
            at the same times (tests/web/times.txt) within vt_web_frames'
            tolerance; failures leave native | web | difference pictures

Exits 77 (skipped) only when chromium or the web build is missing.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser, BrowserError, StaticServer, find_chromium  # noqa: E402

SKIP = 77
WIDTH, HEIGHT = 1024, 768  # the capture tool's frame size
# The start check's window: wider than 4:3, at two device pixels a CSS pixel,
# 1600 x 900 device pixels, where a graphics card would draw above k = 1.
WIDE = (800, 450, 2)
# The keys that end the show: (name, key, code, key code, Alt held).
END_KEYS = [("Esc", "Escape", "Escape", 27, False), ("F2", "F2", "F2", 113, False),
            ("Alt+Enter", "Enter", "Enter", 13, True)]


def native_env():
    env = dict(os.environ)
    env.setdefault("SDL_VIDEODRIVER", "offscreen")
    env.setdefault("SDL_AUDIODRIVER", "dummy")
    env.setdefault("XDG_RUNTIME_DIR", "/tmp")
    return env


def frame_file(t):
    return "frame_%08.3f.png" % t


def read_times(path):
    times = []
    with open(path) as f:
        for line in f:
            fields = line.split(None, 1)
            if fields and not fields[0].startswith("#"):
                times.append(float(fields[0]))
    return times


def native_message(capture, media, missing, work):
    """The text of the one message box the capture tool shows for a media
    copy without `missing` (the platform prints boxes as "caption: text"
    where nobody can click them)."""
    copy = os.path.join(work, "media-without")
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(media, copy)
    os.remove(os.path.join(copy, missing))
    run = subprocess.run([capture, "--media", copy, "--at", "1", "--out", os.path.join(work, "unused")],
                         env=native_env(), capture_output=True, text=True, timeout=300)
    shutil.rmtree(copy, ignore_errors=True)
    boxes = [m.group(1) for m in map(re.compile(r"^Error: (.*)$").match, run.stderr.splitlines()) if m]
    if len(boxes) != 1:
        raise BrowserError("the capture tool without %s gave %d boxes, not one (exit %d):\n%s"
                           % (missing, len(boxes), run.returncode, run.stderr))
    return boxes[0]


class Checks:
    def __init__(self, args, page):
        self.args = args
        self.page = page

    def open(self, query, wanted, timeout):
        if self.args.query:
            query = (query or "?") + ("&" if query else "") + self.args.query.lstrip("&?")
        self.page.navigate(self.args.server.url("index.html" + query))
        return self.page.wait_state(wanted, timeout)

    def check_playing_layout(self):
        """Full screen, and the canvas 4:3 in the middle of the window,
        filling its height, drawn at the display's pixel ratio."""
        if not self.page.evaluate("!!document.fullscreenElement"):
            raise BrowserError("the show plays, but not full screen")
        width, height, ratio = WIDE
        box = self.page.box("#screen")
        size = self.page.evaluate(
            "(() => { const c = document.getElementById('screen'); return [c.width, c.height]; })()")
        want = {"x": (width - height * 4 / 3) / 2, "y": 0, "width": height * 4 / 3, "height": height}
        if box is None or any(abs(box[k] - want[k]) > 1 for k in want):
            raise BrowserError("#screen at %s in a %d x %d window, not letterboxed at %s" % (box, width, height, want))
        if [round(box["width"] * ratio), round(box["height"] * ratio)] != size:
            raise BrowserError("#screen draws %d x %d for %g x %g CSS pixels at %g device pixels a CSS pixel"
                               % (size[0], size[1], box["width"], box["height"], ratio))

    def check_scale(self):
        """A software renderer draws the picture at k = 1, however many
        device pixels the window has: the device must learn the renderer's
        real name, which WebGL masks unless asked."""
        renderer = self.page.evaluate(
            "(() => { const gl = document.createElement('canvas').getContext('webgl2');"
            " const ext = gl && gl.getExtension('WEBGL_debug_renderer_info');"
            " return ext ? gl.getParameter(ext.UNMASKED_RENDERER_WEBGL) : null; })()")
        k = self.page.evaluate("Module.ccall('vt_web_render_scale', 'number', [], [])")
        drawn = (round(WIDTH * k), round(HEIGHT * k))
        viewport = self.page.evaluate("[innerWidth * devicePixelRatio, innerHeight * devicePixelRatio]")
        print("  renderer %r, %g x %g device pixels: the device draws %d x %d (k = %g)"
              % (renderer, viewport[0], viewport[1], drawn[0], drawn[1], k))
        if not renderer or not re.search(r"swiftshader|llvmpipe|softpipe|swrast", renderer, re.I):
            raise BrowserError("the browser names no software renderer (%r): the check needs one" % renderer)
        if min(viewport[0] / WIDTH, viewport[1] / HEIGHT) <= 1:
            raise BrowserError("the window is too small for a graphics card's scale to exceed 1")
        if drawn != (WIDTH, HEIGHT):
            raise BrowserError("on %s the device draws %d x %d, not the picture at k = 1 (%d x %d)"
                               % (renderer, drawn[0], drawn[1], WIDTH, HEIGHT))

    def start(self):
        self.page.set_viewport(*WIDE)
        try:
            self.start_and_end()
        finally:
            self.page.set_viewport(WIDTH, HEIGHT)

    def start_and_end(self):
        _, clock = self.open("", {"ready"}, self.args.load_timeout)
        served = self.args.server.served()
        print("  ready %.0f ms after the page was opened, having downloaded %.1f MB in %d files"
              % (clock, sum(served.values()) / 1e6, len(served)))
        if self.page.box("#start") is None:
            raise BrowserError("ready, but #start is not shown")
        self.page.click("#start")
        self.page.wait_state({"playing"}, 60)
        # A few seconds of the show: it must still be playing, not ended or failed.
        self.page.browser.pump(3)
        state = self.page.state()
        if state != "playing":
            raise BrowserError("after 3 s of the show the state is %r, not playing (message %r)"
                               % (state, self.page.message_text()))
        self.check_playing_layout()
        self.check_scale()
        # Enter without Alt is no way out.
        self.page.press("Enter", "Enter", 13)
        self.page.browser.pump(1)
        state = self.page.state()
        if state != "playing":
            raise BrowserError("Enter alone ended the show (state %r)" % state)
        # A key at a running show, then each end key pressed the moment the
        # page says playing, before the program has its first frame up: keys
        # from the click on are the show's.
        self.end_with(END_KEYS[0], "after 4 s")
        for end_key in END_KEYS:
            self.page.click("#start")
            self.page.wait_state({"playing"}, 60)
            self.end_with(end_key, "at once")

    def end_with(self, end_key, when):
        name, key, code, key_code, alt = end_key
        self.page.press(key, code, key_code, alt)
        try:
            self.page.wait_state({"ready"}, self.args.end_timeout)
        except BrowserError as e:
            raise BrowserError("after %s %s: %s" % (name, when, e))
        if self.page.box("#start") is None:
            raise BrowserError("back to ready after %s %s, but #start is not shown" % (name, when))
        if self.page.evaluate("!!document.fullscreenElement"):
            raise BrowserError("back to ready after %s %s, but still full screen" % (name, when))
        print("  start button, playing, %s %s: back to the start button" % (name, when))

    def missing(self):
        # A mesh and an image: the show words their failures differently.
        for missing in self.args.missing or ["data/meshes/scene08/star.x", "data/bitmaps/scene07/hello.jpg"]:
            expected = native_message(self.args.capture, self.args.media, missing, self.args.work)
            print("  the capture tool without %s says %r" % (missing, expected))
            self.open("?missing=" + missing, {"ready"}, self.args.load_timeout)
            self.page.click("#start")
            self.page.wait_state({"error"}, 120)
            shown = self.page.message_text()
            if self.page.box("#message") is None:
                raise BrowserError("state error, but #message is not shown (its text: %r)" % shown)
            if shown != expected:
                raise BrowserError("#message says %r, the native program %r" % (shown, expected))
            print("  the page says the same")

    def frames(self):
        args = self.args
        native_dir = os.path.join(args.work, "native")
        web_dir = os.path.join(args.work, "web")
        for d in (native_dir, web_dir):
            shutil.rmtree(d, ignore_errors=True)
            os.makedirs(d)
        ats = []
        for t in args.times:
            ats += ["--at", "%g" % t]
        # The native frames are captured while the browser draws its own.
        native = subprocess.Popen([args.capture, "--media", args.media, "--fps", "%g" % args.fps, "--out",
                                   native_dir] + ats, env=native_env(), stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, text=True)
        try:
            for t in args.times:
                began = time.monotonic()
                self.open("?at=%g&fps=%g&autostart=1" % (t, args.fps), {"held"},
                          args.load_timeout + t * args.fps * args.frame_timeout)
                box = self.page.box("#screen")
                size = self.page.evaluate(
                    "(() => { const c = document.getElementById('screen'); return [c.width, c.height]; })()")
                if box is None:
                    raise BrowserError("held at %g, but #screen is not shown" % t)
                if (round(box["width"]), round(box["height"])) != (size[0], size[1]):
                    raise BrowserError("#screen is %g x %g on the page but draws %d x %d: the screenshot "
                                       "would be resampled" % (box["width"], box["height"], size[0], size[1]))
                self.page.screenshot(box, os.path.join(web_dir, frame_file(t)))
                print("  %6.1f s held after %.1f s, canvas %d x %d" % (t, time.monotonic() - began, *size))
        finally:
            output, _ = native.communicate(timeout=900)
        if native.returncode != 0:
            raise BrowserError("the capture tool failed:\n" + output)
        compare = subprocess.run([args.frames_tool, native_dir, web_dir, os.path.join(args.work, "differences")]
                                 + [frame_file(t) for t in args.times], capture_output=True, text=True)
        print(compare.stdout.rstrip())
        if compare.returncode != 0:
            raise BrowserError("the web frames differ from the native ones" if compare.returncode == 1
                               else compare.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--web", required=True, help="the web build's folder (index.html)")
    parser.add_argument("--capture", required=True, help="the native vantorel-capture")
    parser.add_argument("--media", required=True, help="the native build's media folder")
    parser.add_argument("--frames-tool", required=True, help="vt_web_frames")
    parser.add_argument("--work", required=True, help="a folder for frames and reports")
    parser.add_argument("--times", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "times.txt"))
    parser.add_argument("--fps", type=float, default=1.0)
    parser.add_argument("--missing", action="append",
                        help="a media file's path inside the media folder (again for more)")
    parser.add_argument("--load-timeout", type=float, default=180, help="seconds from opening to ready")
    parser.add_argument("--frame-timeout", type=float, default=1.0, help="seconds allowed a virtual frame")
    parser.add_argument("--end-timeout", type=float, default=30, help="seconds from a key to ready")
    parser.add_argument("--query", default="", help="more of the query string for every page opened")
    parser.add_argument("--only", action="append", choices=["start", "missing", "frames"])
    args = parser.parse_args()
    # Line by line, so a run cut short by ctest's timeout still shows how far it got.
    sys.stdout.reconfigure(line_buffering=True)

    if not find_chromium():
        print("SKIPPED: no chromium here (Debian package chromium)")
        return SKIP
    if not os.path.isfile(os.path.join(args.web, "index.html")):
        print("SKIPPED: no web build in %s (./web.sh builds it)" % args.web)
        return SKIP
    args.times = read_times(args.times)
    args.work = os.path.abspath(args.work)
    os.makedirs(args.work, exist_ok=True)

    try:
        return run_checks(args)
    except (BrowserError, OSError) as e:
        print("the browser could not be driven: %s" % e)
        print("0 passed, 1 failed")
        return 1


def run_checks(args):
    passed, failed = 0, []
    began = time.monotonic()
    with StaticServer(args.web) as server, Browser() as browser:
        args.server = server
        checks = Checks(args, browser.open_page(WIDTH, HEIGHT))
        for name in args.only or ["start", "missing", "frames"]:
            print("%s:" % name)
            t0 = time.monotonic()
            try:
                getattr(checks, name)()
                passed += 1
                print("%s: ok (%.1f s)" % (name, time.monotonic() - t0))
            except (BrowserError, OSError, subprocess.SubprocessError) as e:
                failed.append(name)
                print("%s: FAILED (%.1f s): %s" % (name, time.monotonic() - t0, e))
                for line in browser.log[-20:]:
                    print("    page: " + line)
            del browser.log[:]
    print("%.0f s in all" % (time.monotonic() - began))
    print("%d passed, %d failed" % (passed, len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
