#!/usr/bin/env bash
# Regenerates the README's screenshots of the interactive page, in headless
# Chromium: a laptop (1366x768) and a phone (390x844) window.
#   scripts/screenshots.sh [BUILD_DIR]     (default: build; it must be built)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
out=docs
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$build/bin/smtrace" explain raita abab ccabaabab --html "$work/raita.html"
"$build/bin/smtrace" compare abab ccabaabab --html "$work/compare.html" >/dev/null

PYTHONDONTWRITEBYTECODE=1 python3 - "$work" "$out" <<'PY'
import os, sys, time
sys.path.insert(0, os.path.join(os.getcwd(), "tests", "browser"))
import cdp

work, out = sys.argv[1], sys.argv[2]
shots = [
    ("raita.html", "#read=5", 1366, 768, "page-raita-laptop.png"),
    ("raita.html", "#read=5", 390, 844, "page-raita-phone.png"),
    ("compare.html", "#read=6", 1366, 768, "page-compare-laptop.png"),
]
browser = cdp.Browser()
try:
    for name, fragment, width, height, png in shots:
        page = browser.page(width, height, mobile=width < 600)
        page.navigate("file://" + os.path.join(work, name) + fragment)
        time.sleep(0.2)
        page.screenshot(os.path.join(out, png))
        if page.problems():
            sys.exit(f"screenshots: {name} logged {page.problems()}")
        page.close()
        print(f"screenshots: wrote {os.path.join(out, png)}")
finally:
    browser.close()
PY
