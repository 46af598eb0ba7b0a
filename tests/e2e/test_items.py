"""Items against the real server: chest, bag, gear, eating and chopping, with screenshots of each window."""
import re
import time
import unittest

import harness
import screens_support as ss

MENU = re.compile(r"Context menu \[(\w+)\[(\d+)\]\]")


def probe(s, kind, near, reach=75, held=()):
    """Right-clicks around `near` (with the keys `held`) until the menu of a `kind` opens; its id."""
    span = range(-reach, reach + 1, 15)
    for x, y in sorted(((near[0] + dx, near[1] + dy) for dx in span for dy in span),
                       key=lambda p: (p[0] - near[0]) ** 2 + (p[1] - near[1]) ** 2):
        n = len(MENU.findall(s.client.stdout()))
        s.xdotool("mousemove", "--sync", str(x), str(y))
        time.sleep(0.3)
        s.xdotool(*[a for k in held for a in ("keydown", k)], "click", "3", *[a for k in held for a in ("keyup", k)])
        if s.client.wait_for(lambda o: len(MENU.findall(o)) > n, 2):
            found = MENU.findall(s.client.stdout())[-1]
            if found[0] == kind:
                return int(found[1])
    raise AssertionError(f"no {kind} near {near}")


def wait_slots(s, predicate, timeout=90):
    """Every item slot on screen, once `predicate` holds of them: key -> [window, rectangle, holds an item]."""
    deadline = time.time() + timeout
    while True:
        ss.ui_elements(s)
        out = s.client.stdout()
        found, path = {}, []
        for line in out[out.rfind("UI dump at frame"):].splitlines():
            m = ss.DUMP_LINE.match(line)
            if m:
                name, key = m.group(2).strip(), int(m.group(1))
                path = path[:(len(line) - len(line.lstrip(" "))) // 4] + [(name, key)]
                if name == "item-slot":
                    window = next((n for n, _ in path if n.startswith("dialog{") or n == "inventory"), "")
                    found[key] = [window, tuple(int(m.group(i)) for i in range(3, 7)), False]
                elif name == "item-icon" and len(path) > 1 and path[-2][0] == "item-slot":
                    found[path[-2][1]][2] = True
        if predicate(found):
            return found
        if time.time() > deadline:
            raise AssertionError(f"slots never as expected: {found}")
        time.sleep(1)


def in_bag(found):
    return {k for k, (w, _, full) in found.items() if w == "inventory" and full}


def press_slot(s, rect, button="1", held=()):
    s.focus()
    s.xdotool("mousemove", "--sync", str(rect[0] + rect[2] // 2), str(rect[1] + rect[3] // 2))
    time.sleep(0.5)
    s.xdotool(*[a for k in held for a in ("keydown", k)], "mousedown", button)
    time.sleep(1.5)
    s.xdotool("mouseup", button, *[a for k in held for a in ("keyup", k)])
    time.sleep(0.5)


def choose(s, label):
    names = " ".join(ss.ui_elements(s))
    s.key(re.search(r"button\{(\d)\. " + label + "}", names).group(1))


class Items(unittest.TestCase):
    def test_chest_bag_gear_chop_and_eat(self):
        with harness.Session("items") as s:
            _, srv, client = ss.start(s, 150, login="items@example.org", auto_login=1, dev=True)
            assert ss.wait_screen(client, "Lobby", 240), client.stdout()
            s.type_text("Tamsin")
            s.key("Return")
            assert ss.wait_screen(client, "World", 240), client.stdout()
            time.sleep(3)
            # The camp lies around the spawn point: its chest three tiles east and two north.
            chest = probe(s, "wooden_chest", (830, 270))
            choose(s, "Open")
            found = wait_slots(s, lambda f: any(w == "dialog{container}" for w, _, _ in f.values()))
            s.screenshot("chest-and-bag")
            bag_before = in_bag(found)
            for slot in (0, 2):  # the axe, then a berry
                press_slot(s, found[(chest << 32) + slot][1], held=("ctrl",))
            found = wait_slots(s, lambda f: len(in_bag(f)) == len(bag_before) + 2)
            axe_slot, berry_slot = sorted(in_bag(found) - bag_before)
            self.assertFalse(found[(chest << 32)][2])
            press_slot(s, found[axe_slot][1], button="3")
            choose(s, "Equip")
            s.key("i")
            found = wait_slots(s, lambda f: any(w == "dialog{gear}" and k & 0xFFFFFFFF == 2 and full
                                                 for k, (w, _, full) in f.items()))
            s.screenshot("gear")
            press_slot(s, found[berry_slot][1], button="3", held=("shift",))
            wait_slots(s, lambda f: not f[berry_slot][2])

            # A tree five tiles east and three south; every blow takes a branch into the bag.
            probe(s, "pine_tree", (980, 510))
            choose(s, "Chop")
            found = wait_slots(s, lambda f: len(in_bag(f)) > len(bag_before))
            s.screenshot("chopped")

            # Examining oneself (Shift lets the mouse pick one's own character) shows one's gear, read only.
            probe(s, "Tamsin", (640, 320), reach=60, held=("shift",))
            choose(s, "Examine")
            ss.wait_ui(s, lambda u: "dialog{entity-info}" in u, 30)
            s.screenshot("entity-info")


if __name__ == "__main__":
    harness.main()
