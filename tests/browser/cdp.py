"""A small driver for headless Chromium over its DevTools protocol.

Chromium is started with --remote-debugging-pipe: it reads commands from
file descriptor 3 and writes replies and events to descriptor 4, each message
a JSON text ended by a zero byte. No port, no websocket, no package beyond
the standard library.
"""

import fcntl
import json
import os
import select
import shutil
import subprocess
import tempfile
import time

FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-default-apps",
    "--disable-extensions",
    "--no-first-run",
    "--no-default-browser-check",
    "--mute-audio",
    "--hide-scrollbars",
    "--remote-debugging-pipe",
]

KEYS = {
    "ArrowRight": ("ArrowRight", 39),
    "ArrowLeft": ("ArrowLeft", 37),
    "ArrowUp": ("ArrowUp", 38),
    "ArrowDown": ("ArrowDown", 40),
    "Home": ("Home", 36),
    "End": ("End", 35),
    "PageUp": ("PageUp", 33),
    "PageDown": ("PageDown", 34),
    " ": ("Space", 32),
    "Tab": ("Tab", 9),
    "Enter": ("Enter", 13),
}


def find_chromium():
    """The Chromium binary: $CHROMIUM, else chromium on the PATH, else None."""
    named = os.environ.get("CHROMIUM")
    if named:
        return named if os.access(named, os.X_OK) else None
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


def browser_environment():
    """This process's environment without what a sanitized test build puts
    there for its own libraries: the browser is not instrumented."""
    return {
        k: v
        for k, v in os.environ.items()
        if k not in ("LD_PRELOAD", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS")
    }


class ProtocolError(Exception):
    pass


class Browser:
    """One Chromium process with a fresh profile, ended by close()."""

    def __init__(self, binary=None, timeout=30):
        self.binary = binary or find_chromium()
        if self.binary is None:
            raise FileNotFoundError("no chromium binary")
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix="smtrace-chromium-")
        to_browser_r, to_browser_w = os.pipe()
        from_browser_r, from_browser_w = os.pipe()
        # Out of the way of 3 and 4, which the child needs for the pipes.
        child_in = fcntl.fcntl(to_browser_r, fcntl.F_DUPFD, 20)
        child_out = fcntl.fcntl(from_browser_w, fcntl.F_DUPFD, 20)
        os.close(to_browser_r)
        os.close(from_browser_w)

        def pipes():
            os.dup2(child_in, 3)
            os.dup2(child_out, 4)

        self.process = subprocess.Popen(
            [self.binary, *FLAGS, "--user-data-dir=" + self.profile, "about:blank"],
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
            pass_fds=(3, 4),
            preexec_fn=pipes,
            env=browser_environment(),
        )
        os.close(child_in)
        os.close(child_out)
        self.write_fd = to_browser_w
        self.read_fd = from_browser_r
        self.buffer = b""
        self.next_id = 1
        self.events = []
        self.send("Target.setDiscoverTargets", {"discover": False})

    def close(self):
        try:
            self.send("Browser.close", timeout=5)
        except (ProtocolError, OSError, TimeoutError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        for fd in (self.write_fd, self.read_fd):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read_message(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no message from chromium")
            ready, _, _ = select.select([self.read_fd], [], [], left)
            if not ready:
                continue
            chunk = os.read(self.read_fd, 1 << 20)
            if not chunk:
                raise ProtocolError("chromium closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=None, timeout=None):
        ident = self.next_id
        self.next_id += 1
        message = {"id": ident, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self.write_fd, data):]
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            reply = self._read_message(deadline)
            if reply.get("id") == ident:
                if "error" in reply:
                    raise ProtocolError(f"{method}: {reply['error']}")
                return reply.get("result", {})
            if "method" in reply:
                self.events.append(reply)

    def wait_for(self, predicate, timeout=None):
        """The first event (kept or new) for which predicate holds; it is taken out."""
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            for k, event in enumerate(self.events):
                if predicate(event):
                    return self.events.pop(k)
            self.events.append(self._read_message(deadline))

    def page(self, width=1366, height=768, mobile=False, scale=1):
        return Page(self, width, height, mobile, scale)


class Page:
    """A tab: navigation, script, keys, clicks and screenshots, with every
    console error, exception and network request it saw."""

    def __init__(self, browser, width, height, mobile, scale):
        self.browser = browser
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.target = target
        self.session = browser.send("Target.attachToTarget", {"targetId": target, "flatten": True})[
            "sessionId"
        ]
        for domain in ("Page", "Runtime", "Network", "Log"):
            self.send(domain + ".enable")
        self.resize(width, height, mobile, scale)

    def send(self, method, params=None, timeout=None):
        return self.browser.send(method, params, self.session, timeout)

    def resize(self, width, height, mobile=False, scale=1):
        self.send(
            "Emulation.setDeviceMetricsOverride",
            {"width": width, "height": height, "deviceScaleFactor": scale, "mobile": mobile},
        )

    def _mine(self, event):
        return event.get("sessionId") == self.session

    def navigate(self, url, timeout=None):
        """Loads url afresh (through about:blank, so that a fragment change
        is a new load too) and waits for its load event."""
        for target in ("about:blank", url):
            self.browser.events = [e for e in self.browser.events if not self._is_load(e)]
            self.send("Page.navigate", {"url": target})
            self.browser.wait_for(self._is_load, timeout)

    def _is_load(self, event):
        return self._mine(event) and event.get("method") == "Page.loadEventFired"

    def evaluate(self, expression, timeout=None):
        result = self.send(
            "Runtime.evaluate",
            {"expression": expression, "returnByValue": True, "awaitPromise": True},
            timeout,
        )
        if "exceptionDetails" in result:
            raise ProtocolError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def key(self, name):
        key, code = KEYS[name]
        base = {"key": name, "code": key, "windowsVirtualKeyCode": code, "nativeVirtualKeyCode": code}
        down = dict(base, type="keyDown")
        if name == " ":
            down["text"] = " "
        self.send("Input.dispatchKeyEvent", down)
        self.send("Input.dispatchKeyEvent", dict(base, type="keyUp"))

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.send(
                "Input.dispatchMouseEvent",
                {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1},
            )

    def screenshot(self, path):
        import base64

        shot = self.send("Page.captureScreenshot", {"format": "png"})
        with open(path, "wb") as out:
            out.write(base64.b64decode(shot["data"]))

    def problems(self):
        """Console errors and warnings, uncaught exceptions and log errors so far."""
        found = []
        for event in self.browser.events:
            if not self._mine(event):
                continue
            method = event.get("method")
            params = event.get("params", {})
            if method == "Runtime.exceptionThrown":
                found.append(("exception", json.dumps(params.get("exceptionDetails"))[:500]))
            elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "warning", "assert"):
                found.append(("console", json.dumps(params.get("args"))[:500]))
            elif method == "Log.entryAdded" and params.get("entry", {}).get("level") in ("error", "warning"):
                found.append(("log", params["entry"].get("text", "")[:500]))
        return found

    def requests(self):
        """The URL of every request the page started."""
        return [
            e["params"]["request"]["url"]
            for e in self.browser.events
            if self._mine(e) and e.get("method") == "Network.requestWillBeSent"
        ]

    def forget(self):
        """Drops the events seen so far."""
        self.browser.events = [e for e in self.browser.events if not self._mine(e)]

    def close(self):
        self.browser.send("Target.closeTarget", {"targetId": self.target})
