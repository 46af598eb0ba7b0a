"""The login screen against the real server: registering, a wrong password, one request per press, a
server that is down or silent."""
import socket
import time
import unittest

import harness
import screens_support as ss


def login_requests(sock, seconds):
    """The login requests that reach a silent fake server within the time (type byte 2 at offset 4)."""
    found = []
    deadline = time.time() + seconds
    while time.time() < deadline:
        sock.settimeout(max(0.01, deadline - time.time()))
        try:
            data, _ = sock.recvfrom(2048)
        except socket.timeout:
            break
        if len(data) > 4 and data[4] == 2:
            found.append((time.time(), data))
    return found


class Login(unittest.TestCase):
    def test_register_lands_in_the_lobby_in_creating_mode(self):
        with harness.Session("register") as s:
            _, srv, client = ss.start(s, 20, login="newbie@example.org")
            self.assertTrue(ss.wait_screen(client, "Login"), client.stdout())
            s.key("Tab")
            s.type_text("pass1234")
            ss.click_element(s, "button{Register}")
            self.assertTrue(ss.wait_screen(client, "Lobby"), client.stdout())
            self.assertTrue(srv.wait_for_output("registered 'newbie@example.org'", 10), srv.stdout())
            elements = ss.ui_elements(s)
            self.assertIn("create-confirm", elements)  # the new-character form is open
            self.assertIn("dialog-title", elements)
            s.screenshot("lobby-creating")
            self.assertNotIn("to screen [Loading]", client.stdout())

    def test_wrong_password_shows_the_error_and_the_fields_come_back(self):
        with harness.Session("wrongpw") as s:
            address, srv, client = ss.start(s, 30, login="owner@example.org")
            self.assertTrue(ss.wait_screen(client, "Login"))
            s.key("Tab")
            s.type_text("right-one")
            ss.click_element(s, "button{Register}")
            self.assertTrue(ss.wait_screen(client, "Lobby"), client.stdout())
            client.stop()

            client = s.start_client(s.write_config(ss.config_text(address, "owner@example.org"), "second.ini"))
            self.assertTrue(ss.wait_screen(client, "Login"))
            s.key("Tab")
            s.type_text("wrong-one")
            s.key("Return")
            self.assertTrue(srv.wait_for_output("wrong password for 'owner@example.org'", 60), srv.stdout())
            deadline = time.time() + 10
            while time.time() < deadline and "error-box" not in ss.ui_elements(s):
                time.sleep(0.2)
            elements = ss.ui_elements(s)
            self.assertIn("error-box", elements)
            self.assertNotIn("loader", elements)
            s.screenshot("wrong-password")
            # The request is over: pressing Enter again sends a second try. The server takes the same wrong
            # password again within seconds for a resend and refuses it without hashing it twice.
            s.key("Return")
            self.assertTrue(srv.wait_for(lambda out: out.count("ended (login refused)") >= 2, 60), srv.stdout())
            self.assertNotIn("to screen [Lobby]", client.stdout())

    def test_login_pressed_twice_sends_one_request_and_resends_after_the_time_out(self):
        with harness.Session("twice") as s:
            address = harness.free_loopback(40)
            silent = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            silent.bind((address, 4242))
            try:
                client = s.start_client(s.write_config(ss.config_text(address, "twice@example.org")))
                self.assertTrue(ss.wait_screen(client, "Login"))
                s.window()
                time.sleep(1)
                login_requests(silent, 0.2)  # nothing before the key presses
                s.key("Return", "Return")
                first = login_requests(silent, 2.0)
                self.assertEqual(len(first), 1)
                self.assertIn("loader", ss.ui_elements(s))  # "Connecting..."
                s.screenshot("connecting")
                # Nobody answers: the same request goes out again after the time-out (10 s here).
                again = login_requests(silent, 12.0)
                self.assertGreaterEqual(len(again), 1)
                self.assertEqual(again[0][1][9:73], first[0][1][9:73])
            finally:
                silent.close()

    def test_server_down_at_start_keeps_running_and_gets_in_once_it_starts(self):
        with harness.Session("serverdown") as s:
            address, _, client = ss.start(s, 50, login="late@example.org", auto_login=1, server=False)
            self.assertTrue(ss.wait_screen(client, "Login"))
            s.window()
            time.sleep(3)
            self.assertIsNone(client.proc.poll())
            s.screenshot("server-down")
            elements = ss.ui_elements(s)
            # Either still waiting ("Connecting...") or told that nobody listens; never gone.
            self.assertTrue("loader" in elements or "error-box" in elements, elements.keys())
            ss.start_server(s, address, dev=True)
            deadline = time.time() + 60
            while time.time() < deadline and "to screen [Lobby]" not in client.stdout():
                if "loader" not in ss.ui_elements(s):
                    s.key("Return")
                time.sleep(1)
            self.assertIn("to screen [Lobby]", client.stdout())
            s.screenshot("server-up")


if __name__ == "__main__":
    harness.main()
