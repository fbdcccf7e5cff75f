#!/usr/bin/env bash
# Checks the Windows executable: it imports only Windows system DLLs (nothing from the compiler's
# run time or elsewhere that a user's computer would lack), and it carries its resources: the two
# icons and the firmware as type "ZEB_FIRMWARE", 112 (Target) and, in a two-stage build, 319
# (Transition), each byte for byte the image it was built from, all under language 1033.
#
#   check_exe.sh ZEBUPGRADE.EXE OBJDUMP TARGET_IMAGE[;TRANSITION_IMAGE]
set -euo pipefail
exe=$1
objdump=$2
IFS=';' read -r -a images <<<"$3"

# DLLs every Windows computer has.
allowed='^(kernel32|user32|gdi32|comctl32|wsock32|ws2_32|winmm|msvcrt|advapi32|shell32)\.dll$'
mapfile -t dlls < <("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
if [ "${#dlls[@]}" -eq 0 ]; then
    echo "FAIL: no imports found in $exe" >&2
    exit 1
fi
status=0
for dll in "${dlls[@]}"; do
    if ! [[ ${dll,,} =~ $allowed ]]; then
        echo "FAIL: $exe imports $dll, which is not a Windows system DLL" >&2
        status=1
    fi
done
for needed in kernel32 user32 comctl32 wsock32 winmm; do
    if ! printf '%s\n' "${dlls[@],,}" | grep -qx "$needed.dll"; then
        echo "FAIL: $exe does not import $needed.dll" >&2
        status=1
    fi
done
echo "imports: ${dlls[*]}"

python3 - "$exe" "${images[@]}" <<'PYTHON' || status=1
# Walks the PE resource directory (type / name / language) and compares the resources.
import struct, sys

exe, images = sys.argv[1], sys.argv[2:]
data = open(exe, "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections_count = struct.unpack_from("<H", data, pe + 6)[0]
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
optional = pe + 24
magic = struct.unpack_from("<H", data, optional)[0]
directories = optional + (112 if magic == 0x20B else 96)
rsrc_rva, rsrc_size = struct.unpack_from("<II", data, directories + 2 * 8)
sections = []
for i in range(sections_count):
    s = optional + optional_size + 40 * i
    vsize, va, rawsize, raw = struct.unpack_from("<IIII", data, s + 8)
    sections.append((va, max(vsize, rawsize), raw))

def offset(rva):
    for va, size, raw in sections:
        if va <= rva < va + size:
            return rva - va + raw
    raise SystemExit("FAIL: RVA %#x outside every section" % rva)

base = offset(rsrc_rva)

def entries(table):
    named, ids = struct.unpack_from("<HH", data, base + table + 12)
    for i in range(named + ids):
        name, target = struct.unpack_from("<II", data, base + table + 16 + 8 * i)
        if name & 0x80000000:
            at = base + (name & 0x7FFFFFFF)
            length = struct.unpack_from("<H", data, at)[0]
            key = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        else:
            key = name
        yield key, target

def resources():
    found = {}
    for rtype, t in entries(0):
        for rname, n in entries(t & 0x7FFFFFFF):
            for lang, leaf in entries(n & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                found[(rtype, rname, lang)] = data[offset(rva):offset(rva) + size]
    return found

found = resources()
RT_GROUP_ICON = 14
expected = {("ZEB_FIRMWARE", 112, 1033): open(images[0], "rb").read()}
if len(images) > 1 and images[1]:
    expected[("ZEB_FIRMWARE", 319, 1033)] = open(images[1], "rb").read()
failed = False
for key, image in expected.items():
    got = found.get(key)
    if got is None:
        print("FAIL: resource %s %d (language %d) is missing" % key, file=sys.stderr)
        failed = True
    elif got != image:
        print("FAIL: resource %s %d holds %d bytes that differ from the %d-byte image"
              % (key[0], key[1], len(got), len(image)), file=sys.stderr)
        failed = True
    else:
        print("resource %s %d: %d bytes, identical to the image" % (key[0], key[1], len(got)))
firmware = sorted(k for k in found if k[0] == "ZEB_FIRMWARE")
if firmware != sorted(expected):
    print("FAIL: firmware resources %s, expected %s" % (firmware, sorted(expected)),
          file=sys.stderr)
    failed = True
for icon in (106, 286):
    group = found.get((RT_GROUP_ICON, icon, 1033))
    if group is None:
        print("FAIL: icon group %d (language 1033) is missing" % icon, file=sys.stderr)
        failed = True
        continue
    # GRPICONDIR: reserved, type 1, count, then 14-byte entries (width, height, colours, ...).
    count = struct.unpack_from("<H", group, 4)[0]
    sizes = [(group[6 + 14 * i] or 256, group[7 + 14 * i] or 256) for i in range(count)]
    if (32, 32) not in sizes:
        print("FAIL: icon group %d has no 32x32 image: %s" % (icon, sizes), file=sys.stderr)
        failed = True
    else:
        print("icon %d: images %s" % (icon, sizes))
sys.exit(1 if failed else 0)
PYTHON
exit $status
