#!/usr/bin/env python3
"""Links the stub with a linker script of our own: GNU ld's default one with
two changes that make the file smaller and leave the program as it is.

usage: stub_link.py WORK_DIR LINK_COMMAND...   (the build's link command)

- Read-only data that the program reaches only by address (.xdata, the
  unwind codes that .pdata points at) and the import tables share the
  .rdata section: each section of its own costs its padding to the file
  alignment. The import directory is found through the linker's symbols,
  not by section name, so it stays right; .pdata, .rsrc and .reloc keep
  their own sections, since the linker sets their directories by name.
- x86-64 only: the default script keeps every .pdata entry, so the
  functions they point at survive --gc-sections even when nothing calls
  them. A first link without that keep names the code that nothing
  reaches; the real link discards it together with its unwind entries.

Any other command of the link rule (the archive steps) is run unchanged.
"""
import os
import re
import subprocess
import sys


def run(command, **kwargs):
    return subprocess.run(command, check=False, **kwargs)


def default_script(compiler):
    ld = subprocess.run([compiler, "-print-prog-name=ld"], check=True, capture_output=True,
                        text=True).stdout.strip()
    text = subprocess.run([ld, "--verbose"], check=True, capture_output=True, text=True).stdout
    parts = text.split("=" * 50)
    if len(parts) < 3:
        sys.exit("stub_link.py: no default script from %s --verbose" % ld)
    return parts[1].split("\n", 1)[1]


def replace_once(script, old, new):
    if script.count(old) != 1:
        sys.exit("stub_link.py: the default linker script has changed: %r" % old)
    return script.replace(old, new)


def merged_script(script, x64):
    # The read-only data joins the import tables' section, behind them: the
    # linker finds the import directory at the start of the section named
    # .idata.
    rdata = re.search(r"\n  \.rdata BLOCK\(__section_alignment__\) :\n  \{\n(.*?)\n  \}\n", script, re.S)
    if not rdata:
        sys.exit("stub_link.py: the default linker script has changed: .rdata")
    script = script.replace(rdata.group(0), "\n")
    moved = "    . = ALIGN(16);\n" + rdata.group(1) + "\n"
    if x64:
        script = replace_once(script, "  .xdata BLOCK(__section_alignment__) :\n  {\n    KEEP(*(.xdata*))\n  }\n", "")
        moved += "    . = ALIGN(4);\n    KEEP(*(.xdata*))\n"
    return replace_once(script, "    KEEP (SORT(*)(.idata$7))\n", "    KEEP (SORT(*)(.idata$7))\n" + moved)


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


def main():
    work, command = sys.argv[1], sys.argv[2:]
    if "-Wl,--gc-sections" not in command:
        return run(command).returncode
    compiler = command[0]
    script = default_script(compiler)
    x64 = "OUTPUT_FORMAT(pei-x86-64)" in script
    os.makedirs(work, exist_ok=True)
    merged = merged_script(script, x64)
    if x64:
        probe_script = os.path.join(work, "probe.ld")
        write(probe_script, merged.replace("KEEP(*(.pdata*))", "*(.pdata*)"))
        output = command.index("-o") + 1
        probe = list(command)
        probe[output] = os.path.join(work, "probe.exe")
        probe += ["-Wl,-T," + probe_script, "-Wl,--print-gc-sections"]
        probed = run(probe, capture_output=True, text=True)
        if probed.returncode != 0:
            sys.stderr.write(probed.stderr)
            return probed.returncode
        # Each section as the probe named it: that copy, in that object file
        # (an inline function has a copy in every file that uses it).
        dead = sorted(set(re.findall(
            r"removing unused section '\.text\$([^'\[]+)[^']*' in file '(?:[^']*/)?([^'/(]+)\(([^')]+)\)'",
            probed.stderr)))
        discard = "".join("    *%s:%s(.text$%s .pdata$%s .xdata$%s)\n" % (a, m, n, n, n) for n, a, m in dead)
        merged = replace_once(merged, "SECTIONS\n{\n", "SECTIONS\n{\n  /DISCARD/ :\n  {\n" + discard + "  }\n")
    final_script = os.path.join(work, "stub.ld")
    write(final_script, merged)
    return run(command + ["-Wl,-T," + final_script]).returncode


if __name__ == "__main__":
    sys.exit(main())
