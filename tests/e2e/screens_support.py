"""Helpers of the screen tests: a server and a client on one display, and clicks on named UI elements.

The client prints its UI tree with every element's rectangle when F12 is pressed; the tests read the
rectangles from there instead of guessing pixel positions.
"""
import os
import re
import time

import harness

DUMP_LINE = re.compile(r"^\s*- \((-?\d+)\)\s+(.*?) \[(-?\d+),(-?\d+) (\d+)x(\d+)\]")


def config_text(address, login="", auto_login=0, extra=""):
    return (f"server_name = {address}\nlogin = {login}\nauto_login = {auto_login}\n"
            f"server_timeout_ms = 10000\nmusic_gain = 0.5\nsound_gain = 0.5\n{extra}")


def start(s, base, login="", auto_login=0, dev=False, server=True, config_in_cwd=False, extra=""):
    """A server on a free loopback address of its own and a client configured for it."""
    address = harness.free_loopback(base)
    srv = None
    if server:
        srv = start_server(s, address, dev)
    text = config_text(address, login, auto_login, extra)
    if config_in_cwd:
        client = start_client_in_workdir(s, text)
    else:
        client = s.start_client(s.write_config(text))
    return address, srv, client


def start_server(s, address, dev=False):
    extra = ["--hash-cost", "low", "--session-timeout", "120000"] + (["--dev"] if dev else [])
    srv = s.start_server(address, extra)
    assert srv.wait_for_output("listening on", 30), srv.stdout() + srv.stderr()
    return srv


def start_client_in_workdir(s, config_text_):
    """The client run from a folder of its own with a plain "config.ini", the one file it writes back."""
    with open(os.path.join(s.workdir, "config.ini"), "w") as f:
        f.write(config_text_)
    for name in ("src", "assets"):
        link = os.path.join(s.workdir, name)
        if not os.path.exists(link):
            os.symlink(os.path.join(harness.source_dir(), name), link)
    return s.start_client(None, cwd=s.workdir)


def wait_screen(client, to, timeout=60):
    return client.wait_for_output(f"to screen [{to}]", timeout)


def ui_elements(s, timeout=20):
    """The rectangles of the UI tree the client draws now, by element name (all of each name, in order)."""
    before = s.client.stdout().count("UI dump at frame")
    s.key("F12")
    deadline = time.time() + timeout
    while time.time() < deadline:
        out = s.client.stdout()
        if out.count("UI dump at frame") > before and out.rfind("-" * 40) > out.rfind("UI dump at frame"):
            break
        time.sleep(0.1)
    out = s.client.stdout()
    start_at = out.rfind("UI dump at frame")
    end_at = out.find("-" * 40, start_at)
    elements = {}
    for line in out[start_at:end_at].splitlines():
        m = DUMP_LINE.match(line)
        if m:
            name = m.group(2).strip()
            x, y, w, h = (int(m.group(i)) for i in range(3, 7))
            elements.setdefault(name, []).append((x, y, w, h))
    return elements


def wait_ui(s, predicate, timeout=60):
    """The UI tree's element names, once `predicate` holds of them: a key's effect can miss the next dump."""
    end = time.time() + timeout
    while True:
        ui = ui_elements(s)
        if predicate(ui):
            return ui
        if time.time() > end:
            raise AssertionError(f"the windows never showed it: {sorted(ui)}")
        time.sleep(0.5)


def press(s, x, y, hold=2.5):
    """A click held long enough for a slow software-rendered frame to see the button down."""
    s.focus()
    s.xdotool("mousemove", "--sync", str(x), str(y))
    time.sleep(0.3)
    s.xdotool("mousedown", "1")
    time.sleep(hold)
    s.xdotool("mouseup", "1")
    time.sleep(0.3)


def click_element(s, name, index=0, timeout=20):
    """Clicks the middle of the named element; waits until it is laid out."""
    deadline = time.time() + timeout
    while True:
        found = ui_elements(s).get(name, [])
        if len(found) > index and found[index][2] > 0:
            x, y, w, h = found[index]
            press(s, x + w // 2, y + h // 2)
            return True
        if time.time() > deadline:
            raise AssertionError(f"no element {name!r} on screen")
        time.sleep(0.3)
