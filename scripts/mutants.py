#!/usr/bin/env python3
"""Mutation testing of the portable core and the packer, against the native
unit tests: how many small planted faults do the tests catch?

Each mutant is one operator changed at one place in src/archive, src/paths,
src/common or src/pack (win_ files are built by the Windows trees only and are
left out): < and <=, > and >=, == and !=, && and ||, + 1 and - 1, return true
and return false swapped, a logical ! dropped. The mutant is built in a copy of
the source tree (build/mutants/tree, its own native build), so the working tree
is never written and nothing is committed. Only the mutated file's objects and
the links of unit_tests and quorvel-pack are rebuilt; the mutants of one file
run one after another, so each costs one compile.

The packer's commands and entry (the PACK_COMMANDS list of
src/pack/sources.cmake) are built into the program only, not into the unit
tests: their mutants are judged by the packer's tests in tests/pack instead,
which CTest runs on the built program (--unit-only judges them by the unit
tests, which cannot catch them). Mutants known to be equivalent (EQUIVALENT
below, each with its reason) are drawn into the sample and counted apart.

A mutant is killed when the tests fail, timed out when they run past the
limit (a hang is a fault they caught), survived when they pass, and does not
compile when the build refuses it. The tests run in two rounds, each stopping
at the first failure: first every test that took less than --slow-ms in the
unmutated run, then the slow ones. With --sanitized, a survivor is tried again
against unit_tests_sanitized (AddressSanitizer and UndefinedBehaviorSanitizer).

  scripts/mutants.py --list                       every mutant, counted by folder
  scripts/mutants.py --sample 120 --seed 7        a fixed random sample of them
  scripts/mutants.py --file src/paths/name_rules_impl.h
"""
import argparse
import collections
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["src/archive", "src/common", "src/paths", "src/pack"]

# (pattern, replacement) over code with comments, strings and characters
# blanked out. Relational operators need blanks on both sides, which keeps
# template brackets, shifts and arrows out.
OPERATORS = [
    (r"(?<=\s)<(?=\s)", "<="), (r"(?<=\s)<=(?=\s)", "<"),
    (r"(?<=\s)>(?=\s)", ">="), (r"(?<=\s)>=(?=\s)", ">"),
    (r"(?<=\s)==(?=\s)", "!="), (r"(?<=\s)!=(?=\s)", "=="),
    (r"(?<=\s)&&(?=\s)", "||"), (r"(?<=\s)\|\|(?=\s)", "&&"),
    (r"(?<=[\w)\]] )\+ 1(?![\w.'])", "- 1"), (r"(?<=[\w)\]] )- 1(?![\w.'])", "+ 1"),
    (r"\breturn true\b", "return false"), (r"\breturn false\b", "return true"),
    (r"(?<=[(\s])!(?=[\w(*])", ""),
]

