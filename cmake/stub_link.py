#!/usr/bin/env python3
"""Links the stub with a linker script of our own: GNU ld's default one with
the stub's data laid out in fewer sections, which makes the file smaller and
leaves the program as it is.

usage: stub_link.py WORK_DIR LINK_COMMAND...   (the build's link command)

Each section costs its padding to the file alignment (512 bytes), so the
read-only data shares one section, .rdata, not writable:
- x86-64: the constants, the import tables (as Microsoft's linker lays them
  out: the loader makes the address table writable while it binds it, by the
  import address table directory), the unwind codes (.xdata), the exception
  table (.pdata) and the resources. The code stays alone in .text, and the
  default script's keep of every .pdata entry goes: it kept the functions
  they point at alive under --gc-sections even when nothing calls them. A
  first link without it names the code that nothing reaches; the real link
  discards it together with its unwind entries.
- i686: the constants and the resources. The import tables keep their
  writable .idata section, as Windows 95 and NT 3.51 expect them.

The linker sets the exception and resource directories only for sections of
those names, so after the link this script sets them from the symbols the
script placed around the table and the resources (read from the link map),
and sorts the exception table by address, as the linker does for a .pdata
section and as Windows' search by halving needs.

Any other command of the link rule (the archive steps) is run unchanged.
"""
import os
import re
import struct
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


def cut_block(script, name):
    """Removes the output section NAME from the script and returns its contents."""
    block = re.search(r"\n  \%s BLOCK\(__section_alignment__\) :[^\n]*\n  \{\n(.*?)\n  \}\n" % name, script, re.S)
    if not block:
        sys.exit("stub_link.py: the default linker script has changed: %s" % name)
    return script.replace(block.group(0), "\n"), block.group(1)


def merged_script(script, x64):
    script, rdata = cut_block(script, ".rdata")
    script, _ = cut_block(script, ".rsrc")
    contents = ""
    if x64:
        script, idata = cut_block(script, ".idata")
        script, _ = cut_block(script, ".pdata")
        script, _ = cut_block(script, ".xdata")
        # The import directory: the descriptors and the empty one that ends them.
        idata = replace_once(idata, "    KEEP (SORT(*)(.idata$2))\n",
                             "    __stub_import_start = .;\n    KEEP (SORT(*)(.idata$2))\n")
        idata = replace_once(idata, "    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);\n",
                             "    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);\n    __stub_import_end = .;\n")
        contents += idata + "\n    . = ALIGN(16);\n"
    contents += rdata + "\n"
    if x64:
        contents += ("    . = ALIGN(4);\n    KEEP(*(.xdata*))\n"
                     "    . = ALIGN(4);\n    __stub_pdata_start = .;\n    KEEP(*(.pdata*))\n"
                     "    __stub_pdata_end = .;\n")
    contents += ("    . = ALIGN(4);\n    __stub_rsrc_start = .;\n    KEEP(*(.rsrc))\n    KEEP(*(.rsrc$*))\n"
                 "    __stub_rsrc_end = .;\n")
    section = "  .rdata BLOCK(__section_alignment__) (READONLY) :\n  {\n" + contents + "  }\n"
    return replace_once(script, "  .bss BLOCK(__section_alignment__) :\n", section + "  .bss BLOCK(__section_alignment__) :\n")


def map_symbols(path, names):
    values = {}
    with open(path) as f:
        for line in f:
            m = re.match(r"\s+0x([0-9a-f]+)\s+(\w+) = \.", line)
            if m and m.group(2) in names:
                values[m.group(2)] = int(m.group(1), 16)
    missing = [n for n in names if n not in values]
    if missing:
        sys.exit("stub_link.py: the link map names no %s" % ", ".join(missing))
    return values


def set_directories(image_path, map_path, x64):
    """Points the resource directory (and on x86-64 the import and exception
    directories) at what the script placed in .rdata, sorts the exception table, and makes sure .rdata
    is not writable."""
    names = ["__stub_rsrc_start", "__stub_rsrc_end"]
    if x64:
        names += ["__stub_import_start", "__stub_import_end", "__stub_pdata_start", "__stub_pdata_end"]
    symbols = map_symbols(map_path, names)
    with open(image_path, "rb") as f:
        image = bytearray(f.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_bytes = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    base = struct.unpack_from("<Q" if x64 else "<I", image, optional + (24 if x64 else 28))[0]
    directories = optional + (112 if x64 else 96)
    headers = [optional + optional_bytes + 40 * i for i in range(sections)]

    def file_offset(rva):
        for h in headers:
            size, va, _, raw = struct.unpack_from("<4I", image, h + 8)
            if va <= rva < va + size:
                return raw + rva - va
        sys.exit("stub_link.py: address 0x%x lies in no section" % rva)

    def set_directory(index, start, end):
        struct.pack_into("<II", image, directories + 8 * index, start - base, end - start)

    set_directory(2, symbols["__stub_rsrc_start"], symbols["__stub_rsrc_end"])
    if x64:
        set_directory(1, symbols["__stub_import_start"], symbols["__stub_import_end"])
        start, end = symbols["__stub_pdata_start"] - base, symbols["__stub_pdata_end"] - base
        set_directory(3, start + base, end + base)
        at = file_offset(start)
        entries = [bytes(image[i:i + 12]) for i in range(at, at + end - start, 12)]
        entries.sort(key=lambda e: struct.unpack_from("<I", e)[0])
        image[at:at + end - start] = b"".join(entries)
    for h in headers:
        if image[h:h + 8].rstrip(b"\0") == b".rdata":
            flags = struct.unpack_from("<I", image, h + 36)[0]
            struct.pack_into("<I", image, h + 36, flags & ~0x80000000)  # IMAGE_SCN_MEM_WRITE
    with open(image_path, "wb") as f:
        f.write(image)


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
    link_map = os.path.join(work, "stub.map")
    linked = run(command + ["-Wl,-T," + final_script, "-Wl,-Map," + link_map])
    if linked.returncode != 0:
        return linked.returncode
    set_directories(command[command.index("-o") + 1], link_map, x64)
    return 0


if __name__ == "__main__":
    sys.exit(main())
