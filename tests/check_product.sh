#!/usr/bin/env bash
# Static checks of the Windows product: what it imports, its manifest resource and its size.
set -uo pipefail
exe=$1
objdump=i686-w64-mingw32-objdump
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

dump=$($objdump -p "$exe")
dlls=$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | sort -u | tr '\n' ' ')
check "imports only KERNEL32, USER32, msvcrt (has: $dlls)" \
  '[ -z "$(echo "$dlls" | tr " " "\n" | grep -v -i -x -E "kernel32.dll|user32.dll|msvcrt.dll|")" ]'
check "GUI subsystem" 'echo "$dump" | grep -q "Subsystem.*(Windows GUI)"'
check "manifest resource type 24, id 1, language 1033" \
  'echo "$dump" | grep -A6 "Entry: ID: 0x000018" | grep -A3 "Entry: ID: 0x000001" | grep -q "Entry: ID: 0x000409"'

rc=$(i686-w64-mingw32-windres -i "$exe" -O rc 2>/dev/null)
manifest=$(echo "$rc" | sed -n '/^BEGIN/,/^END/p' | sed -e '1d;$d' -e 's/^ *"//' -e 's/\\n" *$//' \
  -e 's/" *$//' -e 's/""/"/g')
check "manifest: identity x86 'xqt' win32 1.0.0.0, description, requireAdministrator without uiAccess" \
  'echo "$manifest" | python3 -c "
import sys, xml.etree.ElementTree as ET
v1, v3 = \"{urn:schemas-microsoft-com:asm.v1}\", \"{urn:schemas-microsoft-com:asm.v3}\"
root = ET.fromstring(sys.stdin.read())
assert root.tag == v1 + \"assembly\" and root.get(\"manifestVersion\") == \"1.0\"
ident = root.find(v1 + \"assemblyIdentity\").attrib
assert ident == {\"version\": \"1.0.0.0\", \"processorArchitecture\": \"x86\", \"name\": \"xqt\", \"type\": \"win32\"}, ident
assert root.find(v1 + \"description\").text.strip()
level = root.find(v3 + \"trustInfo/\" + v3 + \"security/\" + v3 + \"requestedPrivileges/\" + v3 + \"requestedExecutionLevel\")
assert level.attrib == {\"level\": \"requireAdministrator\", \"uiAccess\": \"false\"}, level.attrib
"'

size=$(stat -c %s "$exe")
check "size $size bytes <= 32768" '[ "$size" -le 32768 ]'
exit $fail
