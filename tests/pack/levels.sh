#!/usr/bin/env bash
# Archives of every header level and method, made by other writers: jlha
# (levels 0 to 2, -lh0-/-lh5-/-lh6-/-lh7-), Debian's jlha library through a
# few lines of Java (levels 0 to 3, -lh1-, -lh4-, -lzs-, -lz4-, -lz5-), and a
# header builder below that wraps the -pm0-/-pm1-/-pm2- streams of
# scripts/make-legacy-seeds.py and adds what those writers never write (the
# Unix extended headers, level 0's Unix area, symbolic links, unknown
# extended headers, an archive behind a program). For each, `list`, `test`
# and `extract` must agree with lhasa: the same member count, and the same
# names and bytes on disk.
#   levels.sh PATH/TO/quorvel-pack
# Deliberate differences, not checked against lhasa: a backslash in a name is
# a separator at every level here (lhasa keeps it in level-2/3 file names of
# Unix members); symbolic links are compared as links, not followed; a name
# put in lower case keeps its Shift_JIS characters whole (lhasa lower-cases
# their second bytes too, which makes other characters of them).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
pack_test levels "$1"
for tool in lhasa jlha javac python3; do
  command -v "$tool" > /dev/null || { echo "levels: $tool is missing; skipped"; exit 77; }
done
export TZ=UTC

mkdir -p src/sub
python3 -c "
import random
random.seed(21)
open('src/rand.bin', 'wb').write(random.randbytes(3000))
open('src/sub/text.txt', 'w').write(''.join('line %d of a text that repeats itself\n' % i for i in range(400)))
"

# ---- Writers ----------------------------------------------------------------

cat > MakeLzh.java <<'EOF'
import java.io.*;
import jp.gr.java_conf.dangan.util.lha.*;

// MakeLzh OUT LEVEL METHOD OSID NAME=FILE...: every member in METHOD.
public class MakeLzh {
  public static void main(String[] a) throws Exception {
    LhaOutputStream out = new LhaOutputStream(new FileOutputStream(a[0]));
    for (int i = 4; i < a.length; ++i) {
      String[] nf = a[i].split("=", 2);
      File f = new File(nf[1]);
      LhaHeader h = new LhaHeader(nf[0]);
      h.setHeaderLevel(Integer.parseInt(a[1]));
      h.setCompressMethod(a[2]);
      h.setOSID((byte) a[3].charAt(0));
      h.setLastModified(new java.util.Date(f.lastModified()));
      out.putNextEntry(h);
      InputStream in = new FileInputStream(f);
      byte[] b = new byte[8192];
      for (int n; (n = in.read(b)) > 0;) out.write(b, 0, n);
      in.close();
      out.closeEntry();
    }
    out.close();
  }
}
EOF
javac -cp /usr/share/java/jlha.jar MakeLzh.java
archives=()
for method in lh0 lh1 lh4 lh5 lzs lz4 lz5; do
  for level in 0 1 2 3; do
    java -cp /usr/share/java/jlha.jar:. MakeLzh "java-$method-$level.lzh" "$level" "-$method-" M \
      rand.bin=src/rand.bin sub/text.txt=src/sub/text.txt
    archives+=("java-$method-$level.lzh")
  done
done
for level in 0 1 2; do
  for method in 6 7; do
    (cd src && jlha "c${level}o$method" "../jlha-$level-lh$method.lzh" rand.bin sub/text.txt > /dev/null)
    archives+=("jlha-$level-lh$method.lzh")
  done
done

# The header builder: members of any level around a given stream.
for method in -pm1- -pm2-; do
  "$here/scripts/make-legacy-seeds.py" --encode "$method" src/sub/text.txt "stream$method"
done
cat > build.py <<'EOF'
import struct, sys, time

def crc16(data, crc=0):
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc

def ext(t, data, wide=False):
    size = 1 + len(data) + (4 if wide else 2)
    return struct.pack('<I' if wide else '<H', size), bytes([t]) + data

