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
from processes import TIMEOUT, ChromiumFolder, RunFolder, base_environment, find_chromium, pss_kib, start_xvfb

SETTLE_SECONDS = 3.0
# Before each timed start: what the last run left behind has ended.
QUIET_SECONDS = 1.0


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
    """The program: start-up, timed unless full; with full, hand-offs and memory with 1 and 10 pages."""
    browser_session(figs, RunFolder(args.kovalis, args.env, platform), "kovalis", args, sites, log, run, tag, full)


def chromium_session(figs, args, sites, log, run, platform, tag, full):
    """Debian's Chromium, measured as the program is: the user's usual alternative."""
    browser_session(figs, ChromiumFolder(args.chromium, args.env, platform), "chromium", args, sites, log, run,
                    tag, full)


def browser_session(figs, folder, who, args, sites, log, run, tag, full):
    prog = None
    try:
        step = "full" if full else "start"
        urls = [f"http://{h}/r{run}/{tag}/{step}/{who}" for h in sites]
        if not full:
            time.sleep(QUIET_SECONDS)
        prog = folder.start(urls[0])
        request = log.wait_for(sites[0], f"/r{run}/{tag}/{step}/{who}")
        if not full:
            figs.add(f"{who} start-up to first request ({tag})", ms(request - prog.spawned))
            if who == "kovalis":
                painted = prog.wait_trace("painted")
                figs.add(f"{who} start-up to first paint ({tag})", ms(painted - prog.spawned))
            return
        log.wait_for(sites[0], f"/loaded/r{run}/{tag}/{step}/{who}")
        time.sleep(SETTLE_SECONDS)
        one = pss_kib(prog.proc.pid)
        figs.add(f"{who} PSS, 1 page (MiB)", one / 1024)
        for i in range(1, SITES):
            second = folder.start(urls[i])
            code = second.proc.wait(timeout=TIMEOUT)
            ended = time.monotonic()
            arrived = log.wait_for(sites[i], f"/r{run}/{tag}/{step}/{who}")
            second.stop()
            if code != 0:
                raise RuntimeError(f"{who}: second start exited with {code}")
            prefix = "" if who == "kovalis" else f"{who} "
            figs.add(f"{prefix}second start: lifetime (ms)", ms(ended - second.spawned))
            figs.add(f"{prefix}second start: exec to request (ms)", ms(arrived - second.spawned))
            log.wait_for(sites[i], f"/loaded/r{run}/{tag}/{step}/{who}")
        time.sleep(SETTLE_SECONDS)
        ten = pss_kib(prog.proc.pid)
        figs.add(f"{who} PSS, 10 pages of 10 sites (MiB)", ten / 1024)
        figs.add(f"{who} PSS per added page (MiB)", (ten - one) / 1024 / (SITES - 1))
    finally:
        if prog:
            prog.stop()
        folder.remove(args.keep_log)


def baseline_session(figs, args, sites, log, run, platform, tag, full):
    """The baseline: start-up, timed unless full; with full, memory with 1 and 10 pages."""
    folder = RunFolder(args.baseline, args.env, platform)
    prog = None
    try:
        step = "full" if full else "start"
        if not full:
            time.sleep(QUIET_SECONDS)
        url = f"http://{sites[0]}/r{run}/{tag}/{step}/base"
        prog = folder.start(url)
        request = log.wait_for(sites[0], f"/r{run}/{tag}/{step}/base")
        if not full:
            painted = prog.wait_trace("painted")
            figs.add(f"baseline start-up to first request ({tag})", ms(request - prog.spawned))
            figs.add(f"baseline start-up to first paint ({tag})", ms(painted - prog.spawned))
            return
        log.wait_for(sites[0], f"/loaded/r{run}/{tag}/{step}/base")
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


