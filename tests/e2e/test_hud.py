"""The world HUD against the real server: parameter bars, stomach, action rows and the map at each zoom
step, the spells window and the administrator's panel, with screenshots of each."""
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

            hud = ("params-bar", "stomach", "main-buttons", "secondary-buttons", "world-map", "world-map-controls")
            elements = wait_elements(s, lambda e: all(n in e for n in hud) and "world-map-image" in e)
            for name in hud + ("world-map-image", "world-map-location-me"):
                self.assertIn(name, elements)
            s.screenshot("hud")

            # The first action icon opens the spell bar.
            ss.click_element(s, "action-icon{Move}")
            elements = wait_elements(s, lambda e: "spell-buttons" in e)
            self.assertEqual(len([n for n in elements if n.startswith("spell-button{")]), 12)

            s.key("p")
            s.key("ctrl+Tab")
            elements = wait_elements(s, lambda e: "dialog{spells}" in e and "dialog{admin}" in e)
            self.assertIn("dialog{spells}", elements)
            self.assertIn("dialog{admin}", elements)
            s.screenshot("hud-windows")
            s.key("Escape")
            elements = wait_elements(s, lambda e: "dialog{admin}" not in e)
            self.assertNotIn("dialog{admin}", elements)

            # Zoom steps 1 (the start), 2 and 0: the image widens to twice, then goes.
            width1 = elements["world-map-image"][0][2]
            s.key("m")
            elements = wait_elements(s, lambda e: e.get("world-map-image", [(0, 0, 0, 0)])[0][2] > width1)
            self.assertAlmostEqual(elements["world-map-image"][0][2], 2 * width1, delta=2)
            s.screenshot("map-zoom-2")
            s.key("m")
            elements = wait_elements(s, lambda e: "world-map-image" not in e)
            self.assertNotIn("world-map-image", elements)
            self.assertIn("world-map-controls", elements)
            s.screenshot("map-zoom-0")

            # Battle stance swaps the main icons for the three attacks; the palette of the tile tool shows.
            s.key("q")
            s.key("y")
            elements = wait_elements(s, lambda e: "[Battle Stance]" in e)
            for name in ("[Battle Stance]", "action-icon{Strike}", "action-icon{StrongAttack}",
                         "action-icon{Normal Stance}"):
                self.assertIn(name, elements)
            s.screenshot("battle-stance-and-palette")
            self.assertIsNone(client.proc.poll())


if __name__ == "__main__":
    harness.main()
