"""The client opens its window, reaches the login screen and quits; without a configuration it refuses."""
import os
import unittest

import harness


class Startup(unittest.TestCase):
    def test_starts_reaches_login_and_quits_on_escape(self):
        with harness.Session("startup") as s:
            config = s.write_config("server_name = 127.0.0.1\nlogin = tester\n")
            client = s.start_client(config)
            self.assertTrue(client.wait_for_output("Build 2026-07-29T20:11"), client.stdout())
            self.assertTrue(client.wait_for_output("Switching from screen [Pre Loading] to screen [Login]"),
                            client.stdout())
            s.window()
            shot = s.screenshot("login")
            self.assertTrue(os.path.getsize(shot) > 0)
            s.key("Escape")
            self.assertEqual(client.wait(60), 0, client.stderr())
            out = client.stdout()
            self.assertIn("Loading config from '", out)
            self.assertIn("window size: ", out)
            self.assertIn("Measure::loading", out)

    def test_missing_configuration_exits_with_one(self):
        with harness.Session("noconfig") as s:
            client = s.start_client(os.path.join(s.workdir, "absent.ini"))
            self.assertEqual(client.wait(60), 1)
            self.assertIn("Config not found or empty", client.stderr())


if __name__ == "__main__":
    harness.main()