# Mutants that cannot change what any caller sees. Each entry: file, a piece
# of the line, the text replaced, its replacement, and why. They are drawn
# into a sample like the others (so that a sample stays the same when this
# list grows) and then counted apart, not run.
EQUIVALENT = [
    ("src/archive/lzh_decoder.cpp", "if (length > 16) {", ">", ">=",
     "a 16-byte match copies 16 more bytes into the piece's undecoded part, which the stretch "
     "keeps at least 256 bytes long and which later symbols overwrite"),
    ("src/archive/lzh_decoder.cpp", "if (unfilled && distance > pos) break;", "&&", "||",
     "the stretch hands more matches to the careful path, which decodes them alike"),
    ("src/archive/lzh_decoder.cpp", "if (unfilled && distance > pos) break;", ">", ">=",
     "a match reaching exactly the piece's first byte goes to the careful path, which decodes "
     "it alike"),
    ("src/archive/lzh_decoder.cpp", "whole = r.end - r.next >= static_cast<long>(sizeof(BitWord));",
     ">=", ">", "with exactly one word of input left the careful path decodes the symbols instead"),
    ("src/pack/lzh_encoder.cpp", "for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(worker);", "<", "<=",
     "one thread more takes segments from the same counter; each segment is encoded alike "
     "whichever thread takes it"),
    ("src/pack/lzh_encoder_symbols.h", "return slot > 1 ? slot - 1 : 0;", ">", ">=",
     "slot 1 has 1 - 1 = 0 extra bits either way"),
    ("src/pack/lzh_match_finder.cpp", "return first == 1;", "==", "!=",
     "on a little-endian machine the byte-by-byte comparison finds the same common length"),
    ("src/archive/archive_input.cpp", "if (e.bits.count < n) Refill(e, e.bits);", "<", "<=",
     "a refill with exactly n bits held only adds bits; bits fetched past the data are never "
     "consumed, and only consumed ones are judged"),
    ("src/archive/member_header.cpp", "ReadLe16(fixed + kOffHeaderSize) >= kFixedHeaderBytes", ">=", ">",
     "the size is read only when its low byte is 0, so it is a multiple of 256 and never the fixed "
     "part's 26 bytes"),
] + [
    ("src/common/lzh_format.h", line, old, new,
     "a check of the method table that a static_assert runs while compiling; the table passes it")
    for line, old, new in (
        ("if (BitLength(m.dictionaryBytes - 1) >= m.positionSymbols) return false;", "return false", "return true"),
        ("if (BitLength(m.dictionaryBytes - 1) >= m.positionSymbols) return false;", ">=", ">"),
        ("m.positionSetSize > kMaxPositionSymbols) return false;", "return false", "return true"),
        ("if (m.positionSetSize > (1u << m.positionCountBits) - 1) return false;", "return false", "return true"))
]


class Mutant:
    def __init__(self, path, offset, line, column, old, new, text):
        self.path, self.offset, self.line, self.column = path, offset, line, column
        self.old, self.new, self.text = old, new, text

    @property
    def folder(self):
        return os.path.dirname(self.path)

    def where(self):
        return f"{self.path}:{self.line}"

    def change(self):
        return f"'{self.old}' -> '{self.new}'" if self.new else f"'{self.old}' dropped"


