"""Playing in the world against the real server; each gesture is checked by the request it made the
client log (debug_log = 2) or the line it printed, and screenshots are kept."""
import time
import unittest

import harness
import screens_support as ss
from test_items import choose, press_slot, probe, wait_slots

CX, CY = 640, 360  # the camera looks at the player's feet
AROUND = ((230, 130), (-250, 150), (260, -60), (-300, -20), (120, 250), (-120, -200), (400, 40), (-420, 220))


def sent(client, request):
    return (client.stdout() + client.stderr()).count(f"Sending Request({request})")


def wait_sent(client, request, n, timeout=40):
    end = time.time() + timeout
    while sent(client, request) < n and time.time() < end and client.proc.poll() is None:
        time.sleep(0.1)
    return sent(client, request) >= n


def press(s, x, y, button=1, mods=()):
    s.focus()
    s.xdotool("mousemove", "--sync", str(x), str(y))
    for m in mods:
        s.xdotool("keydown", m)
    for action in ("mousedown", "mouseup"):  # held over several slow frames
        time.sleep(1.5)
        s.xdotool(action, str(button))
    for m in mods:
        s.xdotool("keyup", m)


def click_ground(s, client, request):
    """Tries points around the player until one is bare ground: elsewhere the click selects what stands there."""
    for dx, dy in AROUND:
        before, picks = sent(client, request), client.stdout().count("Selecting[lmb]")
        press(s, CX + dx, CY + dy)
        client.wait_for(lambda o: o.count("Selecting[lmb]") > picks or sent(client, request) > before, 15)
        if sent(client, request) > before:
            return True
        s.key("Escape")
    return False


class WorldPlay(unittest.TestCase):
    def test_playing_in_the_world(self):
        with harness.Session("play") as s:
            _, _, client = ss.start(s, 120, login="player@example.org", auto_login=1, dev=True,
                                    extra="lmb_movement = 1\ndebug_log = 2\n")
            assert ss.wait_screen(client, "Lobby"), client.stdout()
            s.type_text("Player")
            s.key("Return")
            self.assertTrue(ss.wait_screen(client, "World", 90), client.stdout())
            # The blueprint of the supplies chest (a tile east, two north; another chest lies further east).
            probe(s, "wooden_chest", (703, 270), reach=45)
            choose(s, "Open")
            for window, rect, full in wait_slots(s, lambda f: "dialog{container}" in str(f.values())).values():
                if window == "dialog{container}" and full and "dialog{blueprint}" not in ss.ui_elements(s):
                    press_slot(s, rect, button="3")  # of the chest's items only the blueprint offers Open
                    if any(name.endswith(". Open}") for name in ss.ui_elements(s)):
                        choose(s, "Open")
            for x, y in ((470, 130), (440, 600), (420, 300)):  # Select, a box: pressed on a thing, it would select
                ss.click_element(s, "button{Select}")
                s.xdotool("mousemove", "--sync", str(x), str(y), "sleep", "0.5", "mousedown", "1")
                for i in range(1, 7):  # to the far corner, mirrored across the middle, over several slow frames
                    s.xdotool("mousemove", "--sync", str(x + (1060 - x) * i // 6), str(y + (360 - y) * i // 3),
                              "sleep", "0.4")
                s.xdotool("sleep", "1", "mouseup", "1", "sleep", "1")
                counts = [int(n.split()[0]) for n in ss.ui_elements(s) if n.endswith(" elements")]
                if counts and counts[0] > 0:
                    break
            self.assertGreater(counts[0], 0)
            ss.click_element(s, "toggle-button{Show All}")
            self.assertEqual(sum(n.startswith("+ ") for n in ss.ui_elements(s)), counts[0])
            s.screenshot("blueprint-changeset")
            ss.click_element(s, "button{Replace}")
            self.assertTrue(wait_sent(client, "BlueprintClear", 1) and wait_sent(client, "BlueprintAdd", counts[0]))
            x, y, w, _ = ss.ui_elements(s)["dialog{blueprint}"][0]
            ss.press(s, x + w - 8, y + 8)  # its close button, out of the later clicks' way
            # The frame-time graph: 60 bars side by side at the bottom right, a tooltip over one.
            ui = ss.ui_elements(s)
            bars = [ui[f"fps-bar-{i}"][0] for i in range(60)]
            self.assertTrue(all(abs(a[0] + a[2] - b[0]) <= 1 for a, b in zip(bars, bars[1:])), bars)
            self.assertTrue(bars[0][0] > CX and bars[0][1] > CY and bars[-1][0] + bars[-1][2] <= 1280, bars)
            s.xdotool("mousemove", "--sync", str(bars[-1][0]), str(bars[-1][1] + bars[-1][3] - 1))
            end = time.time() + 30
            while "global-tooltip" not in ss.ui_elements(s):
                self.assertLess(time.time(), end)
            s.screenshot("fps-tooltip")
            # Each key walks while held and stops when let go: two directions each.
            for i, key in enumerate("wd"):
                s.focus()
                s.xdotool("keydown", key)
                self.assertTrue(wait_sent(client, "SetDir", 2 * i + 1))
                s.xdotool("keyup", key)
                self.assertTrue(wait_sent(client, "SetDir", 2 * i + 2))
            self.assertTrue(click_ground(s, client, "SetDst"))
            s.screenshot("walked")
            # Shift lets the player hover itself; Ctrl makes the click select without acting.
            picks = client.stdout().count("Selecting[lmb]")
            press(s, CX, CY - 4, mods=("ctrl", "shift"))
            self.assertTrue(client.wait_for(lambda o: o.count("Selecting[lmb]") > picks, 30))
            s.screenshot("selected")
            s.key("Escape")
            # Battle stance: the ground click strikes, the right button hits hard, nobody walks.
            spells = sent(client, "Spell")
            s.key("q")
            self.assertTrue(click_ground(s, client, "Spell"))
            dsts = sent(client, "SetDst")  # a try that landed on a thing used it, and may have walked there
            press(s, CX - 150, CY + 40, button=3)
            self.assertTrue(wait_sent(client, "Spell", spells + 2))
            self.assertEqual(sent(client, "SetDst"), dsts)
            s.key("q", "r")  # R sprints
            self.assertTrue(wait_sent(client, "Spell", spells + 3))
            # Zoom with Ctrl and the wheel, turn with the middle button, F11 there and back.
            s.xdotool("mousemove", "--sync", str(CX), str(CY + 100))
            s.xdotool("keydown", "ctrl", "click", "--repeat", "4", "--delay", "400", "5", "keyup", "ctrl")
            s.xdotool("mousedown", "2")
            for step in range(1, 9):
                s.xdotool("mousemove", "--sync", str(CX + 30 * step), str(CY + 100), "sleep", "0.4")
            s.xdotool("mouseup", "2", "sleep", "1.5")
            s.screenshot("zoomed-and-turned")
            dumps = client.stdout().count("UI dump at frame")
            s.key("F11", "F11")
            self.assertIn("fps", ss.ui_elements(s))
            self.assertGreater(client.stdout().count("UI dump at frame"), dumps)
            self.assertNotIn("PANIC", client.stdout() + client.stderr())


if __name__ == "__main__":
    harness.main()
