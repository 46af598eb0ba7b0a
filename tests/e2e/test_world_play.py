"""Playing in the world against the real server: walking with the keys and with a click, hovering and
selecting, the battle stance and its strikes, a spell from its key, zoom and rotation, F11 and the
frame-time graph. The client logs every request it sends (debug_log = 2), so each gesture is checked by
the request it caused."""
import time
import unittest

import harness
import screens_support as ss

CENTRE = (640, 360)  # the camera looks at the player's feet


def output(client):
    return client.stdout() + client.stderr()


def sent(client, request):
    return output(client).count(f"Sending Request({request})")


def wait_sent(client, request, at_least, timeout=40):
    deadline = time.time() + timeout
    while time.time() < deadline and client.proc.poll() is None:
        if sent(client, request) >= at_least:
            return True
        time.sleep(0.1)
    return sent(client, request) >= at_least


def hold_key(s, client, key, request):
    """Holds a key until its request went out, then lets go: a press and release in one slow frame
    would cancel out."""
    before = sent(client, request)
    s.focus()
    s.xdotool("keydown", key)
    ok = wait_sent(client, request, before + 1)
    s.xdotool("keyup", key)
    return ok


def press_with(s, x, y, modifiers, button=1, hold=2.5):
    s.focus()
    s.xdotool("mousemove", "--sync", str(x), str(y))
    for m in modifiers:
        s.xdotool("keydown", m)
    time.sleep(0.3)
    s.xdotool("mousedown", str(button))
    time.sleep(hold)
    s.xdotool("mouseup", str(button))
    time.sleep(0.3)
    for m in reversed(modifiers):
        s.xdotool("keyup", m)


def click_ground(s, client, request):
    """Clicks around the player until a click lands on bare ground and sends `request`. Trees and rocks
    stand about: a point with something under it selects that instead, so the next point is tried."""
    for dx, dy in ((230, 130), (-250, 150), (260, -60), (-300, -20), (120, 250), (-120, -200), (400, 40),
                   (-420, 220)):
        before = sent(client, request)
        picks = client.stdout().count("Selecting[lmb]")
        ss.press(s, CENTRE[0] + dx, CENTRE[1] + dy)
        client.wait_for(lambda o: o.count("Selecting[lmb]") > picks or sent(client, request) > before, 15)
        if sent(client, request) > before:
            return True
        s.key("Escape")
    return False


class WorldPlay(unittest.TestCase):
    def test_playing_in_the_world(self):
        with harness.Session("play") as s:
            _, srv, client = ss.start(s, 120, login="player@example.org", auto_login=1, dev=True,
                                      extra="lmb_movement = 1\ndebug_log = 2\n")
            assert ss.wait_screen(client, "Lobby"), client.stdout()
            s.type_text("Player")
            s.key("Return")
            self.assertTrue(ss.wait_screen(client, "World", 90), client.stdout())

            # The frame-time graph: 60 bars at the bottom right, the ping under it, a bar's tooltip.
            elements = ss.ui_elements(s)
            self.assertIn("fps", elements)
            self.assertIn("fps-bar-0", elements)
            self.assertIn("fps-bar-59", elements)
            bars = [elements[f"fps-bar-{i}"][0] for i in range(60)]
            for left, right in zip(bars, bars[1:]):  # side by side, oldest first, in the bottom right
                self.assertLessEqual(abs(left[0] + left[2] - right[0]), 1)
            self.assertGreater(bars[0][0], CENTRE[0])
            self.assertGreater(bars[0][1], CENTRE[1])
            self.assertLessEqual(bars[-1][0] + bars[-1][2], 1280)
            bx, by, bw, bh = elements["fps-bar-59"][0]
            s.focus()
            s.xdotool("mousemove", "--sync", str(bx + bw // 2), str(by + bh - 1))
            deadline = time.time() + 30
            while "global-tooltip" not in ss.ui_elements(s) and time.time() < deadline:
                time.sleep(0.3)
            self.assertIn("global-tooltip", ss.ui_elements(s))
            s.screenshot("fps-tooltip")

            # Keys: one direction while W is held, and a stop when it is let go.
            walks = sent(client, "SetDir")
            self.assertTrue(hold_key(s, client, "w", "SetDir"), output(client)[-3000:])
            self.assertTrue(wait_sent(client, "SetDir", walks + 2), output(client)[-3000:])
            self.assertTrue(hold_key(s, client, "d", "SetDir"))
            self.assertTrue(wait_sent(client, "SetDir", walks + 4))
            s.screenshot("walked-with-keys")

            # A click on the ground walks there; holding the button steers on the way.
            dsts = sent(client, "SetDst")
            click_ground(s, client, "SetDst")
            self.assertGreater(sent(client, "SetDst"), dsts, output(client)[-3000:])
            s.screenshot("walked-with-click")

            # The player hovers only with Shift; Ctrl makes the click select without using it.
            spells = sent(client, "Spell")
            picks = client.stdout().count("Selecting[lmb] [")
            press_with(s, CENTRE[0], CENTRE[1] - 4, ["ctrl", "shift"])
            self.assertTrue(client.wait_for(lambda o: o.count("Selecting[lmb] [") > picks, 30), client.stdout()[-3000:])
            self.assertEqual(sent(client, "Spell"), spells)
            s.screenshot("selected-self")
            s.key("Escape")

            # Battle stance: a click on the ground strikes instead of walking, a right click hits hard.
            dsts = sent(client, "SetDst")
            s.key("q")
            self.assertTrue(click_ground(s, client, "Spell"), output(client)[-3000:])
            press_with(s, CENTRE[0] - 150, CENTRE[1] + 40, [], button=3)
            self.assertTrue(wait_sent(client, "Spell", spells + 2), output(client)[-3000:])
            self.assertEqual(sent(client, "SetDst"), dsts)
            s.screenshot("stance-strike")
            s.key("q")

            # A spell from its key: R sprints.
            spells = sent(client, "Spell")
            s.key("r")
            self.assertTrue(wait_sent(client, "Spell", spells + 1), output(client)[-3000:])

            # Zoom with Ctrl and the wheel, turn with the middle button; the world keeps being drawn.
            dumps = client.stdout().count("UI dump at frame")
            s.screenshot("before-zoom")
            s.focus()
            s.xdotool("mousemove", "--sync", str(CENTRE[0]), str(CENTRE[1] + 100))
            s.xdotool("keydown", "ctrl")
            for _ in range(4):
                s.xdotool("click", "5")
                time.sleep(0.4)
            s.xdotool("keyup", "ctrl")
            time.sleep(1.5)
            s.screenshot("zoomed-out")
            s.xdotool("mousedown", "2")
            for step in range(8):
                s.xdotool("mousemove", "--sync", str(CENTRE[0] + 30 * (step + 1)), str(CENTRE[1] + 100))
                time.sleep(0.4)
            s.xdotool("mouseup", "2")
            time.sleep(1.5)
            s.screenshot("turned")

            # Fullscreen on and off again; the client draws on.
            s.key("F11")
            time.sleep(1.5)
            s.screenshot("fullscreen")
            s.key("F11")
            self.assertIn("fps", ss.ui_elements(s))
            self.assertGreater(client.stdout().count("UI dump at frame"), dumps)
            self.assertIsNone(client.proc.poll())
            self.assertNotIn("PANIC", output(client))


if __name__ == "__main__":
    harness.main()
