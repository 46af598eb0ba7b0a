"""The camp chest's blueprint against the real server: Select, drag a box over the camp, Replace with it."""
import unittest

import harness
import screens_support as ss
from test_items import choose, press_slot, probe, wait_slots
from test_world_play import wait_sent


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
            _, _, client = ss.start(s, 190, login="bp@example.org", auto_login=1, dev=True, extra="debug_log = 2\n")
            assert ss.wait_screen(client, "Lobby", 240), client.stdout()
            s.type_text("Bria")
            s.key("Return")
            assert ss.wait_screen(client, "World", 240), client.stdout()
            probe(s, "wooden_chest", (703, 270), reach=45)  # a tile east, two north; another lies further east
            choose(s, "Open")
            for window, rect, full in wait_slots(s, lambda f: "dialog{container}" in str(f.values())).values():
                if window == "dialog{container}" and full and "dialog{blueprint}" not in ss.ui_elements(s):
                    press_slot(s, rect, button="3")  # of the chest's items only the blueprint offers Open
                    if any(name.endswith(". Open}") for name in ss.ui_elements(s)):
                        choose(s, "Open")
            for start in ((470, 130), (440, 600), (420, 300)):  # the press must fall on bare ground, or it selects
                ss.click_element(s, "button{Select}")
                drag(s, start, (1060, 560 if start[1] < 360 else 160))
                counts = [int(n.split()[0]) for n in ss.ui_elements(s) if n.endswith(" elements")]
                if counts and counts[0] > 0:
                    break
            self.assertGreater(counts[0], 0)
            ss.click_element(s, "toggle-button{Show All}")
            self.assertEqual(sum(n.startswith("+ ") for n in ss.ui_elements(s)), counts[0])
            s.screenshot("blueprint-changeset")
            ss.click_element(s, "button{Replace}")
            self.assertTrue(wait_sent(client, "BlueprintClear", 1) and wait_sent(client, "BlueprintAdd", counts[0]))


if __name__ == "__main__":
    harness.main()
