"""Headless Chromium on a local static server, driven over the DevTools
protocol through a pipe (--remote-debugging-pipe), so nothing beyond Debian's
chromium and Python's standard library is needed.

    with StaticServer(folder) as server, Browser() as browser:
        page = browser.open_page(1024, 768)
        page.navigate(server.url("index.html?at=80"))
        page.wait_state({"held"}, timeout=120)
"""

import base64
import fcntl
import functools
import http.server
import json
import os
import select
import shutil
import subprocess
import tempfile
import threading
import time


class BrowserError(Exception):
    pass


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    # The data package and the module must reach the page with the types a
    # browser insists on for streaming compilation.
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".js": "text/javascript",
        ".data": "application/octet-stream",
    }

    def log_message(self, *args):
        pass

    def copyfile(self, source, outputfile):
        # Counted, so a run can say how much the page downloads.
        start = source.tell()
        super().copyfile(source, outputfile)
        with self.server.lock:
            self.server.served[self.path.split("?")[0]] = source.tell() - start


class StaticServer:
    """A static file server for `folder` on a free port of 127.0.0.1."""

    def __init__(self, folder):
        handler = functools.partial(_QuietHandler, directory=str(folder))
        self._httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self._httpd.served = {}  # path -> bytes sent the last time it was asked for
        self._httpd.lock = threading.Lock()
        self._thread = threading.Thread(target=self._httpd.serve_forever, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._httpd.shutdown()
        self._httpd.server_close()

    @property
    def port(self):
        return self._httpd.server_address[1]

    def served(self):
        with self._httpd.lock:
            return dict(self._httpd.served)

    def url(self, path):
        return "http://127.0.0.1:%d/%s" % (self.port, path)


def find_chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


def _fd_above(fd, lowest):
    moved = fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, lowest)
    os.close(fd)
    return moved


class Browser:
    """One headless Chromium process; messages go through fds 3 (to it) and
    4 (from it), each a JSON object ended by a NUL byte."""

    def __init__(self, chromium=None, extra_args=()):
        self._chromium = chromium or find_chromium()
        if not self._chromium:
            raise BrowserError("no chromium on PATH")
        self._extra = list(extra_args)
        self._next_id = 0
        self._buffer = b""
        self._events = []
        self.log = []  # console lines and exceptions, for failure reports

    def __enter__(self):
        self._profile = tempfile.mkdtemp(prefix="vt-chromium-")
        to_child_r, self._to_child = os.pipe()
        self._from_child, from_child_w = os.pipe()
        # The child's ends above 4, so that putting them on 3 and 4 moves
        # neither over the other.
        to_child_r, from_child_w = (_fd_above(fd, 10) for fd in (to_child_r, from_child_w))

        # bash puts the pipe's ends on fds 3 and 4 (a preexec_fn could
        # deadlock with the server's thread running).
        wire = 'exec "$@" 3<&%d 4>&%d %d<&- %d>&-' % (to_child_r, from_child_w, to_child_r, from_child_w)
        args = [
            "/bin/bash", "-c", wire, "bash",
            self._chromium,
            "--headless=new",
            "--use-angle=swiftshader",
            "--enable-unsafe-swiftshader",
            "--remote-debugging-pipe",
            "--user-data-dir=" + self._profile,
            "--no-first-run",
            "--no-default-browser-check",
            "--disable-gpu-sandbox",
            "--disable-extensions",
            "--disable-background-networking",
            "--disable-component-update",
            "--mute-audio",
            "--hide-scrollbars",
            "--window-size=1024,768",
        ]
        if os.geteuid() == 0:
            args.append("--no-sandbox")  # Chromium refuses to run its sandbox as root
        args += self._extra + ["about:blank"]
        self._stderr = open(os.path.join(self._profile, "stderr.log"), "wb")
        self._proc = subprocess.Popen(args, pass_fds=(to_child_r, from_child_w), stdin=subprocess.DEVNULL,
                                      stdout=self._stderr, stderr=self._stderr)
        os.close(to_child_r)
        os.close(from_child_w)
        try:
            self.call("Browser.getVersion", timeout=60)
        except Exception:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        try:
            self._send("Browser.close", {})
            self._proc.wait(timeout=10)
        except Exception:
            pass
        if self._proc.poll() is None:
            self._proc.kill()
            self._proc.wait()
        for fd in (self._to_child, self._from_child):
            try:
                os.close(fd)
            except OSError:
                pass
        self._stderr.close()
        shutil.rmtree(self._profile, ignore_errors=True)

    def stderr_tail(self, lines=20):
        try:
            with open(os.path.join(self._profile, "stderr.log"), errors="replace") as f:
                return "".join(f.readlines()[-lines:])
        except OSError:
            return ""

    def _send(self, method, params, session=None):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self._to_child, data):]
        return self._next_id

    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self._from_child], [], [], left)
            if not ready:
                return None
            chunk = os.read(self._from_child, 1 << 20)
            if not chunk:
                raise BrowserError("chromium closed its pipe; its stderr ends:\n" + self.stderr_tail())
            self._buffer += chunk
        raw, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(raw)

    def _note_event(self, message):
        method = message.get("method", "")
        params = message.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params.get("args", []))
            self.log.append("console.%s: %s" % (params.get("type"), text))
        elif method == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            exception = details.get("exception", {})
            self.log.append("exception: %s" % exception.get("description", details.get("text")))
        self._events.append(message)
        del self._events[:-200]

    def call(self, method, params=None, session=None, timeout=30):
        wanted = self._send(method, params or {}, session)
        deadline = time.monotonic() + timeout
        while True:
            message = self._read_message(deadline)
            if message is None:
                raise BrowserError("no answer to %s within %g s" % (method, timeout))
            if message.get("id") == wanted:
                if "error" in message:
                    raise BrowserError("%s: %s" % (method, message["error"].get("message")))
                return message.get("result", {})
            if "method" in message:
                self._note_event(message)

    def pump(self, seconds):
        """Reads events for a while (console output lands in self.log)."""
        deadline = time.monotonic() + seconds
        while True:
            message = self._read_message(deadline)
            if message is None:
                return
            if "method" in message:
                self._note_event(message)

    def open_page(self, width, height):
        targets = self.call("Target.getTargets")["targetInfos"]
        pages = [t for t in targets if t.get("type") == "page"]
        target = pages[0]["targetId"] if pages else self.call(
            "Target.createTarget", {"url": "about:blank"})["targetId"]
        session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        return Page(self, session, width, height)


