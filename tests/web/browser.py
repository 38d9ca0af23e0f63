"""Headless Chromium driven through its DevTools protocol over a pipe, and a static server on
127.0.0.1: what the web tests need, from the standard library alone."""
import base64
import functools
import http.server
import json
import os
import queue
import shutil
import signal
import subprocess
import tempfile
import threading
import time

DEADLINE = 120.0  # seconds for anything a test waits for: a loaded 2-core machine is slow

CHROMIUM_FLAGS = [
    "--headless=new",
    "--remote-debugging-pipe",
    # WebGL 2 with S3TC on the CPU.
    "--use-angle=swiftshader",
    "--enable-unsafe-swiftshader",
    # No calls out of this machine, no first-run pages.
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-quic",
    "--mute-audio",
]


class Server:
    """Serves a folder on 127.0.0.1 at a free port until closed."""

    def __init__(self, folder):
        handler = functools.partial(Quiet, directory=folder)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}/"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class Quiet(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm"}

    def log_message(self, *args):
        pass


class Browser:
    """One headless Chromium in a process group of its own, with one page attached. Console
    messages, uncaught exceptions and browser log entries are collected in `console` as
    (level, text) pairs, level being "log", "warning" or "error"; uncaught exceptions also in
    `uncaught`."""

    def __init__(self, *flags):
        self.profile = tempfile.mkdtemp(prefix="kestrine-chromium-")
        to_browser, self.commands = os.pipe()
        self.replies, from_browser = os.pipe()
        argv = ["chromium", *CHROMIUM_FLAGS, *flags, f"--user-data-dir={self.profile}"]
        if os.geteuid() == 0:
            argv.append("--no-sandbox")  # Chromium refuses its sandbox to root

        def pipes():  # the protocol's pipe is fds 3 (in) and 4 (out) of the browser
            os.dup2(to_browser, 3)
            os.dup2(from_browser, 4)

        self.process = subprocess.Popen(argv + ["about:blank"], preexec_fn=pipes,
                                        pass_fds=(to_browser, from_browser, 3, 4),
                                        start_new_session=True, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser)
        os.close(from_browser)
        self.next_id = 0
        self.answers = {}
        self.answered = threading.Condition()
        self.events = queue.Queue()
        self.console = []
        self.uncaught = []
        threading.Thread(target=self._read, daemon=True).start()
        try:
            target = next(t["targetId"] for t in self.call("Target.getTargets")["targetInfos"]
                          if t["type"] == "page")
            self.session = self.call("Target.attachToTarget", targetId=target,
                                     flatten=True)["sessionId"]
            for domain in ("Page", "Runtime", "Log"):
                self.call(f"{domain}.enable", session=self.session)
        except BaseException:
            self.close()
            raise

    def _read(self):
        pending = b""
        with os.fdopen(self.replies, "rb", buffering=0) as f:
            while chunk := f.read(1 << 16):
                pending += chunk
                *messages, pending = pending.split(b"\0")
                for m in messages:
                    self._take(json.loads(m))
        with self.answered:
            self.answers[None] = "the browser closed its pipe"
            self.answered.notify_all()

    def _take(self, m):
        if "id" in m:
            with self.answered:
                self.answers[m["id"]] = m
                self.answered.notify_all()
            return
        method, p = m.get("method"), m.get("params", {})
        if method == "Runtime.consoleAPICalled":
            level = {"warning": "warning", "error": "error", "assert": "error"}.get(p["type"],
                                                                                   "log")
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in p["args"])
            self.console.append((level, text))
        elif method == "Runtime.exceptionThrown":
            d = p["exceptionDetails"]
            text = d.get("exception", {}).get("description", d["text"])
            self.console.append(("error", text))
            self.uncaught.append(text)
        elif method == "Log.entryAdded":
            e = p["entry"]
            text = e["text"] + (f" ({e['url']})" if e.get("url") else "")
            self.console.append(({"verbose": "log", "info": "log"}.get(e["level"], e["level"]),
                                 text))
        self.events.put(m)

    def call(self, method, session=None, **params):
        """Sends a command and returns its result; raises with the browser's error."""
        return self._answer(method, self._send(method, session, params))

    def _send(self, method, session, params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        return self.next_id

    def _answer(self, method, key):
        end = time.monotonic() + DEADLINE
        with self.answered:
            while key not in self.answers:
                if None in self.answers:
                    raise RuntimeError(f"{method}: {self.answers[None]}")
                if not self.answered.wait(end - time.monotonic()):
                    raise TimeoutError(f"{method}: no answer in {DEADLINE} s")
            answer = self.answers.pop(key)
        if "error" in answer:
            raise RuntimeError(f"{method}: {answer['error']}")
        return answer["result"]

    def page_at_once(self, *commands):
        """Page commands, (method, params) pairs, sent back to back before any answer is
        awaited: input that must arrive close together however slow the answers are."""
        keys = [(m, self._send(m, self.session, p)) for m, p in commands]
        return [self._answer(m, key) for m, key in keys]

    def page(self, method, **params):
        return self.call(method, session=self.session, **params)

    def evaluate(self, expression, gesture=False):
        """The value of a JavaScript expression in the page; promises are awaited."""
        r = self.page("Runtime.evaluate", expression=expression, returnByValue=True,
                      awaitPromise=True, userGesture=gesture)
        if "exceptionDetails" in r:
            raise RuntimeError(f"{expression}: {r['exceptionDetails']}")
        return r["result"].get("value")

    def open(self, url, width, height):
        """Loads url in a viewport of width x height CSS pixels at one device pixel each."""
        self.page("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=1, mobile=False)
        self.page("Page.navigate", url=url)

    def wait_for(self, expression, what):
        """Polls a JavaScript expression until it is truthy; returns its value."""
        end = time.monotonic() + DEADLINE
        while time.monotonic() < end:
            try:
                value = self.evaluate(expression)
            except RuntimeError:  # the page is between documents
                value = None
            if value:
                return value
            time.sleep(0.05)
        raise TimeoutError(f"no {what} within {DEADLINE} s; console: {self.console[-20:]}")

    def press(self, key):
        """A key pressed and released, as typed: key is a letter."""
        self.page("Input.dispatchKeyEvent", type="keyDown", key=key, text=key,
                  code=f"Key{key.upper()}", windowsVirtualKeyCode=ord(key.upper()))
        self.page("Input.dispatchKeyEvent", type="keyUp", key=key, code=f"Key{key.upper()}",
                  windowsVirtualKeyCode=ord(key.upper()))

    def double_click(self, x, y):
        for count in (1, 2):
            for kind in ("mousePressed", "mouseReleased"):
                self.page("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left",
                          clickCount=count)

    def set_files(self, selector, paths):
        """Gives a file input paths, as a person choosing them would; a folder for a folder
        input."""
        self.page("DOM.enable")
        target = self.page("Runtime.evaluate", expression=f"document.querySelector('{selector}')")
        self.page("DOM.setFileInputFiles", files=[str(p) for p in paths],
                  objectId=target["result"]["objectId"])

    def drop(self, paths, x, y):
        """Drags files or folders from outside the browser and drops them at (x, y)."""
        data = {"items": [], "files": [str(p) for p in paths], "dragOperationsMask": 1}
        for kind in ("dragEnter", "dragOver", "drop"):
            self.page("Input.dispatchDragEvent", type=kind, x=x, y=y, data=data)

    def screenshot(self, path):
        """What the page shows, as a PNG."""
        with open(path, "wb") as f:
            f.write(base64.b64decode(self.page("Page.captureScreenshot", format="png")["data"]))

    def canvas_rgb(self):
        """The canvas's pixels, RGB, top row first, with its width and height."""
        data = self.evaluate("""(() => {
            const c = document.getElementById("canvas");
            const copy = document.createElement("canvas");
            copy.width = c.width; copy.height = c.height;
            const g = copy.getContext("2d");
            g.drawImage(c, 0, 0);
            const px = g.getImageData(0, 0, c.width, c.height).data;
            let s = "";
            for (let i = 0; i < px.length; i += 4)
                s += String.fromCharCode(px[i], px[i + 1], px[i + 2]);
            return [c.width, c.height, btoa(s)];
        })()""")
        return data[0], data[1], base64.b64decode(data[2])

    def close(self):
        if self.commands < 0:
            return
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()
        os.close(self.commands)
        self.commands = -1
        shutil.rmtree(self.profile, ignore_errors=True)
