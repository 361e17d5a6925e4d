"""Runs the browser tests, or skips them (exit status 77, which ctest shows
as skipped) with the reason when this machine has no Chromium."""

import sys
import unittest

import cdp

if __name__ == "__main__":
    if cdp.find_chromium() is None:
        print("SKIPPED: no chromium found (set CHROMIUM, or install the Debian package: "
              "scripts/setup.sh does when run as root or with sudo); the page tests did not run")
        sys.exit(77)
    program = unittest.main(module=None, argv=[sys.argv[0], "-v", *sys.argv[1:]], exit=False)
    sys.exit(0 if program.result.wasSuccessful() else 1)
