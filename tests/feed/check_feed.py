#!/usr/bin/python3
"""The sample project's Atom feed as a feed reader takes it: converted with
postloom-batch into a temporary folder, parsed by Python's feedparser without
any warning, and valid against the RELAX NG schema of the Atom format.

    check_feed.py --batch build/src/cli/postloom-batch

Exits 77 (skipped) when feedparser or xmllint is not installed.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(HERE, "..", "..", "examples", "sample")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--batch", required=True)
    args = parser.parse_args()
    try:
        import feedparser
    except ImportError:
        print("skipped: python3-feedparser is not installed (scripts/install-deps installs it)")
        return SKIP
    if shutil.which("xmllint") is None:
        print("skipped: xmllint is not installed (scripts/install-deps installs it)")
        return SKIP

    with tempfile.TemporaryDirectory() as work:
        project = os.path.join(work, "sample")
        shutil.copytree(SAMPLE, project)
        subprocess.run([args.batch, os.path.join(project, "sample.plp")], check=True,
                       stdout=subprocess.DEVNULL)
        feed_path = os.path.join(project, "site", "feed.atom")
        with open(feed_path, "rb") as f:
            data = f.read()

        # As a web server would serve it: the relative links resolve
        # against the feed's address.
        parsed = feedparser.parse(data, response_headers={
            "content-location": "https://lists.example.jp/sample/feed.atom",
            "content-type": "application/atom+xml; charset=utf-8"})
        problems = []
        if parsed.bozo:
            problems.append(f"feedparser: {parsed.bozo_exception!r}")
        if parsed.version != "atom10":
            problems.append(f"feedparser reads it as {parsed.version!r}, not Atom 1.0")
        entries = parsed.entries
        if not entries:
            problems.append("no entries")
        ids = [e.get("id") for e in entries]
        if len(set(ids)) != len(ids) or not all(ids):
            problems.append("entry ids missing or repeated")
        for e in entries:
            for key in ("title", "link", "updated_parsed", "author", "summary"):
                if not e.get(key):
                    problems.append(f"entry {e.get('id')}: no {key}")
            link = e.get("link", "")
            if not link.startswith("https://lists.example.jp/sample/"):
                problems.append(f"entry {e.get('id')}: link {link!r} is not resolved against the feed")
            elif not os.path.isfile(os.path.join(project, "site", link[len("https://lists.example.jp/sample/"):])):
                problems.append(f"entry {e.get('id')}: link {link!r} names no page")
        dates = [e.updated_parsed for e in entries]
        if dates != sorted(dates, reverse=True):
            problems.append("entries are not newest first")

        schema = subprocess.run(["xmllint", "--noout", "--relaxng", os.path.join(HERE, "atom.rng"), feed_path],
                                capture_output=True, text=True)
        if schema.returncode != 0:
            problems.append("schema: " + schema.stderr.strip())

    for p in problems:
        print(p)
    print(f"{len(entries)} entries, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
