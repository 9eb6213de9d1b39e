#!/usr/bin/env python3
"""The harnesses' calls to other programs end, whatever those programs leave behind."""
import os
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bounded import Overran, call, read_line  # noqa: E402


class Bounded(unittest.TestCase):
    def test_a_child_holding_the_output_open_does_not_hold_the_call(self):
        # A probe that starts a process which inherits its output, as Wine's desktop
        # process does, prints its answer and ends. Read from a pipe to its end, the
        # answer would come only when the child ended: after the call's limit.
        done = call(["sh", "-c", "sleep 120 & echo $!; echo answer"], 30, "the fake probe")
        child = int(done.stdout.split()[0])
        try:
            self.assertEqual((done.returncode, done.stdout.split()[1]), (0, "answer"))
        finally:
            os.kill(child, signal.SIGKILL)

    def test_a_call_past_its_limit_is_stopped_and_named_with_what_it_printed(self):
        for command, printed in ((["sh", "-c", "echo partial; exec sleep 120"], "partial"),
                                 (["sh", "-c", "echo on-stderr >&2; exec sleep 120"], "on-stderr")):
            with self.subTest(printed=printed):
                with self.assertRaises(Overran) as raised:
                    call(command, 1, "the stuck probe")
                self.assertIn("the stuck probe", str(raised.exception))
                self.assertIn(printed, str(raised.exception))

    def test_input_reaches_the_program(self):
        self.assertEqual(call(["cat"], 30, input=b"hola\n").stdout, "hola\n")

    def test_a_line_that_never_comes_is_not_waited_for(self):
        proc = subprocess.Popen(["sh", "-c", "printf half; exec sleep 120"], stdout=subprocess.PIPE)
        try:
            with self.assertRaises(Overran) as raised:
                read_line(proc.stdout, 1, "the silent bus")
            self.assertIn("half", str(raised.exception))
        finally:
            proc.kill()
            proc.wait()
            proc.stdout.close()


if __name__ == "__main__":
    unittest.main()
