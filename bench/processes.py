"""Started processes, their trees and memory, fresh program folders and a display of our own."""

import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time

TIMEOUT = 60.0


def tree_of(root):
    """The pids of root and all its descendants."""
    children = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        ppid = int(stat[stat.rindex(")") + 2:].split()[1])
        children.setdefault(ppid, []).append(int(name))
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found


def pss_kib(root):
    total = 0
    for pid in tree_of(root):
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
                        break
        except OSError:
            pass
    return total


class Program:
    """One started process; its trace lines are timed as they arrive."""

    def __init__(self, argv, env, cwd, log_path):
        self.traces = {}
        self.changed = threading.Condition()
        self.log = open(log_path, "ab")
        self.spawned = time.monotonic()
        self.proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                     stdout=self.log, stderr=subprocess.PIPE, start_new_session=True)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.proc.stderr:
            when = time.monotonic()
            self.log.write(raw)
            parts = raw.decode(errors="replace").split()
            if len(parts) == 3 and parts[0] == "kovalis-trace":
                with self.changed:
                    self.traces.setdefault(parts[1], when)
                    self.changed.notify_all()

    def wait_trace(self, name, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        with self.changed:
            while name not in self.traces:
                left = deadline - time.monotonic()
                if left <= 0 or self.proc.poll() is not None and name not in self.traces:
                    raise TimeoutError(f"no trace '{name}' (exit {self.proc.poll()})")
                self.changed.wait(min(left, 0.2))
            return self.traces[name]

    def stop(self):
        """Ends the process and everything it started (its own process group)."""
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGTERM)
                self.proc.wait(timeout=10)
            except (subprocess.TimeoutExpired, ProcessLookupError):
                pass
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.proc.wait()
        self.reader.join(timeout=10)
        self.log.close()


class RunFolder:
    """A fresh program folder with a copy of the binary, and a fresh home for the engine."""

    def __init__(self, binary, base_env, platform):
        self.dir = tempfile.mkdtemp(prefix="kovalis-bench-")
        self.argv = []
        self.binary = os.path.join(self.dir, "program", os.path.basename(binary))
        os.makedirs(os.path.dirname(self.binary))
        shutil.copy2(binary, self.binary)
        # The full browser that the small start-up program hands over to.
        browser = os.path.join(os.path.dirname(binary), "kovalis-browser")
        if os.path.exists(browser):
            shutil.copy2(browser, os.path.join(self.dir, "program", "kovalis-browser"))
        home = os.path.join(self.dir, "home")
        os.makedirs(home)
        self.env = dict(base_env, HOME=home, XDG_CONFIG_HOME=f"{home}/.config",
                        XDG_DATA_HOME=f"{home}/.local/share", XDG_CACHE_HOME=f"{home}/.cache",
                        **platform)
        self.log = os.path.join(self.dir, "stderr.log")

    def start(self, *urls):
        return Program([self.binary, *self.argv, *urls], self.env, self.dir, self.log)

    def remove(self, keep_log_to=None):
        if keep_log_to and os.path.exists(self.log):
            with open(self.log, "rb") as src, open(keep_log_to, "ab") as dst:
                dst.write(src.read())
        shutil.rmtree(self.dir, ignore_errors=True)


class ChromiumFolder(RunFolder):
    """Debian's Chromium with a fresh profile of its own; it runs from where it is installed."""

    def __init__(self, binary, base_env, platform):
        self.dir = tempfile.mkdtemp(prefix="kovalis-bench-chromium-")
        self.binary = binary
        home = os.path.join(self.dir, "home")
        os.makedirs(home)
        self.env = dict(base_env, HOME=home, XDG_CONFIG_HOME=f"{home}/.config",
                        XDG_DATA_HOME=f"{home}/.local/share", XDG_CACHE_HOME=f"{home}/.cache",
                        **platform)
        self.log = os.path.join(self.dir, "stderr.log")
        # The same engine switch as the others get; nothing that would ask the user or reach past the
        # machine: every address that is not on the loopback goes to a proxy that is not there.
        self.argv = [f"--user-data-dir={home}/profile", "--no-first-run", "--no-default-browser-check",
                     "--disable-gpu", "--password-store=basic", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--disable-default-apps",
                     "--proxy-server=http://127.0.0.1:9", "--window-size=1024,768"]
        if os.geteuid() == 0:
            self.argv.append("--no-sandbox")


def find_chromium():
    """Debian's Chromium, when it is installed."""
    for path in ("/usr/bin/chromium", "/usr/lib/chromium/chromium"):
        if os.access(path, os.X_OK):
            return path
    return None


def base_environment():
    env = {k: v for k, v in os.environ.items()
           if k.lower() not in ("http_proxy", "https_proxy", "all_proxy", "no_proxy")}
    env["KOVALIS_TRACE"] = "1"
    env["KOVALIS_UNATTENDED"] = "1"
    env["QTWEBENGINE_CHROMIUM_FLAGS"] = "--disable-gpu"
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    return env


def start_xvfb():
    for n in range(90, 200):
        if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                return proc, f":{n}"
            if proc.poll() is not None:
                break
            time.sleep(0.05)
        if proc.poll() is None:
            proc.terminate()
            proc.wait()
    raise RuntimeError("no free display for Xvfb")
