"""Calls to other programs that cannot wait for ever.

A call's output goes to a file, never to a pipe, and is read once the program has
ended. A process the program starts may inherit a pipe and hold it open long after
the program itself has ended (Wine starts its desktop process, explorer.exe, from
whichever program first needs it), and a read to the pipe's end would then wait for
that process instead of the program. Every call also has a time limit; past it the
program is killed and the call raises Overran, naming the call and what it printed."""

import os
import select
import subprocess
import tempfile
import time


class Overran(Exception):
    """A call ran past its time limit."""


class Done:
    def __init__(self, returncode, stdout, stderr):
        self.returncode, self.stdout, self.stderr = returncode, stdout, stderr


def _text(stream):
    stream.seek(0)
    return stream.read().decode("utf-8", errors="replace")


def call(args, timeout, what=None, input=None, binary=False, **popen):
    """Runs `args` to its end within `timeout` seconds; returns its status and output
    (as text, or as bytes when `binary`). `input` (bytes) is its standard input; `popen`
    goes to Popen."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, tempfile.TemporaryFile() as stdin:
        if input is not None:
            stdin.write(input)
            stdin.seek(0)
        proc = subprocess.Popen(args, stdin=stdin if input is not None else subprocess.DEVNULL,
                                stdout=out, stderr=err, **popen)
        try:
            returncode = proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            printed = (_text(out) + _text(err)).strip()
            raise Overran(f"{what or ' '.join(map(str, args))} did not end within {timeout:g} s and was stopped; "
                          f"it printed: {printed[-2000:]!r}") from None
        if binary:
            out.seek(0)
            return Done(returncode, out.read(), _text(err))
        return Done(returncode, _text(out), _text(err))


def read_line(stream, timeout, what):
    """One line from a child's pipe, waiting at most `timeout` seconds for it."""
    deadline = time.monotonic() + timeout
    line = b""
    fd = stream.fileno()
    while not line.endswith(b"\n"):
        ready, _, _ = select.select([fd], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            raise Overran(f"{what} printed no line within {timeout:g} s (so far: {line!r})")
        chunk = os.read(fd, 1)
        if not chunk:
            break
        line += chunk
    return line
