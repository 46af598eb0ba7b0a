"""The blueprint window against the real server: opened from the blueprint in the camp's chest, Select, a box
dragged over the camp, and the changeset that box makes; screenshots kept."""
import re
import time
import unittest

import harness
import screens_support as ss
from test_items import MENU, choose, press_slot, probe, wait_slots
from test_world_play import wait_sent

COUNT = re.compile(r"^(\d+) elements$")


def drag(s, a, b):
    s.focus()
    s.xdotool("mousemove", "--sync", str(a[0]), str(a[1]), "sleep", "0.5", "mousedown", "1")
    for step in range(1, 7):  # over several slow frames, so the box follows the mouse
        x, y = a[0] + (b[0] - a[0]) * step // 6, a[1] + (b[1] - a[1]) * step // 6
        s.xdotool("mousemove", "--sync", str(x), str(y), "sleep", "0.4")
    s.xdotool("sleep", "1", "mouseup", "1", "sleep", "1")


class Blueprint(unittest.TestCase):
    def test_box_selection_fills_the_changeset(self):
        with harness.Session("blueprint") as s:
            _, _, client = ss.start(s, 190, login="bp@example.org", auto_login=1, dev=True,
                                    extra="debug_log = 2\n")
            assert ss.wait_screen(client, "Lobby", 240), client.stdout()
            s.type_text("Bria")
            s.key("Return")
            assert ss.wait_screen(client, "World", 240), client.stdout()
            time.sleep(3)
            # The chest of supplies one tile east and two north (another lies two tiles further east).
            probe(s, "wooden_chest", (703, 270), reach=45)
            choose(s, "Open")
            found = wait_slots(s, lambda f: any(w == "dialog{container}" for w, _, _ in f.values()))
            # The blueprint is the chest's item whose menu names it.
            for _, (window, rect, full) in sorted(found.items()):
                if window != "dialog{container}" or not full:
                    continue
                n = len(MENU.findall(client.stdout()))
                press_slot(s, rect, button="3")
                client.wait_for(lambda o: len(MENU.findall(o)) > n, 10)
                if MENU.findall(client.stdout())[-1][0] == "blueprint":
                    choose(s, "Open")
                    break
            self.assertIn("dialog{blueprint}", ss.ui_elements(s))
            # The press must fall on bare ground (on a thing it selects that): a few starting corners.
            counts = []
            for start in ((470, 130), (440, 600), (420, 300), (500, 650)):
                ss.click_element(s, "button{Select}")
                drag(s, start, (1060, 560 if start[1] < 360 else 160))
                counts = [int(m.group(1)) for name in ss.ui_elements(s) for m in [COUNT.match(name)] if m]
                if counts and counts[0] > 0:
                    break
            self.assertTrue(counts and counts[0] > 0, counts)
            ss.click_element(s, "toggle-button{Show All}")
            listed = [name for name in ss.ui_elements(s) if name.startswith("+ ")]
            self.assertEqual(len(listed), counts[0], listed)
            s.screenshot("blueprint-changeset")
            # Replace empties the blueprint and offers it every collected entity (the server keeps the buildings).
            ss.click_element(s, "button{Replace}")
            self.assertTrue(wait_sent(client, "BlueprintClear", 1))
            self.assertTrue(wait_sent(client, "BlueprintAdd", counts[0]))
            self.assertNotIn("blueprint-changeset", ss.ui_elements(s))
            self.assertNotIn("PANIC", client.stdout() + client.stderr())


if __name__ == "__main__":
    harness.main()