def run_pages_bench(figs, args, program=None):
    env = dict(args.env, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run([program or args.pages], env=env, check=True, capture_output=True, text=True).stdout
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


def system_and_engine(args):
    """The release the figures were taken on and the engine the program runs on."""
    release = "unknown system"
    try:
        with open("/etc/os-release") as f:
            for line in f:
                if line.startswith("PRETTY_NAME="):
                    release = line.split("=", 1)[1].strip().strip('"')
    except OSError:
        pass
    out = subprocess.run([args.kovalis, "--version"], env=dict(args.env, QT_QPA_PLATFORM="offscreen"),
                         capture_output=True, text=True, timeout=TIMEOUT).stdout.strip()
    first = out.splitlines()[0] if out else ""
    return f"{release}, {first.split(', ', 1)[-1] or 'engine unknown'}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kovalis", required=True)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("--pages", required=True)
    parser.add_argument("--history", default=None, help="the history and completion benchmark")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--startup-only", action="store_true", help="only the start-up figures")
    parser.add_argument("--keep-log", default=None, help="copy each run's stderr log here")
    parser.add_argument("--chromium", default=find_chromium(), help="Debian's Chromium (default: when installed)")
    parser.add_argument("--no-chromium", dest="chromium", action="store_const", const=None)
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
            # Start-up first, alternating (program, baseline, baseline, program, then the other way
            # round in the next run), so drift on a shared machine falls on both alike.
            first, second = (program_session, baseline_session) if run % 2 == 0 else (baseline_session, program_session)
            first(figs, args, sites, log, run, offscreen, "offscreen", False)
            second(figs, args, sites, log, run, offscreen, "offscreen", False)
            second(figs, args, sites, log, run, onscreen, "Xvfb", False)
            first(figs, args, sites, log, run, onscreen, "Xvfb", False)
            if args.chromium:
                # Chromium draws on a display only; its memory is taken there too.
                chromium_session(figs, args, sites, log, run, onscreen, "Xvfb", False)
            if args.startup_only:
                continue
            program_session(figs, args, sites, log, run, offscreen, "offscreen", True)
            baseline_session(figs, args, sites, log, run, offscreen, "offscreen", True)
            if args.chromium:
                chromium_session(figs, args, sites, log, run, onscreen, "Xvfb", True)
    finally:
        xvfb.terminate()
        xvfb.wait()

    page_rows = []
    if not args.startup_only:
        print("pages benchmark ...", file=sys.stderr, flush=True)
        page_rows = run_pages_bench(figs, args)
        if args.history:
            print("history benchmark ...", file=sys.stderr, flush=True)
            page_rows += run_pages_bench(figs, args, args.history)

    print()
    print("| figure | median | min–max | runs |")
    print("|---|---:|---:|---:|")
    peers = ("kovalis", "baseline", "chromium") if args.chromium else ("kovalis", "baseline")
    for tag in ("offscreen", "Xvfb"):
        for who in peers:
            if who == "chromium" and tag == "offscreen":
                continue
            print(row(figs, f"{who} start-up to first request ({tag})").replace("request (", "request, ms ("))
            if who != "chromium":
                print(row(figs, f"{who} start-up to first paint ({tag})").replace("paint (", "paint, ms ("))
    print(row(figs, "second start: lifetime (ms)"))
    print(row(figs, "second start: exec to request (ms)"))
    if args.chromium and not args.startup_only:
        print(row(figs, "chromium second start: lifetime (ms)"))
        print(row(figs, "chromium second start: exec to request (ms)"))
    for who in peers:
        if who == "chromium" and args.startup_only:
            continue
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
        target(f"start-up to first request ≤ 0.95× baseline ({tag})",
               ratio(figs, f"kovalis start-up to first request ({tag})", f"baseline start-up to first request ({tag})"),
               "×", lambda r: r <= 0.95)
    target("second start lives < 50 ms", figs.median("second start: lifetime (ms)"), " ms", lambda v: v < 50)
    target("second start's address at the server ≤ 60 ms", figs.median("second start: exec to request (ms)"), " ms",
           lambda v: v <= 60)
    target("PSS with 10 pages of 10 sites ≤ 0.75× baseline (each page shown once, as the program shows them)",
           ratio(figs, "kovalis PSS, 10 pages of 10 sites (MiB)", "baseline PSS, 10 pages, each shown once (MiB)"),
           "×", lambda r: r <= 0.75)
    target("the same against the baseline that only ever shows its first page",
           ratio(figs, "kovalis PSS, 10 pages of 10 sites (MiB)", "baseline PSS, 10 pages of 10 sites (MiB)"),
           "×", lambda r: r <= 0.75)
    for name, med, *_ in page_rows:
        if "1000 pages" in name and "repaint" not in name:
            target(f"{name.split(',')[0]} < 50 us with 1,000 pages open", med, " us", lambda v: v < 50)
    rounds = [(name, hi) for name, _, _, hi, _ in page_rows if name.startswith("completion round")]
    if rounds:
        worst = max(rounds, key=lambda r: r[1])
        target(f"every completion round < 10 ms at 100,000 entries (worst: {worst[0].split(', ')[-1]})",
               worst[1] / 1000, " ms", lambda v: v < 10)
    print()
    print(f"({system_and_engine(args)}; {args.runs} runs, {time.monotonic() - started:.0f} s, "
          f"{os.cpu_count()} cores, load average {os.getloadavg()[0]:.2f})")


if __name__ == "__main__":
    main()