def chain(exts, wide=False):
    # Each extended header's size precedes it; the last one's next size is 0.
    out = b''
    for i, (size, body) in enumerate(exts):
        out += body
        out += exts[i + 1][0] if i + 1 < len(exts) else (b'\0' * (4 if wide else 2))
    first = exts[0][0] if exts else b'\0' * (4 if wide else 2)
    return first, out

def member(level, method, name, original, stream, os=b'U', exts=(), unix_area=None, stamp=1000000000, short=0):
    crc = crc16(original)
    if level in (0, 1):
        dos = (((2001 - 1980) << 25) | (9 << 21) | (9 << 16) | (1 << 11) | (46 << 5) | 20)
        body = method + struct.pack('<IIIBB', 0, len(original), dos, 0x20, level)
        body += bytes([len(name)]) + name + struct.pack('<H', crc)
        tail = b''
        if level == 0 and unix_area is not None:
            body += unix_area
        if level == 1:
            exts = [ext(t, d) for t, d in exts]
            first, tail = chain(exts)
            body += os + first
        packed = len(stream) + len(tail)
        body = body[:5] + struct.pack('<I', packed) + body[9:]
        head = bytes([len(body), sum(body) & 0xFF]) + body
        return head + tail + stream
    wide = level == 3
    # The folder goes into its own header, each level ending in 0xFF.
    folder, _, leaf = name.rpartition(b'/')
    exts = [ext(0x00, b'\0\0', wide), ext(0x01, leaf, wide)] + [ext(t, d, wide) for t, d in exts]
    if folder:
        exts.append(ext(0x02, folder.replace(b'/', b'\xff') + b'\xff', wide))
    first, tail = chain(exts, wide)
    fixed = method + struct.pack('<IIIBBHB', len(stream), len(original), stamp, 0x20, level, crc, os[0])
    if wide:
        head = struct.pack('<H', 4) + fixed + struct.pack('<I', 32 + len(tail)) + first + tail
    else:
        head = struct.pack('<H', 26 + len(tail) - short) + fixed + first + tail
    crc_at = (32 if wide else 26) + 1  # the CRC header's data
    h = crc16(head)
    return head[:crc_at] + struct.pack('<H', h) + head[crc_at + 2:] + stream

text = open('src/sub/text.txt', 'rb').read()
rand = open('src/rand.bin', 'rb').read()
unix = [(0x50, struct.pack('<H', 0o100640)), (0x51, struct.pack('<HH', 100, 1000)),
        (0x52, b'staff'), (0x53, b'someone'), (0x54, struct.pack('<I', 1234567890)),
        (0x7E, b'an extended header no reader knows')]
link = [(0x50, struct.pack('<H', 0o120777))]
area = b'U\0' + struct.pack('<IHHH', 1111111111, 0o100755, 1000, 1000)

def write(path, *members):
    open(path, 'wb').write(b''.join(members) + b'\0')

for level in (0, 1, 2, 3):
    for m in ('-pm1-', '-pm2-'):
        write('built-%s-%d.lzh' % (m.strip('-'), level),
              member(level, m.encode(), b'sub/text.txt', text, open('stream' + m, 'rb').read()),
              member(level, b'-pm0-', b'rand.bin', rand, rand))
write('built-unix-0.lzh', member(0, b'-lh0-', b'tool', text, text, unix_area=area))
for level in (1, 2, 3):
    write('built-unix-%d.lzh' % level,
          member(level, b'-lh0-', b'sub/notes', text, text, exts=unix),
          member(level, b'-lhd-', b'sub/link|notes', b'', b'', exts=link))
write('escaping-link.lzh', member(2, b'-lhd-', b'up|../../etc/passwd', b'', b'', exts=link))
write('level-5.lzh', member(2, b'-lh0-', b'x', b'x', b'x')[:20] + b'\5' + b'\0' * 40)
write('method-xyz.lzh', member(1, b'-xyz-', b'x', b'x', b'x'))
# What each system's writers meant. Names from MS-DOS, OS/2, the Atari and
# no given system without a lower-case letter are meant in lower case (at
# level 0 an area of another version than 0 names no system); the others
# keep their case.
for level in (0, 1, 2, 3):
    names = [(b'M', b'DOS/READ.ME'), (b'M', b'Doc/READ.ME'), (b'2', b'OS2/READ.ME'), (b'a', b'ST/READ.ME'),
             (b'\0', b'NONE/READ.ME'), (b'W', b'NT/READ.ME'), (b' ', b'ARK/READ.ME'), (b'A', b'AMIGA/READ.ME')]
    write('built-case-%d.lzh' % level,
          *[member(level, b'-lh0-', n, n, n, os=os, unix_area=b'U\1' + bytes(10) if os == b'M' else None) for os, n in names])
