"""The world HUD against the real server, with screenshots: the HUD, the spell bar, the spells window and
the administrator's panel, spells cast from the hotkeys at a training dummy the panel spawned, the map at each
zoom step, battle stance and the tile palette."""
import re
import time
import unittest

import harness
import screens_support as ss
from test_world_play import CX, CY, press, sent, wait_sent


def wait_elements(s, predicate, timeout=60):
    """The UI tree once `predicate` holds for it, or the last one seen."""
    deadline = time.time() + timeout
    elements = ss.ui_elements(s)
    while not predicate(elements) and time.time() < deadline:
        elements = ss.ui_elements(s)
    return elements


def mana(elements):
    """The player's mana, (now, most), from the params bar's text."""
    found = [re.match(r"Mana: (\d+)/(\d+)$", n) for n in elements]
    return next((int(m.group(1)), int(m.group(2))) for m in found if m)


def cooldown_over(elements, button):
    """Whether a cooldown fill of some width lies inside the named spell button."""
    return any(w > 0 and bx <= x and x + w <= bx + bw + 1 and by <= y and y + h <= by + bh + 1
               for bx, by, bw, bh in elements.get(button, []) for x, y, w, h in elements.get("cooldown", []))


class Hud(unittest.TestCase):
    def test_hud_windows_and_map_zoom_steps(self):
        with harness.Session("hud") as s:
            address = harness.free_loopback(170)
            srv = s.start_server(address, ["--hash-cost", "low", "--session-timeout", "120000", "--dev",
                                           "--admin", "hud@example.org"])
            self.assertTrue(srv.wait_for_output("listening on", 30), srv.stdout() + srv.stderr())
            client = s.start_client(s.write_config(ss.config_text(address, "hud@example.org", 1, "debug_log = 2\n")))
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

            # A training dummy (a foe that neither walks away nor dies) put down beside the player from the
            # panel's kind filter; a Ctrl click selects what stands there.
            row = elements["admin-kinds"][0]
            field = max((e for e in elements["text-input"] if e[1] < row[1]), key=lambda e: e[1])
            press(s, field[0] + 20, field[1] + field[3] // 2)
            s.type_text("dummy")
            ss.click_element(s, "button{training_dummy}")
            s.key("Escape", "p")
            press(s, CX + 140, CY + 30)
            self.assertTrue(wait_sent(client, "AddEntity", 1))
            for dx, dy in ((0, 0), (0, -20), (15, -10), (-15, -10), (25, 0), (-25, 0), (0, -40)):
                press(s, CX + 140 + dx, CY + 30 + dy, mods=("ctrl",))
                if client.wait_for_output("Selecting[lmb]", 10):
                    break
            picked = re.findall(r"Selecting\[lmb\] \[(\d+)\]", client.stdout())[-1]
            # Burn from its hotkey: the dummy is hurt, the bar shows the cooldown and the mana spent; pressed
            # again within the cooldown, the client refuses it without asking the server.
            s.key("5")
            self.assertTrue(client.wait_for(lambda _: f"Damage(Burn) 4 on [{picked}]" in client.stderr(), 60))
            elements = wait_elements(s, lambda e: cooldown_over(e, "spell-button{5}") and mana(e)[0] < mana(e)[1])
            self.assertTrue(cooldown_over(elements, "spell-button{5}") and "spell-button-tip" in elements)
            self.assertLess(*mana(elements))
            s.screenshot("burn-cooldown")
            s.key("5", "2")
            self.assertTrue(client.wait_for_output("Burn is on cooldown", 30))
            self.assertTrue(wait_sent(client, "Spell", 2))
            self.assertEqual(sent(client, "Spell"), 2)  # the fireball, sent after the refused burn
            elements = wait_elements(s, lambda e: cooldown_over(e, "spell-button{2}"))
            self.assertTrue(cooldown_over(elements, "spell-button{2}") and cooldown_over(elements, "spell-button{5}"))
            s.screenshot("two-cooldowns")
            s.key("Escape")

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