class Page:
    def __init__(self, browser, session, width, height):
        self.browser = browser
        self.session = session
        self.call("Page.enable")
        self.call("Runtime.enable")
        # One CSS pixel a device pixel, so the canvas is captured as drawn.
        self.set_viewport(width, height)

    def set_viewport(self, width, height, pixel_ratio=1):
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": pixel_ratio, "mobile": False})

    def call(self, method, params=None, timeout=30):
        return self.browser.call(method, params, self.session, timeout)

    def navigate(self, url):
        result = self.call("Page.navigate", {"url": url})
        if result.get("errorText"):
            raise BrowserError("cannot open %s: %s" % (url, result["errorText"]))

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in result:
            raise BrowserError("%s: %s" % (expression, result["exceptionDetails"].get("text")))
        return result.get("result", {}).get("value")

    def state(self):
        return self.evaluate("document.body ? (document.body.dataset.state || '') : ''")

    def wait_state(self, wanted, timeout, poll=0.05):
        """Waits until the page's state is one of `wanted`; returns it, with
        the page's own clock (ms since navigation) when it was seen. An
        `error` state not asked for ends the wait at once."""
        deadline = time.monotonic() + timeout
        seen = ""
        while True:
            seen, clock = self.evaluate(
                "[document.body ? (document.body.dataset.state || '') : '', performance.now()]") or ("", 0)
            if seen in wanted:
                return seen, clock
            if seen == "error":
                raise BrowserError("the page shows an error: %r" % self.message_text())
            if time.monotonic() > deadline:
                raise BrowserError("state %r, not %s, after %g s" % (seen, "/".join(sorted(wanted)), timeout))
            self.browser.pump(poll)

    def message_text(self):
        return self.evaluate("(document.getElementById('message') || {}).textContent")

    def box(self, selector):
        """The element's box in CSS pixels, or None when it is not shown."""
        return self.evaluate(
            "(() => { const e = document.querySelector(%s); if (!e) return null;"
            " const r = e.getBoundingClientRect(), s = getComputedStyle(e);"
            " if (s.display === 'none' || s.visibility === 'hidden' || r.width === 0 || r.height === 0)"
            " return null; return {x: r.x, y: r.y, width: r.width, height: r.height}; })()"
            % json.dumps(selector))

    def click(self, selector):
        box = self.box(selector)
        if box is None:
            raise BrowserError("%s is not shown" % selector)
        x, y = box["x"] + box["width"] / 2, box["y"] + box["height"] / 2
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent",
                      {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})

    def _key(self, kind, key, code, key_code, modifiers):
        self.call("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": code, "modifiers": modifiers,
                                             "windowsVirtualKeyCode": key_code,
                                             "nativeVirtualKeyCode": key_code})

    def press(self, key, code, key_code, alt=False):
        """A real key press and release, as the keyboard would send them,
        with Alt held around it when asked."""
        modifiers = 1 if alt else 0
        if alt:
            self._key("rawKeyDown", "Alt", "AltLeft", 18, modifiers)
        self._key("rawKeyDown", key, code, key_code, modifiers)
        self._key("keyUp", key, code, key_code, modifiers)
        if alt:
            self._key("keyUp", "Alt", "AltLeft", 18, 0)

    def screenshot(self, box, path):
        """The page's pixels inside `box` (CSS pixels, one to one) as a PNG."""
        clip = {"x": box["x"], "y": box["y"], "width": box["width"], "height": box["height"], "scale": 1}
        data = self.call("Page.captureScreenshot", {"format": "png", "clip": clip, "fromSurface": True},
                         timeout=60)["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))