# OS-9/68K: the mode holds OS-9 permissions (0x2F: owner read, write,
# execute, public read, execute; 0x0B: owner read, write, public read), in
# level 0's area or 0x50; its level-2 header is 2 bytes longer than it says.
for level in (0, 1, 2, 3):
    write('built-os9-%d.lzh' % level, *[
        member(level, b'-lh0-', name, text, text, os=b'K', short=2 if level == 2 else 0,
               unix_area=b'K\0' + struct.pack('<IHHH', 1111111111, bits, 7, 7), exts=[(0x50, struct.pack('<H', bits))])
        for name, bits in ((b'run', 0x2F), (b'data', 0x0B))])
# MacLHA: a MacBinary header (a name, the Mac's local time, the data fork's
# and the resource fork's sizes; MacBinary II's version) before a data fork
# padded to 128 bytes; only the member's own, of a time within 14 hours of
# the header's, without a resource fork, is taken away.
def macbinary(name, fork, resource=b'', hours=1, version=0):
    h = bytearray(128)
    h[1] = len(name)
    h[2:2 + len(name)] = name
    h[83:91] = struct.pack('>II', len(fork), len(resource))
    mac = 1000000000 + 2082844800 + round(hours * 3600)  # from 1904
    h[91:99] = struct.pack('>II', mac, mac)
    h[122] = version
    pad = lambda b: b + bytes(-len(b) % 128)
    return bytes(h) + pad(fork) + (pad(resource) if resource else b'')
for level in (1, 2):
    write('built-mac-%d.lzh' % level, *[member(level, b'-lh0-', n, d, d, os=b'm') for n, d in (
        (b'Fork', macbinary(b'Fork', text[:1000])), (b'Both', macbinary(b'Both', text[:300], rand[:200])),
        (b'Other', macbinary(b'Fork', text[:200])), (b'Edge', macbinary(b'Edge', text[:200], hours=-14)),
        (b'Past', macbinary(b'Past', text[:200], hours=14 + 1 / 3600)), (b'Two', macbinary(b'Two', text[:9], version=129)))])
prog = b'MZ' + bytes(range(256)) * 40
open('behind-program.exe', 'wb').write(prog + open('java-lh5-1.lzh', 'rb').read())
# A method name in the program before the archive: no header, whose checksum
# tells (lhasa stops there and finds nothing).
decoy = prog + b'-lh5- looks like a method but is no header' + bytes(64)
open('behind-decoy.exe', 'wb').write(decoy + open('java-lz5-3.lzh', 'rb').read())
EOF
python3 build.py
archives+=(built-*.lzh behind-program.exe)

# ---- Each archive against lhasa ----------------------------------------------

tree() { (cd "$1" && find . -mindepth 1 -printf '%y %p %l\n' | sort); }
umask 022
for a in "${archives[@]}"; do
  run test "$a"
  [ "$rc" -eq 0 ] || { bad "$a: test: $err"; continue; }
  run list --json "$a"
  ours=$(python3 -c "import json,sys; print(len(json.load(sys.stdin)['members']))" <<< "$out")
  theirs=$(lhasa l "$a" | sed -n 's/^ *Total *\([0-9]*\) files\?.*/\1/p')
  [ "$ours" = "$theirs" ] || bad "$a: $ours members listed, lhasa $theirs"
  mkdir -p "x-$a" "y-$a"
  (cd "y-$a" && lhasa xq "../$a" > /dev/null 2>&1) || bad "$a: lhasa cannot extract it"
  run extract "$a" -o "x-$a" --quiet
  [ "$rc" -eq 0 ] || { bad "$a: extract: $err"; continue; }
  [ "$(tree "x-$a")" = "$(tree "y-$a")" ] || bad "$a: not the names lhasa extracts: $(diff <(tree "x-$a") <(tree "y-$a") | tr '\n' ' ')"
  diff -r --no-dereference "x-$a" "y-$a" > /dev/null || bad "$a: not the bytes lhasa extracts"
