#!/usr/bin/env python3
"""Seeded mutants of the rule and link code, one at a time: does the suite notice?

    scripts/mutants.py [--count 200] [--seed 1] [--only link/link.cpp] [--list]

Each mutant is one small edit a slip of the hand could make: a flipped
comparison, && for ||, a changed or off-by-one constant, true for false, a
dropped statement (a send, an emit, an assignment) or a branch that is never
taken. The script copies the committed tree (HEAD, not the working tree) to
build-mutants/src, builds the suites that cover the mutated file in
build-mutants/src/build, runs them once unmutated (they must pass), then for
each mutant: applies it, rebuilds, runs those suites, and puts the file back.
A mutant is killed when a suite fails or times out and fails again when run
once more (a timing test may fail once on a busy machine), survives when they all
pass, and is stillborn when it does not compile (it is not counted).

It prints the share killed and every survivor with its edit, and writes the
same to build-mutants/report.txt. Survivors are read by hand: some are
equivalent (the edit changes nothing a user or the wire could see).
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build-mutants")
SRC = os.path.join(WORK, "src")
BUILD = os.path.join(SRC, "build")

# Each file of the rule and link code, and the suites that answer for it
# (CTest entries; the fast ones that exercise that code directly).
CODE_LINK = ["link_test_linkcore", "fuzz_receive_replay", "fuzz_checkmsg_replay"]
LINK_SUITES = [
    "link_test_link",
    "app_test_app",
    "app_test_commandline",  # the headless run: nothing but its results on standard output
    "console_test_console",  # the attention byte leaves a breakpoint
    "tools_test_tools",
    "transfer_test_transfer",
    "monitor_test_polling",
]
TARGETS = {
    "link/link.cpp": LINK_SUITES,
    "link/linkslot.cpp": LINK_SUITES,
    "link/receivehandler.cpp": CODE_LINK + ["link_test_link"],  # the login against a peer
    "link/sendpath.cpp": CODE_LINK,
    "link/textutil.cpp": CODE_LINK + ["panels_test_formatters", "monitor_test_monitorrules"],
    "link/sjis.cpp": CODE_LINK + ["transfer_test_fileformat", "sim_test_machine"],
    "monitor/bits.cpp": ["monitor_test_monitorrules", "trend_test_trendcore", "fuzz_bits_replay"],
    "monitor/banks.cpp": ["monitor_test_monitorrules", "fuzz_bits_replay"],
    "monitor/polling.cpp": ["monitor_test_monitorrules"],
    "monitor/axissignals.cpp": ["monitor_test_monitorrules", "trend_test_trendcore", "fuzz_pointtable_replay"],
    "panels/replies.cpp": ["panels_test_formatters", "fuzz_mbk_replay", "fuzz_variables_replay"],
    "panels/variables.cpp": ["panels_test_formatters", "panels_test_panels", "trend_test_trendcore",
                             "fuzz_variables_replay"],
    "panels/tasks.cpp": ["panels_test_formatters", "trend_test_trendcore", "fuzz_mbk_replay"],
    "panels/mbk.cpp": ["panels_test_formatters", "trend_test_trendcore", "fuzz_mbk_replay"],
    "axis/jog.cpp": ["axis_test_pointtable", "axis_test_axispanel"],
    "axis/pointtable.cpp": ["axis_test_pointtable", "axis_test_axispanel", "fuzz_pointtable_replay"],
    "transfer/fileformat.cpp": ["transfer_test_fileformat", "transfer_test_backup", "fuzz_files_replay"],
    "tools/tools.cpp": ["tools_test_toolrules", "fuzz_monlisting_replay"],
    "console/console.cpp": ["console_test_consolecore", "console_test_console", "fuzz_console_replay"],
}

SWAPS = [(" == ", " != "), (" != ", " == "), (" < ", " <= "), (" <= ", " < "), (" > ", " >= "),
         (" >= ", " > "), (" && ", " || "), (" || ", " && "), (" + ", " - "), (" - ", " + ")]
STATEMENT = re.compile(r"^(emit\s+)?[A-Za-z_]\w*((->|\.|::)[A-Za-z_]\w*)*\s*(\(|=[^=]|\+=|-=|<<)")
TEXTY = re.compile(r"String|Latin1|Char|\"|<<")
SKIP = re.compile(r"^\s*(//|#|\*|/\*)|qC(Debug|Info|Warning|Critical)|static_assert|Q_OBJECT")


def code_spans(line):
    """(start, end) of the parts of a line outside string and character literals
    and before a trailing // comment."""
    spans, start, i, quote = [], 0, 0, None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                i += 1
            elif c == quote:
                quote, start = None, i + 1
        elif c in "\"'" and not (c == "'" and i > 0 and line[i - 1].isalnum() and line[i - 1] != "u"):
            spans.append((start, i))
            quote = c
        elif line.startswith("//", i):
            break
        i += 1
    if not quote:
        spans.append((start, i))
    return spans


