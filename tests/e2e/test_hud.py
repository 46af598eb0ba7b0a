"""The world HUD against the real server, with screenshots: the HUD, the spell bar, the spells window and
the administrator's panel, the map at each zoom step, battle stance and the tile palette."""
import time
import unittest

import harness
import screens_support as ss


def wait_elements(s, predicate, timeout=60):
    """The UI tree once `predicate` holds for it, or the last one seen."""
    deadline = time.time() + timeout
    elements = ss.ui_elements(s)
    while not predicate(elements) and time.time() < deadline:
        elements = ss.ui_elements(s)
    return elements


class Hud(unittest.TestCase):
    def test_hud_windows_and_map_zoom_steps(self):
        with harness.Session("hud") as s:
            address = harness.free_loopback(170)
            srv = s.start_server(address, ["--hash-cost", "low", "--session-timeout", "120000", "--dev",
                                           "--admin", "hud@example.org"])
            self.assertTrue(srv.wait_for_output("listening on", 30), srv.stdout() + srv.stderr())
            client = s.start_client(s.write_config(ss.config_text(address, "hud@example.org", 1)))
            self.assertTrue(ss.wait_screen(client, "Lobby"), client.stdout())
            s.type_text("Hudson")
            s.key("Return")
            self.assertTrue(ss.wait_screen(client, "World", 90), client.stdout())
            hud = {"params-bar", "stomach", "main-buttons", "secondary-buttons", "world-map-image",
                   "world-map-location-me"}
            self.assertLessEqual(hud, set(wait_elements(s, lambda e: hud <= set(e))))
            s.screenshot("hud")

            ss.click_element(s, "action-icon{Move}")
            s.key("p", "ctrl+Tab")
            want = {"spell-buttons", "dialog{spells}", "dialog{admin}"}
            elements = wait_elements(s, lambda e: want <= set(e))
            self.assertLessEqual(want, set(elements))
            self.assertEqual(len([n for n in elements if n.startswith("spell-button{")]), 12)
            s.screenshot("hud-windows")

            # Zoom steps 1 (the start), 2 and 0: the image widens to twice, then goes.
            width1 = elements["world-map-image"][0][2]
            s.key("m")
            elements = wait_elements(s, lambda e: e.get("world-map-image", [(0, 0, 0, 0)])[0][2] > width1)
            self.assertAlmostEqual(elements["world-map-image"][0][2], 2 * width1, delta=2)
            s.screenshot("map-zoom-2")
            s.key("m", "q", "y")
            want = {"world-map-controls", "[Battle Stance]", "action-icon{Strike}", "action-icon{Normal Stance}"}
            elements = wait_elements(s, lambda e: want <= set(e) and "world-map-image" not in e)
            self.assertLessEqual(want, set(elements))
            self.assertNotIn("world-map-image", elements)
            s.screenshot("map-zoom-0-battle-stance-palette")


if __name__ == "__main__":
    harness.main()