done

# What a Unix member carries: mode (without what the umask takes), time, and
# the owner as the listing shows it; an OS-9/68K member's mode is lhasa's.
for a in built-os9-*.lzh; do
  for f in run data; do
    [ "$(stat -c %a "x-$a/$f")" = "$(stat -c %a "y-$a/$f")" ] || bad "$a: $f: mode $(stat -c %a "x-$a/$f")"
  done
done
[ "$(stat -c %a x-built-unix-1.lzh/sub/notes)" = 640 ] || bad "the Unix mode was not restored"
[ "$(stat -c %a x-built-unix-0.lzh/tool)" = 755 ] || bad "level 0's Unix mode was not restored"
[ "$(stat -c %Y x-built-unix-2.lzh/sub/notes)" = 1234567890 ] || bad "the Unix time was not restored"
run list --json built-unix-3.lzh
grep -q '"unixUser": "someone"' <<< "$out" && grep -q '"level": 3' <<< "$out" || bad "list --json: no owner or level: $out"

# Refusals: each names what it means, and leaves nothing behind.
while IFS='|' read -r file command want; do
  rm -rf out
  args=("$command" "$file")
  [ "$command" != extract ] || args+=(-o out)
  run "${args[@]}"
  [ "$rc" -eq 1 ] && grep -q -- "$want" <<< "$err" || bad "$command $file: '$err' (rc $rc), wanted '$want'"
  [ ! -e out/up ] || bad "$command $file: left a link behind"
done <<'EOF'
escaping-link.lzh|extract|leads outside the destination
level-5.lzh|list|header level 5 not supported
method-xyz.lzh|test|method -xyz- not supported
EOF
run test behind-decoy.exe
[ "$rc" -eq 0 ] || bad "the archive behind a decoy header was not found: $err"
run list method-xyz.lzh
[ "$rc" -eq 0 ] || bad "a member of an unknown method is not listed: $err"

# Any archive becomes one the stub reads: level 2, its methods, the same
# names, sizes, CRCs and times; links are skipped with a warning.
fields() {
  python3 -c "import json,sys; [print(m['name'], m['size'], m['crc'], m['modified'])
                               for m in json.load(sys.stdin)['members'] if 'linkTarget' not in m]"
}
for a in java-lh1-0.lzh java-lzs-1.lzh java-lz5-3.lzh built-pm2-0.lzh jlha-1-lh7.lzh built-unix-2.lzh \
         built-case-1.lzh built-os9-2.lzh; do
  run create -q -o "re-$a" --archive "$a" --method lh5
  [ "$rc" -eq 0 ] || { bad "create --archive $a: $err"; continue; }
  run list --json "$a"
  before=$(fields <<< "$out")
  run list --json "re-$a"
  [ "$(fields <<< "$out")" = "$before" ] || bad "create --archive $a: other members: $(fields <<< "$out")"
  grep -q '"level": [013]' <<< "$out" && bad "create --archive $a: a header not of level 2"
  lhasa t "re-$a" > /dev/null 2>&1 || bad "create --archive $a: lhasa refuses the result"
done
run create -q -o re.lzh --archive built-unix-2.lzh
grep -q "skipped symbolic link sub/link -> notes" <<< "$err" || bad "a link member was not skipped with a warning: $err"
run create -q -o re-mac.lzh --archive built-mac-2.lzh
run extract re-mac.lzh -o x-re-mac --quiet
diff -r x-re-mac y-built-mac-2.lzh > /dev/null || bad "create --archive: not the data forks that lhasa extracts"

finish "${#archives[@]} archives of levels 0 to 3 and every method read as lhasa reads them"