def condition_end(line, open_at):
    depth = 0
    for i in range(open_at, len(line)):
        depth += {"(": 1, ")": -1}.get(line[i], 0)
        if depth == 0:
            return i
    return -1


def mutants_of(path, text):
    """Every mutant of one file: (path, line number, kind, old line, new line)."""
    out, lines = [], text.split("\n")
    for no, line in enumerate(lines, 1):
        if SKIP.search(line) or not line.strip():
            continue
        for s, e in code_spans(line):
            seg = line[s:e]
            for old, new in SWAPS:
                if old.strip() in "+-" and TEXTY.search(line):
                    continue  # text is joined with +; "a" - "b" does not compile
                for m in re.finditer(re.escape(old), seg):
                    at = s + m.start()
                    out.append((path, no, "operator", line, line[:at] + new + line[at + len(old):]))
            for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.])", seg):
                at, n = s + m.start(), int(m.group(1))
                for v in ({0: [1], 1: [0, 2]}.get(n) or [n + 1, n - 1]):
                    out.append((path, no, "constant", line, line[:at] + str(v) + line[s + m.end():]))
            for m in re.finditer(r"\b(true|false)\b", seg):
                at = s + m.start()
                flip = "false" if m.group(1) == "true" else "true"
                out.append((path, no, "constant", line, line[:at] + flip + line[s + m.end():]))
        stripped = line.strip()
        m = re.search(r"\bif \(", line)
        if m and any(s <= m.start() < e for s, e in code_spans(line)):
            close = condition_end(line, m.end() - 1)
            if close > 0:
                out.append((path, no, "branch", line, line[:m.end()] + "false" + line[close:]))
        before = next((p.strip() for p in reversed(lines[:no - 1]) if p.strip()), "{")
        starts = before.endswith((";", "{", "}", ")", ":")) or before.startswith("//")
        if (starts and stripped.endswith(";") and STATEMENT.match(stripped)
                and stripped.count("(") == stripped.count(")") and not stripped.startswith("return")):
            indent = line[:len(line) - len(line.lstrip())]
            out.append((path, no, "statement", line, indent + ";"))
    return out