def blank_out(source):
    """The source with comments, string and character literals, preprocessor
    lines and static_asserts replaced by blanks (newlines kept), so that the
    operators found lie in code and offsets match the source."""
    out = list(source)
    n = len(source)

    def blank(start, end):
        for k in range(start, end):
            if out[k] != "\n":
                out[k] = " "

    i = 0
    line_start = True
    while i < n:
        c = source[i]
        if line_start and c == "#":
            j = i
            while j < n and not (source[j] == "\n" and source[j - 1] != "\\"):
                j += 1
            blank(i, j)
            i = j
            continue
        if c == "\n":
            line_start = True
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if source.startswith("//", i):
            j = source.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif source.startswith("/*", i):
            j = source.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == "R" and source.startswith('R"', i) and (i == 0 or not (source[i - 1].isalnum() or source[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', source[i:])
            close = ")" + m.group(1) + '"'
            j = source.find(close, i + m.end())
            j = n if j < 0 else j + len(close)
            blank(i, j)
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and (source[i - 1].isalnum() or source[i - 1] == "_"):
                # A digit separator, or the prefix of u'x', L'x', u8'x'.
                prefix = re.search(r"(\w*)$", source[:i]).group(1)
                if prefix not in ("u", "U", "L", "u8"):
                    i += 1
                    continue
            j = i + 1
            while j < n and source[j] != c:
                j += 2 if source[j] == "\\" else 1
            blank(i + 1, j)
            i = j + 1
        elif source.startswith("static_assert", i) and (i == 0 or not source[i - 1].isalnum()):
            j = source.find(";", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        else:
            i += 1
    return "".join(out)


# What the native build defines, for the conditions that choose between the
# Windows and the other side; a condition not named here keeps both branches.
NATIVE_DEFINES = {"_WIN32": False, "__SSE2__": True, "__clang__": True}


def inactive_lines(source):
    """The numbers (from 1) of the lines the native build leaves out."""
    skipped, stack = set(), []
    for number, line in enumerate(source.split("\n"), 1):
        m = re.match(r"\s*#\s*(if|ifdef|ifndef|elif|else|endif)\b\s*(.*)", line)
        if m:
            word, rest = m.group(1), m.group(2).strip()
            if word in ("if", "ifdef", "ifndef"):
                name = rest
                if word == "if":
                    found = re.fullmatch(r"defined\s*\(?\s*(\w+)\s*\)?", rest)
                    name = found.group(1) if found else None
                value = NATIVE_DEFINES.get(name)
                stack.append(None if value is None else value != (word == "ifndef"))
            elif word == "elif" and stack:
                stack[-1] = None
            elif word == "else" and stack and stack[-1] is not None:
                stack[-1] = not stack[-1]
            elif word == "endif" and stack:
                stack.pop()
            continue
        if any(value is False for value in stack):
            skipped.add(number)
    return skipped


def candidate_files():
    files = []
    for folder in FOLDERS:
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if name.startswith("win_") or not name.endswith((".cpp", ".h")):
                continue
            files.append(f"{folder}/{name}")
    return files


def is_equivalent(mutant):
    for path, piece, old, new, _reason in EQUIVALENT:
        if mutant.path == path and piece in mutant.text and mutant.old == old and mutant.new == new:
            return True
    return False


def find_mutants(path):
    with open(os.path.join(ROOT, path), encoding="utf-8", errors="surrogateescape") as f:
        source = f.read()
    code = blank_out(source)
    line_starts = [0] + [m.end() for m in re.finditer("\n", source)]
    lines = source.split("\n")
    left_out = inactive_lines(source)
    found = []
    for pattern, new in OPERATORS:
        for m in re.finditer(pattern, code):
            line = next(k for k in range(len(line_starts) - 1, -1, -1) if line_starts[k] <= m.start())
            if line + 1 in left_out:
                continue
            found.append(Mutant(path, m.start(), line + 1, m.start() - line_starts[line] + 1,
                                m.group(0), new, lines[line].strip()))
    found.sort(key=lambda mu: (mu.offset, mu.old))
    return found


def apply(source, mutant):
    return source[:mutant.offset] + mutant.new + source[mutant.offset + len(mutant.old):]


class Interrupted(Exception):
    pass


def on_terminate(_signum, _frame):
    raise Interrupted()


def run(cmd, cwd, timeout, log=None):
    """Runs cmd in a process group of its own; returns (exit code or None on
    timeout, seconds). The whole group goes when it times out or we stop."""
    start = time.monotonic()
    out = open(log, "wb") if log else subprocess.DEVNULL
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        code = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        code = None
    finally:
        if proc.poll() is None:
            # A polite stop first: ninja then stops the compilers it started
            # in process groups of their own.
            os.killpg(proc.pid, signal.SIGTERM)
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
        if log:
            out.close()
    return code, time.monotonic() - start


class Tree:
    """A copy of the source tree with its own native build."""

    def __init__(self, work, jobs):
        self.work = work
        self.src = os.path.join(work, "tree")
        self.build = os.path.join(self.src, "build", "native")
        self.jobs = jobs

    def sync(self):
        """Makes the copy's sources equal to the working tree's, touching only
        files that differ, so the copy's build stays incremental."""
        wanted = set()
        for top, dirs, files in os.walk(ROOT):
            rel = os.path.relpath(top, ROOT)
            if rel == ".":
                dirs[:] = [d for d in dirs if d not in ("build", "dist", ".git")]
                files = [f for f in files if f != ".git"]
            for name in files:
                relpath = os.path.normpath(os.path.join(rel, name))
                wanted.add(relpath)
                source, copy = os.path.join(ROOT, relpath), os.path.join(self.src, relpath)
                if os.path.islink(source):
                    continue
                if not os.path.exists(copy) or not same_bytes(source, copy):
                    os.makedirs(os.path.dirname(copy), exist_ok=True)
                    shutil.copy2(source, copy)
                    os.utime(copy)
        for top, dirs, files in os.walk(self.src):
            rel = os.path.relpath(top, self.src)
            if rel == ".":
                dirs[:] = [d for d in dirs if d not in ("build", "dist")]
            for name in files:
                if os.path.normpath(os.path.join(rel, name)) not in wanted:
                    os.remove(os.path.join(top, name))

    def add_stubs(self, folder):
        """Copies the built stubs of folder into the copy's dist/, where the
        packer's tests look for them (without, those tests skip)."""
        names = [n for n in ("quorvel-sfx-x86_64.exe", "quorvel-sfx-i686.exe")
                 if os.path.isfile(os.path.join(folder, n))]
        os.makedirs(os.path.join(self.src, "dist"), exist_ok=True)
        for name in names:
            shutil.copy2(os.path.join(folder, name), os.path.join(self.src, "dist", name))
        return names

    def configure(self):
        if os.path.exists(os.path.join(self.build, "CMakeCache.txt")):
            return True
        cmd = ["cmake", "--preset", "native"]
        if shutil.which("ninja"):
            cmd += ["-G", "Ninja"]
        code, _ = run(cmd, self.src, 600, os.path.join(self.work, "configure.log"))
        return code == 0

    def make(self, targets, timeout, log):
        code, seconds = run(["cmake", "--build", self.build, "-j", str(self.jobs), "--target", *targets],
                            self.src, timeout, log)
        return code == 0, seconds


class Suite:
    """One test program, split into a fast and a slow round by the times of
    the unmutated run."""

    def __init__(self, tree, program, slow_ms, factor):
        self.tree, self.program, self.slow_ms, self.factor = tree, program, slow_ms, factor
        self.target = program
        self.rounds = []

    def baseline(self, log):
        report = os.path.join(self.tree.work, self.program + ".json")
        code, seconds = run([os.path.join(self.tree.build, self.program), "--gtest_output=json:" + report],
                            self.tree.build, 3600, log)
        if code != 0:
            return False, seconds
        with open(report) as f:
            suites = json.load(f)["testsuites"]
        slow, fast_ms, slow_ms = [], 0.0, 0.0
        for suite in suites:
            for case in suite["testsuite"]:
                ms = float(case.get("time", "0s").rstrip("s")) * 1000
                if ms >= self.slow_ms:
                    slow.append(f"{suite['name']}.{case['name']}")
                    slow_ms += ms
                else:
                    fast_ms += ms
        slow_filter = ":".join(slow)
        self.rounds = [("-" + slow_filter, fast_ms)]
        if slow:
            self.rounds.append((slow_filter, slow_ms))
        return True, seconds

    def run(self, log):
        """'killed', 'timeout' or 'survived', and the seconds it took."""
        total = 0.0
        for test_filter, ms in self.rounds:
            limit = 20 + self.factor * ms / 1000
            code, seconds = run([os.path.join(self.tree.build, self.program), "--gtest_fail_fast",
                                 "--gtest_brief=1", "--gtest_filter=" + test_filter],
                                self.tree.build, limit, log)
            total += seconds
            if code is None:
                return "timeout", total
            if code != 0:
                return "killed", total
        return "survived", total


class ProgramSuite:
    """The packer's tests (tests/pack, run by CTest on the built program), for
    the files that only the program builds: its commands and its entry."""

    program = "quorvel-pack tests"
    target = "quorvel-pack"

    def __init__(self, tree, factor):
        self.tree, self.factor, self.limit = tree, factor, None

    def command(self):
        return ["ctest", "--test-dir", self.tree.build, "-R", "^pack_", "--stop-on-failure",
                "--output-on-failure"]

    def baseline(self, log):
        code, seconds = run(self.command(), self.tree.build, 3600, log)
        self.limit = 20 + self.factor * seconds
        return code == 0, seconds

    def run(self, log):
        code, seconds = run(self.command(), self.tree.build, self.limit, log)
        return ("timeout" if code is None else "killed" if code != 0 else "survived"), seconds


def program_only_files():
    """The files of src/pack that the packer program builds and the unit tests
    do not link: the PACK_COMMANDS list of src/pack/sources.cmake."""
    with open(os.path.join(ROOT, "src/pack/sources.cmake")) as f:
        found = re.search(r"quorvel_sources\(PACK_COMMANDS([^)]*)\)", f.read())
    return {"src/pack/" + name for name in found.group(1).split()} if found else set()


def same_bytes(a, b):
    if os.path.getsize(a) != os.path.getsize(b):
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def report(results, timings):
    columns = ["killed", "timeout", "survived", "no-compile", "equivalent"]
    by_folder = collections.defaultdict(collections.Counter)
    for mutant, outcome in results:
        by_folder[mutant.folder][outcome] += 1
        by_folder["total"][outcome] += 1
    print()
    print(f"{'folder':<14}{'mutants':>8}" + "".join(f"{c:>12}" for c in columns) + f"{'score':>8}")
    for folder in sorted(by_folder, key=lambda f: (f == "total", f)):
        counts = by_folder[folder]
        caught = counts["killed"] + counts["timeout"]
        judged = caught + counts["survived"]
        score = f"{100.0 * caught / judged:.1f}%" if judged else "-"
        print(f"{folder:<14}{sum(counts.values()):>8}" + "".join(f"{counts[c]:>12}" for c in columns)
              + f"{score:>8}")
    survivors = [m for m, outcome in results if outcome == "survived"]
    if survivors:
        print("\nsurvivors:")
        for mutant in survivors:
            print(f"  {mutant.where():<40} {mutant.change():<22} {mutant.text}")
    if timings:
        build = sum(t[0] for t in timings) / len(timings)
        tests = sum(t[1] for t in timings) / len(timings)
        print(f"\nper mutant (mean of {len(timings)}): build {build:.1f} s, tests {tests:.1f} s")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", action="store_true", help="print the mutants and stop")
    parser.add_argument("--file", action="append", default=[],
                        help="only this file (path from the top, or its end); may repeat")
    parser.add_argument("--sample", type=int, help="this many mutants, drawn with --seed")
    parser.add_argument("--only", action="append", default=[],
                        help="of the sample drawn, run only the mutants of this file, or of FILE:LINE (its end); may repeat")
    parser.add_argument("--seed", type=int, default=1, help="seed of the sample (default 1)")
    parser.add_argument("--sanitized", action="store_true",
                        help="try each survivor against unit_tests_sanitized too")
    parser.add_argument("--unit-only", action="store_true",
                        help="judge the packer's command files by the unit tests too (which do not "
                             "link them) instead of by the packer's tests")
    parser.add_argument("--stubs", default=os.path.join(ROOT, "dist"),
                        help="a folder with the built stubs, for the packer's tests that need them "
                             "(default dist)")
    parser.add_argument("--slow-ms", type=float, default=300,
                        help="tests slower than this run in the second round (default 300)")
    parser.add_argument("--timeout-factor", type=float, default=5,
                        help="a round times out at 20 s plus this many times its unmutated time")
    parser.add_argument("--jobs", type=int, default=2, help="build jobs (default 2)")
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "mutants"),
                        help="where the copy and its build live (default build/mutants)")
    args = parser.parse_args()

    files = candidate_files()
    if args.file:
        wanted = [os.path.normpath(f) for f in args.file]
        files = [f for f in files if any(f == w or f.endswith("/" + w) or os.path.abspath(w) ==
                                         os.path.join(ROOT, f) for w in wanted)]
        if not files:
            sys.exit("mutants.py: no file of " + ", ".join(FOLDERS) + " matches --file")
    mutants = [m for f in files for m in find_mutants(f)]
    if args.sample is not None and args.sample < len(mutants):
        mutants = random.Random(args.seed).sample(mutants, args.sample)
        mutants.sort(key=lambda mu: (mu.path, mu.offset))

    if args.only:
        def chosen(m):
            return any(where == o or where.endswith("/" + o) for o in args.only for where in (m.path, m.where()))
        mutants = [m for m in mutants if chosen(m)]
    equivalent = [m for m in mutants if is_equivalent(m)]
    if args.list:
        signal.signal(signal.SIGPIPE, signal.SIG_DFL)
        for m in mutants:
            print(f"{m.where():<40} {m.change():<22} {m.text}" + ("   (equivalent)" if m in equivalent else ""))
        counts = collections.Counter(m.folder for m in mutants)
        print("\n" + ", ".join(f"{folder}: {counts[folder]}" for folder in sorted(counts))
              + f"; {len(mutants)} in all, {len(equivalent)} of them known to be equivalent")
        return 0
    mutants = [m for m in mutants if m not in equivalent]

    # Ctrl-C and kill stop the run alike, also where a shell started it in
    # the background with SIGINT ignored.
    signal.signal(signal.SIGTERM, on_terminate)
    signal.signal(signal.SIGINT, on_terminate)
    program_files = set() if args.unit_only else program_only_files() & {m.path for m in mutants}
    tree = Tree(os.path.abspath(args.work), args.jobs)
    os.makedirs(tree.work, exist_ok=True)
    log = os.path.join(tree.work, "last.log")
    print(f"copying the sources to {tree.src}", flush=True)
    tree.sync()
    if program_files:
        stubs = tree.add_stubs(args.stubs)
        print("stubs for the packer's tests: " + (", ".join(stubs) if stubs else
                                                  f"none in {args.stubs}; the tests that need them skip"), flush=True)
    if not tree.configure():
        sys.exit(f"mutants.py: the copy does not configure; see {tree.work}/configure.log")
    unit_suites = [Suite(tree, t, args.slow_ms, args.timeout_factor)
                   for t in ["unit_tests"] + (["unit_tests_sanitized"] if args.sanitized else [])]
    program_suites = [ProgramSuite(tree, args.timeout_factor)] if program_files else []
    suites = unit_suites + program_suites
    print("building the unmutated tree", flush=True)
    ok, seconds = tree.make([suite.target for suite in suites], 7200, log)
    if not ok:
        sys.exit(f"mutants.py: the unmutated tree does not build; see {log}")
    for suite in suites:
        ok, seconds = suite.baseline(log)
        if not ok:
            sys.exit(f"mutants.py: {suite.program} fails before any mutation; see {log}")
        print(f"{suite.program} passes unmutated in {seconds:.1f} s", flush=True)

    results, timings = [(m, "equivalent") for m in equivalent], []
    current_path, current_source = None, None

    def restore():
        if current_path is not None:
            write_source(os.path.join(tree.src, current_path), current_source)

    try:
        for index, mutant in enumerate(mutants, 1):
            if mutant.path != current_path:
                restore()
                current_path = mutant.path
                with open(os.path.join(tree.src, current_path), encoding="utf-8",
                          errors="surrogateescape") as f:
                    current_source = f.read()
            write_source(os.path.join(tree.src, current_path), apply(current_source, mutant))
            # Each suite in turn, as long as the mutant survives: the build
            # of the first tells whether it compiles at all.
            build_seconds = test_seconds = 0.0
            outcome = "survived"
            for suite in program_suites if mutant.path in program_files else unit_suites:
                built, seconds = tree.make([suite.target], 900, log)
                build_seconds += seconds
                if not built:
                    outcome = "no-compile"
                    break
                outcome, seconds = suite.run(log)
                test_seconds += seconds
                if outcome != "survived":
                    break
            if outcome != "no-compile":
                timings.append((build_seconds, test_seconds))
            results.append((mutant, outcome))
            print(f"[{index:>3}/{len(mutants)}] {outcome:<10} {mutant.where():<40} {mutant.change():<22}"
                  f" build {build_seconds:5.1f} s, tests {test_seconds:5.1f} s", flush=True)
    except (KeyboardInterrupt, Interrupted):
        print("\nstopped; the results so far:", flush=True)
    finally:
        restore()
    report(results, timings)
    return 0


def write_source(path, text):
    with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
        f.write(text)
    # A build that finished within the file system's time resolution must
    # still see the file as newer than its object.
    now = time.time_ns()
    os.utime(path, ns=(now, now))


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (KeyboardInterrupt, Interrupted):
        sys.exit("mutants.py: stopped before any mutant ran")
