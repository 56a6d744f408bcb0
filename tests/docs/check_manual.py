#!/usr/bin/python3
"""Opens manual.htm in Chromium, headless, and checks what a reader gets:
every command has its section (an <h3> holding id="cmd-KEYWORD"), every
command but help shows an example picture in its section, every picture
loads, and every link inside the page has its target. Saves a screenshot of
the top of the manual.

    tests/docs/check_manual.py [--browser chromium] [--screenshot FILE]
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from commands import ROOT, keywords  # noqa: E402

# Commands whose section shows no picture, since they make none.
WITHOUT_PICTURE = {"help"}

BROWSER_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync"]

# Runs in the page once everything has loaded, and writes its findings into
# the page, where --dump-dom shows them.
PROBE = """
<script>
window.addEventListener('load', () => {
  const report = {images: 0, broken: [], sections: [], noPicture: [], deadLinks: []};
  for (const img of document.images) {
    report.images++;
    if (!img.complete || img.naturalWidth === 0) report.broken.push(img.getAttribute('src'));
  }
  for (const keyword of KEYWORDS) {
    const mark = document.getElementById('cmd-' + keyword);
    const heading = mark && (mark.tagName === 'H3' ? mark : mark.closest('h3'));
    if (!heading || !heading.textContent.split(/[^a-z]+/).includes(keyword)) {
      report.sections.push(keyword);
      continue;
    }
    let pictures = 0;
    for (let node = heading.nextElementSibling; node && !/^H[23]$/.test(node.tagName);
         node = node.nextElementSibling)
      pictures += node.querySelectorAll('pre[data-picture] ~ img').length;
    if (!pictures && !WITHOUT_PICTURE.includes(keyword)) report.noPicture.push(keyword);
  }
  for (const link of document.querySelectorAll('a[href^="#"]'))
    if (!document.getElementById(decodeURIComponent(link.getAttribute('href').slice(1))))
      report.deadLinks.push(link.getAttribute('href'));
  const out = document.createElement('pre');
  out.id = 'manual-check';
  out.textContent = JSON.stringify(report);
  document.body.appendChild(out);
});
</script>
"""


def browser_command(browser, profile, *extra):
    return [browser, *BROWSER_FLAGS, f"--user-data-dir={profile}", *extra]


def run_browser(args, timeout=120):
    return subprocess.run(args, capture_output=True, text=True, timeout=timeout)


def main():
    options = argparse.ArgumentParser()
    options.add_argument("--browser", default=shutil.which("chromium") or "chromium")
    options.add_argument("--screenshot", default=os.path.join(ROOT, "build", "manual-screenshot.png"))
    args = options.parse_args()

    manual = os.path.join(ROOT, "manual.htm")
    with open(manual, encoding="utf-8") as f:
        page = f.read()
    probe = (PROBE.replace("WITHOUT_PICTURE", json.dumps(sorted(WITHOUT_PICTURE)))
             .replace("KEYWORDS", json.dumps(keywords())))
    base = f'<base href="{urllib.parse.quote(ROOT)}/">'
    # The probed copy lives elsewhere; its pictures are found from the base.
    page = re.sub(r"<head>", "<head>" + base, page, count=1)
    page = page.replace("</body>", probe + "</body>")

    with tempfile.TemporaryDirectory() as scratch:
        # The browser keeps crash reports and settings under the home: the
        # scratch folder's, not that of whoever runs the check.
        home = os.path.join(scratch, "home")
        for name, folder in (("HOME", home), ("XDG_CONFIG_HOME", os.path.join(home, ".config")),
                             ("XDG_CACHE_HOME", os.path.join(home, ".cache"))):
            os.makedirs(folder, exist_ok=True)
            os.environ[name] = folder
        probed = os.path.join(scratch, "manual.htm")
        with open(probed, "w", encoding="utf-8") as f:
            f.write(page)
        result = run_browser(browser_command(args.browser, os.path.join(scratch, "profile-dom"),
                                             "--allow-file-access-from-files", "--virtual-time-budget=10000",
                                             "--dump-dom", "file://" + probed))
        found = re.search(r'<pre id="manual-check">(.*?)</pre>', result.stdout, re.S)
        if not found:
            print(f"the browser gave no report (status {result.returncode}):\n{result.stderr[-2000:]}",
                  file=sys.stderr)
            return 1
        report = json.loads(found.group(1).replace("&quot;", '"').replace("&amp;", "&"))

        os.makedirs(os.path.dirname(os.path.abspath(args.screenshot)), exist_ok=True)
        shot = run_browser(browser_command(args.browser, os.path.join(scratch, "profile-shot"),
                                           "--window-size=1000,1400", "--hide-scrollbars",
                                           f"--screenshot={os.path.abspath(args.screenshot)}",
                                           "file://" + manual))

    problems = []
    if report["images"] == 0:
        problems.append("the manual shows no pictures")
    problems += [f"picture does not load: {src}" for src in report["broken"]]
    problems += [f"no section for the command {keyword}" for keyword in report["sections"]]
    problems += [f"the section of {keyword} shows no example picture" for keyword in report["noPicture"]]
    problems += [f"link to a missing target: {href}" for href in report["deadLinks"]]
    if shot.returncode != 0 or not os.path.exists(args.screenshot) or os.path.getsize(args.screenshot) == 0:
        problems.append(f"no screenshot was saved:\n{shot.stderr[-2000:]}")
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"manual: {len(keywords())} commands, {report['images']} pictures, "
          f"screenshot {args.screenshot}; {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
