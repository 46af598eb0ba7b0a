"""The world screen and its menu against the real server: F10, the volume sliders saved when the menu
is left, the Lobby button, walking, and the server going away."""
import os
import time
import unittest

import harness
import screens_support as ss


def enter_new_character(s, client, name):
    assert ss.wait_screen(client, "Lobby"), client.stdout()
    s.type_text(name)
    s.key("Return")
    assert ss.wait_screen(client, "World", 90), client.stdout()


def read_config(s):
    values = {}
    with open(os.path.join(s.workdir, "config.ini")) as f:
        for line in f:
            if "=" in line:
                k, v = line.split("=", 1)
                values[k.strip()] = v.strip()
    return values


class World(unittest.TestCase):
    def test_menu_sliders_are_saved_when_it_is_left_and_lobby_goes_back(self):
        with harness.Session("menu") as s:
            _, srv, client = ss.start(s, 100, login="menu@example.org", auto_login=1, dev=True,
                                      config_in_cwd=True)
            enter_new_character(s, client, "Menu")
            s.key("F10")
            self.assertTrue(ss.wait_screen(client, "World Menu", 20), client.stdout())
            elements = ss.ui_elements(s)
            for name in ("button{Back}", "button{Next Track}", "button{Lobby}", "button{Quit}", "music-gain",
                         "sound-gain"):
                self.assertIn(name, elements)
            x, y, w, h = elements["music-gain"][0]
            ss.press(s, x + int(w * 0.8), y + h // 2, hold=6)
            x, y, w, h = elements["sound-gain"][0]
            ss.press(s, x + int(w * 0.2), y + h // 2, hold=6)
            time.sleep(0.5)
            s.screenshot("menu")
            s.key("Escape")
            self.assertTrue(client.wait_for_output("from screen [World Menu] to screen [World]", 20))
            self.assertTrue(client.wait_for_output("Saved config at 'config.ini'", 10), client.stdout())
            values = read_config(s)
            self.assertAlmostEqual(float(values["music_gain"]), 0.8, delta=0.05)
            self.assertAlmostEqual(float(values["sound_gain"]), 0.2, delta=0.05)
            self.assertEqual(values["auto_login"], "0")

            s.key("F10")
            self.assertTrue(client.wait_for(lambda o: o.count("to screen [World Menu]") == 2, 20))
            ss.click_element(s, "button{Lobby}")
            self.assertTrue(client.wait_for_output("from screen [World Menu] to screen [Lobby]", 20), client.stdout())
            self.assertTrue(client.wait_for(lambda o: o.count("Saved config at 'config.ini'") == 2, 10))
            self.assertIn("button{Menu}", ss.ui_elements(s))
            s.screenshot("back-in-lobby")

    def test_walking_and_the_server_going_away(self):
        with harness.Session("walk") as s:
            _, srv, client = ss.start(s, 110, login="walker@example.org", auto_login=1, dev=True)
            enter_new_character(s, client, "Walker")
            time.sleep(1)
            s.screenshot("world-before-walk")
            s.focus()
            s.xdotool("keydown", "w")
            time.sleep(1.5)
            s.xdotool("keyup", "w")
            s.xdotool("keydown", "d")
            time.sleep(1.0)
            s.xdotool("keyup", "d")
            time.sleep(0.5)
            s.screenshot("world-after-walk")
            self.assertIsNone(client.proc.poll())

            srv.stop()
            self.assertTrue(client.wait_for_output("from screen [World] to screen [Login]", 30), client.stdout())
            self.assertIn("[net] Server timed out", client.stdout() + client.stderr())
            self.assertIn("button{Login}", ss.ui_elements(s))
            s.screenshot("server-gone")


if __name__ == "__main__":
    harness.main()
