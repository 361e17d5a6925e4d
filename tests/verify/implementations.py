"""Pure-Python implementations for smtrace.verify: one Raita that is right,
and functions that go wrong in the ways a Python user's might.

Each takes (pattern: bytes, text: bytes) and returns the trace, the list of
text positions read, kept as the libraries' recorder keeps it: once a
routine has set the text's length, no position at or past it is recorded,
and inside an attempt's window a position is recorded once.
"""

import time


class Recorder:
    def __init__(self):
        self.trace = []
        self.bound = -1
        self.window = None  # where the open window's positions start in the trace

    def record(self, position):
        if position < 0 or (self.bound > 0 and position >= self.bound):
            return
        if self.window is not None and position in self.trace[self.window:]:
            return
        self.trace.append(position)

    def get(self, text, position):
        self.record(position)
        return text[position] if position < len(text) else 0

    def differs(self, pattern, start, text, position, length):
        """Compares length bytes of the pattern from start on with the text
        from position on, reading each text byte before comparing it."""
        for k in range(length):
            if pattern[start + k] != self.get(text, position + k):
                return True
        return False


def _raita(pattern, text, *, table_off_by_one=False):
    m, n = len(pattern), len(text)
    r = Recorder()
    if m == 0:
        return r.trace
    shift = {}
    for i, c in enumerate(pattern[:-1]):
        shift[c] = m - i if table_off_by_one else m - 1 - i
    r.bound = n
    j = 0
    while j <= n - m:
        r.window = len(r.trace)
        c = r.get(text, j + m - 1)
        if (c == pattern[-1] and r.get(text, j) == pattern[0]
                and r.get(text, j + m // 2) == pattern[m // 2]
                and not r.differs(pattern, 1, text, j + 1, m - 2)):
            return r.trace
        j += shift.get(c, m)
        r.window = None
    return r.trace


def raita(pattern, text):
    """Raita as the reference runs it."""
    return _raita(pattern, text)


def raita_shift_off_by_one(pattern, text):
    """Raita whose bad-character shifts are one too long."""
    return _raita(pattern, text, table_off_by_one=True)


def raita_raising(pattern, text):
    """Raita that cannot take a text ending with the pattern's first byte."""
    if text and text[-1] == pattern[0]:
        raise ZeroDivisionError("a text that ends with the pattern's first byte")
    return _raita(pattern, text)


def raita_as_text(pattern, text):
    """Returns the trace as a str instead of a list."""
    return " ".join(str(p) for p in _raita(pattern, text))


def raita_hanging(pattern, text):
    """Does not come back from texts with a c in them."""
    if b"c" in text:
        time.sleep(3)
    return _raita(pattern, text)