def run(cmd, timeout=None):
    try:
        p = subprocess.run(cmd, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        return p.returncode == 0
    except subprocess.TimeoutExpired:
        return False


# Test functions left out of a mutant's run: they time the window's stalls,
# and a machine busy rebuilding mutants fails them on its own.
TIMED = {"link_test_link": re.compile(r"[Ff]lood")}


def suites_pass(names, timeout):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    plain = [n for n in names if n not in TIMED]
    for name in names:
        if name not in TIMED:
            continue
        binary = os.path.join(BUILD, "tests", name)
        listing = subprocess.run([binary, "-functions"], env=env, stdout=subprocess.PIPE, text=True)
        functions = [f.rstrip("()") for f in listing.stdout.split() if f.endswith("()")]
        keep = [f for f in functions if not TIMED[name].search(f)]
        # A failure counts when it comes again: one that does not was the
        # machine's, not the mutant's.
        if not any(run([binary] + keep, timeout=timeout) for _ in range(2)):
            return False
    if not plain:
        return True
    regex = "^(" + "|".join(plain) + ")$"
    ctest = ["ctest", "--test-dir", BUILD, "--timeout", str(timeout)]
    every = ctest + ["-R", regex, "-j2", "--stop-on-failure"]
    limit = timeout * len(plain) + 30
    if run(every, timeout=limit):
        return True
    # The suite that failed fails again, or it was the machine's moment; then
    # the others, which the stop left out, still have to pass.
    return run(ctest + ["--rerun-failed"], timeout=limit) and run(every, timeout=limit)


def prepare(rebuild_tree):
    if rebuild_tree and os.path.isdir(SRC):
        shutil.rmtree(SRC)
    if not os.path.isdir(SRC):
        os.makedirs(SRC)
        archive = subprocess.run(["git", "-C", ROOT, "archive", "HEAD"], stdout=subprocess.PIPE, check=True)
        subprocess.run(["tar", "-x", "-C", SRC], input=archive.stdout, check=True)
    if not os.path.exists(os.path.join(BUILD, "build.ninja")):
        cmd = ["cmake", "-S", SRC, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
               "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"]
        if shutil.which("ccache"):
            cmd.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--count", type=int, default=200, help="how many mutants to run (default 200)")
    ap.add_argument("--seed", type=int, default=1, help="the draw's seed (default 1)")
    ap.add_argument("--only", action="append", help="mutate only this file (repeatable)")
    ap.add_argument("--list", action="store_true", help="print the drawn mutants and stop")
    ap.add_argument("--fresh", action="store_true", help="copy the tree again from HEAD")
    ap.add_argument("--timeout", type=int, default=30, help="seconds a suite may take (default 30)")
    ap.add_argument("--survivors", metavar="REPORT",
                    help="of the draw, run only the mutants REPORT lists as survivors (after new tests)")
    args = ap.parse_args()

    files = args.only or sorted(TARGETS)
    unknown = [f for f in files if f not in TARGETS]
    if unknown:
        sys.exit("mutants: no suites are named for " + ", ".join(unknown))
    prepare(args.fresh)
    pool = []
    for f in files:
        with open(os.path.join(SRC, f), encoding="utf-8") as fh:
            pool += mutants_of(f, fh.read())
    random.Random(args.seed).shuffle(pool)
    drawn = pool[:args.count]
    if args.survivors:
        with open(args.survivors, encoding="utf-8") as fh:
            listed = set(re.findall(r"^survived (\S+):(\d+) \[\w+\]\n  - .*\n  \+ (.*)$", fh.read(), re.M))
        drawn = [m for m in drawn if (m[0], str(m[1]), m[4].strip()) in listed]
    print(f"mutants: {len(pool)} possible in {len(files)} files; drawn {len(drawn)} (seed {args.seed})")
    if args.list:
        for path, no, kind, old, new in drawn:
            print(f"{path}:{no} [{kind}]\n  - {old.strip()}\n  + {new.strip()}")
        return 0

    # A suite's CTest entry and its executable share the name.
    suites = sorted({s for f in files for s in TARGETS[f]})
    ninja = ["ninja", "-C", BUILD, "-j2"]
    if not run(ninja + suites) or not suites_pass(suites, args.timeout):
        sys.exit("mutants: the unmutated tree does not build or its suites fail; nothing to measure")

    killed, survived, stillborn = [], [], []
    started = time.monotonic()
    for i, (path, no, kind, old, new) in enumerate(drawn, 1):
        full = os.path.join(SRC, path)
        with open(full, encoding="utf-8") as fh:
            original = fh.read()
        lines = original.split("\n")
        lines[no - 1] = new
        try:
            with open(full, "w", encoding="utf-8") as fh:
                fh.write("\n".join(lines))
            names = TARGETS[path]
            if not run(ninja + names):
                stillborn.append((path, no, kind, old, new))
                verdict = "stillborn"
            elif suites_pass(names, args.timeout):
                survived.append((path, no, kind, old, new))
                verdict = "SURVIVED"
            else:
                killed.append((path, no, kind, old, new))
                verdict = "killed"
        finally:
            with open(full, "w", encoding="utf-8") as fh:
                fh.write(original)
        print(f"[{i}/{len(drawn)}] {verdict:9} {path}:{no} [{kind}] {new.strip()}", flush=True)
    # Leave the tree built as committed.
    run(ninja + suites)

    counted = len(killed) + len(survived)
    share = 100.0 * len(killed) / counted if counted else 0.0
    report = [f"mutants: {len(drawn)} drawn (seed {args.seed}) from {len(pool)} in {len(files)} files, "
              f"{len(stillborn)} did not compile; {len(killed)} of {counted} killed: {share:.1f} % "
              f"({(time.monotonic() - started) / 60:.0f} min)"]
    for path, no, kind, old, new in survived:
        report.append(f"survived {path}:{no} [{kind}]\n  - {old.strip()}\n  + {new.strip()}")
    text = "\n".join(report)
    print(text)
    with open(os.path.join(WORK, "report.txt"), "w", encoding="utf-8") as fh:
        fh.write(text + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
