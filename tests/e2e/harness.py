"""End-to-end driver: a virtual X display, the real client and server, xdotool input and screenshots.

Everything a Session starts is stopped when it closes, also when a test fails.
"""
import argparse
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    args, rest = parser.parse_known_args()
    return args, rest


ARGS = None


def build_dir():
    return ARGS.build_dir


def source_dir():
    return ARGS.source_dir


def artifacts_dir():
    path = os.path.join(build_dir(), "test-artifacts")
    os.makedirs(path, exist_ok=True)
    return path


class Display:
    """An Xvfb server on a display number it picks itself."""

    def __init__(self, width=1280, height=720):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        deadline = time.time() + 20
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        if not number.strip():
            self.proc.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        env["LIBGL_ALWAYS_SOFTWARE"] = "1"
        env.setdefault("SDL_AUDIODRIVER", "dummy")
        return env

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Process:
    """A program whose output goes to files that tests can search while it runs."""

    def __init__(self, args, env, cwd, name, workdir):
        self.name = name
        self.out_path = os.path.join(workdir, name + ".out")
        self.err_path = os.path.join(workdir, name + ".err")
        self.out = open(self.out_path, "wb")
        self.err = open(self.err_path, "wb")
        self.proc = subprocess.Popen(args, env=env, cwd=cwd, stdout=self.out, stderr=self.err,
                                     stdin=subprocess.DEVNULL)

    def stdout(self):
        with open(self.out_path, "rb") as f:
            return f.read().decode(errors="replace")

    def stderr(self):
        with open(self.err_path, "rb") as f:
            return f.read().decode(errors="replace")

    def wait_for_output(self, text, timeout=60):
        return self.wait_for(lambda out: text in out, timeout)

    def wait_for(self, predicate, timeout=60):
        """Waits until predicate(stdout) holds, or the program has ended."""
        deadline = time.time() + timeout
        while time.time() < deadline and self.proc.poll() is None:
            if predicate(self.stdout()):
                return True
            time.sleep(0.1)
        return predicate(self.stdout())

    def wait(self, timeout=60):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.out.close()
        self.err.close()


class Session:
    """One display, and the client and servers started on it; use it as a context manager."""

    def __init__(self, name):
        self.name = name
        self.workdir = tempfile.mkdtemp(prefix=f"valmire_e2e_{name}_")
        self.display = None
        self.processes = []
        self.client = None

    def __enter__(self):
        self.display = Display()
        return self

    def __exit__(self, *exc):
        for p in reversed(self.processes):
            p.stop()
        if self.display:
            self.display.close()
        if exc[0] is not None:
            for p in self.processes:
                sys.stderr.write(f"--- {p.name} stdout ---\n{p.stdout()[-4000:]}\n")
                sys.stderr.write(f"--- {p.name} stderr ---\n{p.stderr()[-4000:]}\n")
        return False

    def write_config(self, text, name="config.ini"):
        path = os.path.join(self.workdir, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def start_server(self, address, extra=()):
        exe = os.path.join(build_dir(), "valmire-server")
        db = os.path.join(self.workdir, "server.db")
        p = Process([exe, "--bind", address, "--db", db, *extra], self.display.env(), self.workdir,
                    f"server-{address}", self.workdir)
        self.processes.append(p)
        return p

    def start_client(self, config_path=None, env_extra=None, cwd=None):
        env = self.display.env()
        env.pop("CONFIG_PATH", None)
        if config_path:
            env["CONFIG_PATH"] = config_path
        if env_extra:
            env.update(env_extra)
        exe = os.path.join(build_dir(), "valmire")
        p = Process([exe], env, cwd or source_dir(), "client", self.workdir)
        self.processes.append(p)
        self.client = p
        return p

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.display.env(), capture_output=True, text=True,
                              timeout=30)

    def window(self, timeout=120):
        deadline = time.time() + timeout
        while time.time() < deadline:
            r = self.xdotool("search", "--name", "Valmire 2")
            ids = r.stdout.split()
            if ids:
                return ids[0]
            time.sleep(0.2)
        raise AssertionError("the client window did not appear")

    def focus(self):
        wid = self.window()
        self.xdotool("windowfocus", "--sync", wid)
        return wid

    def key(self, *keys):
        self.focus()
        self.xdotool("key", "--delay", "60", *keys)

    def type_text(self, text):
        self.focus()
        self.xdotool("type", "--delay", "60", text)

    def click(self, x, y, button=1):
        self.focus()
        self.xdotool("mousemove", "--sync", str(x), str(y))
        time.sleep(0.1)
        self.xdotool("click", str(button))

    def screenshot(self, label):
        path = os.path.join(artifacts_dir(), f"{self.name}-{label}.png")
        subprocess.run(["import", "-window", "root", path], env=self.display.env(), capture_output=True,
                       timeout=60)
        return path


def free_loopback(base):
    """A loopback address whose UDP port 4242 is free, starting at 127.0.0.<base>."""
    for last in range(base, 250):
        address = f"127.0.0.{last}"
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            s.bind((address, 4242))
            return address
        except OSError:
            continue
        finally:
            s.close()
    raise RuntimeError("no free loopback address")


def main():
    global ARGS
    ARGS, rest = parse_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
