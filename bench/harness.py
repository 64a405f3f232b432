#!/usr/bin/env python3
"""Runs the program and the baseline against loopback sites and prints one table.

Every figure is taken on real processes: each run copies the binary into a fresh program
folder and gives it a fresh home, the sites are HTTP servers of this script on 127.0.0.x,
and times are read on one monotonic clock (the spawn, the server's receipt of a request,
the arrival of a "kovalis-trace" line on standard error).
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

from loopback import SITES, start_sites, RequestLog
from processes import TIMEOUT, RunFolder, base_environment, pss_kib, start_xvfb

SETTLE_SECONDS = 3.0


# ---------------------------------------------------------------- the measurements

class Figures:
    def __init__(self):
        self.samples = {}

    def add(self, name, value):
        self.samples.setdefault(name, []).append(value)

    def median(self, name):
        return statistics.median(self.samples[name]) if self.samples.get(name) else None


def ms(seconds):
    return seconds * 1000.0


def program_session(figs, args, sites, log, run, platform, tag, full):
    """The program: start-up; with full, then hand-offs and memory with 1 and 10 pages."""
    folder = RunFolder(args.kovalis, args.env, platform)
    prog = None
    try:
        urls = [f"http://{h}/r{run}/{tag}/page" for h in sites]
        prog = folder.start(urls[0])
        request = log.wait_for(sites[0], f"/r{run}/{tag}/page")
        painted = prog.wait_trace("painted")
        figs.add(f"kovalis start-up to first request ({tag})", ms(request - prog.spawned))
        figs.add(f"kovalis start-up to first paint ({tag})", ms(painted - prog.spawned))
        if not full:
            return
        log.wait_for(sites[0], f"/loaded/r{run}/{tag}/page")
        time.sleep(SETTLE_SECONDS)
        one = pss_kib(prog.proc.pid)
        figs.add("kovalis PSS, 1 page (MiB)", one / 1024)
        for i in range(1, SITES):
            second = folder.start(urls[i])
            code = second.proc.wait(timeout=TIMEOUT)
            ended = time.monotonic()
            arrived = log.wait_for(sites[i], f"/r{run}/{tag}/page")
            second.stop()
            if code != 0:
                raise RuntimeError(f"second start exited with {code}")
            figs.add("second start: lifetime (ms)", ms(ended - second.spawned))
            figs.add("second start: exec to request (ms)", ms(arrived - second.spawned))
            log.wait_for(sites[i], f"/loaded/r{run}/{tag}/page")
        time.sleep(SETTLE_SECONDS)
        ten = pss_kib(prog.proc.pid)
        figs.add("kovalis PSS, 10 pages of 10 sites (MiB)", ten / 1024)
        figs.add("kovalis PSS per added page (MiB)", (ten - one) / 1024 / (SITES - 1))
    finally:
        if prog:
            prog.stop()
        folder.remove(args.keep_log)


def baseline_session(figs, args, sites, log, run, platform, tag, full):
    folder = RunFolder(args.baseline, args.env, platform)
    prog = None
    try:
        url = f"http://{sites[0]}/r{run}/{tag}/base"
        prog = folder.start(url)
        request = log.wait_for(sites[0], f"/r{run}/{tag}/base")
        painted = prog.wait_trace("painted")
        figs.add(f"baseline start-up to first request ({tag})", ms(request - prog.spawned))
        figs.add(f"baseline start-up to first paint ({tag})", ms(painted - prog.spawned))
        if not full:
            return
        log.wait_for(sites[0], f"/loaded/r{run}/{tag}/base")
        time.sleep(SETTLE_SECONDS)
        one = pss_kib(prog.proc.pid)
        figs.add("baseline PSS, 1 page (MiB)", one / 1024)
        prog.stop()
        prog = None
        urls = [f"http://{h}/r{run}/{tag}/base10" for h in sites]
        prog = folder.start(*urls)
        for h in sites:
            log.wait_for(h, f"/loaded/r{run}/{tag}/base10")
        time.sleep(SETTLE_SECONDS)
        ten = pss_kib(prog.proc.pid)
        figs.add("baseline PSS, 10 pages of 10 sites (MiB)", ten / 1024)
        figs.add("baseline PSS per added page (MiB)", (ten - one) / 1024 / (SITES - 1))
        prog.stop()
        prog = None
        # The same ten pages, each brought to the front once as it loads, as the program's are.
        urls = [f"http://{h}/r{run}/{tag}/shown10" for h in sites]
        prog = folder.start("--show-each", *urls)
        for h in sites:
            log.wait_for(h, f"/loaded/r{run}/{tag}/shown10")
        time.sleep(SETTLE_SECONDS)
        figs.add("baseline PSS, 10 pages, each shown once (MiB)", pss_kib(prog.proc.pid) / 1024)
        prog.stop()
        prog = None
        # What discarding the pages behind would save: the same ten, nine of them discarded.
        urls = [f"http://{h}/r{run}/{tag}/discard10" for h in sites]
        prog = folder.start("--discard-hidden", *urls)
        for h in sites:
            log.wait_for(h, f"/loaded/r{run}/{tag}/discard10")
        time.sleep(SETTLE_SECONDS)
        figs.add("baseline PSS, 10 pages, 9 behind discarded (MiB)", pss_kib(prog.proc.pid) / 1024)
    finally:
        if prog:
            prog.stop()
        folder.remove(args.keep_log)


def run_pages_bench(figs, args):
    env = dict(args.env, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run([args.pages], env=env, check=True, capture_output=True, text=True).stdout
    rows = []
    for line in out.splitlines():
        name, med, lo, hi, runs = line.split("\t")
        rows.append((name, float(med), float(lo), float(hi), int(runs)))
    return rows


# ---------------------------------------------------------------- the table

def row(figs, name):
    values = figs.samples.get(name, [])
    if not values:
        return f"| {name} | – | – | 0 |"
    return f"| {name} | {statistics.median(values):.1f} | {min(values):.1f}–{max(values):.1f} | {len(values)} |"


def ratio(figs, ours, theirs):
    a, b = figs.median(ours), figs.median(theirs)
    return a / b if a is not None and b else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kovalis", required=True)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("--pages", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--startup-only", action="store_true", help="only the start-up figures")
    parser.add_argument("--keep-log", default=None, help="copy each run's stderr log here")
    args = parser.parse_args()
    args.env = base_environment()

    log = RequestLog()
    sites = start_sites(log)
    figs = Figures()
    started = time.monotonic()

    offscreen = {"QT_QPA_PLATFORM": "offscreen"}
    xvfb, display = start_xvfb()
    onscreen = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": display}
    try:
        for run in range(args.runs):
            print(f"run {run + 1} of {args.runs} ...", file=sys.stderr, flush=True)
            # Alternating, so drift on a shared machine falls on both alike.
            full = not args.startup_only
            program_session(figs, args, sites, log, run, offscreen, "offscreen", full)
            baseline_session(figs, args, sites, log, run, offscreen, "offscreen", full)
            baseline_session(figs, args, sites, log, run, onscreen, "Xvfb", False)
            program_session(figs, args, sites, log, run, onscreen, "Xvfb", False)
    finally:
        xvfb.terminate()
        xvfb.wait()

    page_rows = []
    if not args.startup_only:
        print("pages benchmark ...", file=sys.stderr, flush=True)
        page_rows = run_pages_bench(figs, args)

    print()
    print("| figure | median | min–max | runs |")
    print("|---|---:|---:|---:|")
    for tag in ("offscreen", "Xvfb"):
        for who in ("kovalis", "baseline"):
            print(row(figs, f"{who} start-up to first request ({tag})").replace("request (", "request, ms ("))
            print(row(figs, f"{who} start-up to first paint ({tag})").replace("paint (", "paint, ms ("))
    print(row(figs, "second start: lifetime (ms)"))
    print(row(figs, "second start: exec to request (ms)"))
    for who in ("kovalis", "baseline"):
        print(row(figs, f"{who} PSS, 1 page (MiB)"))
        print(row(figs, f"{who} PSS, 10 pages of 10 sites (MiB)"))
        print(row(figs, f"{who} PSS per added page (MiB)"))
    print(row(figs, "baseline PSS, 10 pages, each shown once (MiB)"))
    print(row(figs, "baseline PSS, 10 pages, 9 behind discarded (MiB)"))
    for name, med, lo, hi, runs in page_rows:
        print(f"| {name} | {med:.1f} | {lo:.1f}–{hi:.1f} | {runs} |")

    print()
    print("| target | measured | met |")
    print("|---|---:|---|")
    def target(text, value, unit, met):
        if value is None:
            print(f"| {text} | – | – |")
        else:
            shown = f"{value:.2f}" if unit == "×" else f"{value:.1f}"
            print(f"| {text} | {shown}{unit} | {'yes' if met(value) else 'NO'} |")

    for tag in ("offscreen", "Xvfb"):
        target(f"start-up to first request ≤ 1.05× baseline ({tag})",
               ratio(figs, f"kovalis start-up to first request ({tag})", f"baseline start-up to first request ({tag})"),
               "×", lambda r: r <= 1.05)
    target("second start lives < 50 ms", figs.median("second start: lifetime (ms)"), " ms", lambda v: v < 50)
    target("second start's address at the server ≤ 60 ms", figs.median("second start: exec to request (ms)"), " ms",
           lambda v: v <= 60)
    target("PSS with 10 pages of 10 sites ≤ 0.8× baseline",
           ratio(figs, "kovalis PSS, 10 pages of 10 sites (MiB)", "baseline PSS, 10 pages of 10 sites (MiB)"),
           "×", lambda r: r <= 0.8)
    target("the same against the baseline with each page shown once",
           ratio(figs, "kovalis PSS, 10 pages of 10 sites (MiB)", "baseline PSS, 10 pages, each shown once (MiB)"),
           "×", lambda r: r <= 0.8)
    for name, med, *_ in page_rows:
        if "1000 pages" in name and "repaint" not in name:
            target(f"{name.split(',')[0]} < 50 us with 1,000 pages open", med, " us", lambda v: v < 50)
    print()
    print(f"({args.runs} runs, {time.monotonic() - started:.0f} s, {os.cpu_count()} cores, load average "
          f"{os.getloadavg()[0]:.2f})")


if __name__ == "__main__":
    main()
