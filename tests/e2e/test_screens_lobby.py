"""The lobby against the real server: creating a character and entering, the name errors, automatic
login and entry, and Logout."""
import time
import unittest

import harness
import screens_support as ss


def create_character(s, client, name):
    """From the lobby in creating mode: type the name and press Enter, then wait for the world."""
    s.type_text(name)
    s.key("Return")
    return ss.wait_screen(client, "World", 90)


class Lobby(unittest.TestCase):
    def test_create_a_character_and_reach_the_world(self):
        with harness.Session("create") as s:
            _, srv, client = ss.start(s, 60, login="maker@example.org", auto_login=1, dev=True)
            self.assertTrue(ss.wait_screen(client, "Lobby"), client.stdout())
            self.assertTrue(create_character(s, client, "Maker"), client.stdout())
            out = client.stdout()
            self.assertIn("Switching from screen [Lobby] to screen [Loading]", out)
            self.assertIn("Resources are loaded, requesting state updates", out)
            self.assertIn("Switching from screen [Loading] to screen [World]", out)
            self.assertTrue(srv.wait_for_output("created 'Maker'", 10))
            time.sleep(1)
            s.screenshot("world")

    def test_taken_and_empty_names_show_their_errors(self):
        with harness.Session("names") as s:
            address, _, client = ss.start(s, 70, login="first@example.org", auto_login=1, dev=True)
            self.assertTrue(ss.wait_screen(client, "Lobby"))
            self.assertTrue(create_character(s, client, "Taken"), client.stdout())
            client.stop()

            client = s.start_client(s.write_config(ss.config_text(address, "second@example.org", 1), "b.ini"))
            self.assertTrue(ss.wait_screen(client, "Lobby"))
            s.key("Return")
            deadline = time.time() + 20
            while time.time() < deadline and "Name must not be empty" not in ss.ui_elements(s):
                time.sleep(0.3)
            self.assertIn("Name must not be empty", ss.ui_elements(s))
            s.screenshot("empty-name")

            s.type_text("Taken")
            s.key("Return")
            deadline = time.time() + 20
            while time.time() < deadline and "Name already exists" not in ss.ui_elements(s):
                time.sleep(0.3)
            elements = ss.ui_elements(s)
            self.assertIn("Name already exists", elements)
            self.assertIn("create-confirm", elements)  # still creating
            s.screenshot("taken-name")
            self.assertNotIn("to screen [Loading]", client.stdout())

    def test_automatic_login_and_entry(self):
        with harness.Session("autologin") as s:
            address, srv, client = ss.start(s, 80, login="auto@example.org", auto_login=2, dev=True)
            # No character yet: the lobby opens in creating mode instead of entering.
            self.assertTrue(ss.wait_screen(client, "Lobby"), client.stdout())
            self.assertIn("create-confirm", ss.ui_elements(s))
            self.assertNotIn("Trying to enter", client.stdout())
            self.assertTrue(create_character(s, client, "Auto"), client.stdout())
            client.stop()

            # With a character, 2 enters the world without a click.
            client = s.start_client(s.write_config(ss.config_text(address, "auto@example.org", 2), "two.ini"))
            self.assertTrue(ss.wait_screen(client, "World", 90), client.stdout())
            self.assertIn("Trying to enter as 'Auto'", client.stdout())
            s.screenshot("auto-login-2")
            client.stop()

            # 1 logs in on the first frame and stops in the lobby.
            client = s.start_client(s.write_config(ss.config_text(address, "auto@example.org", 1), "one.ini"))
            self.assertTrue(ss.wait_screen(client, "Lobby", 120), client.stdout())
            out = client.stdout()
            self.assertLess(out.index("to screen [Login]"), out.index("Got lobby"))
            time.sleep(2)
            self.assertNotIn("Trying to enter", client.stdout())
            self.assertIn("button{Auto}", ss.ui_elements(s))
            s.screenshot("auto-login-1")

    def test_logout_turns_automatic_login_off(self):
        with harness.Session("logout") as s:
            _, srv, client = ss.start(s, 90, login="leaver@example.org", auto_login=2, dev=True)
            self.assertTrue(ss.wait_screen(client, "Lobby"), client.stdout())
            ss.click_element(s, "button{Logout}")
            self.assertTrue(client.wait_for_output("from screen [Lobby] to screen [Login]", 20), client.stdout())
            time.sleep(3)
            out = client.stdout()
            self.assertEqual(out.count("to screen [Lobby]"), 1, out)
            self.assertIn("button{Login}", ss.ui_elements(s))
            self.assertNotIn("loader", ss.ui_elements(s))
            s.screenshot("after-logout")
            # The fresh connection works: logging in by hand brings the lobby back.
            s.key("Return")
            self.assertTrue(client.wait_for(lambda o: o.count("to screen [Lobby]") == 2, 120), client.stdout())


if __name__ == "__main__":
    harness.main()
