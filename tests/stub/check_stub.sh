#!/usr/bin/env bash
# Checks the built installer stub: its size, the DLLs it imports, that no
# payload signature can be found in it, and its resources.
# usage: check_stub.sh SETUP_EXE OBJDUMP
# Needs wrestool and icotool (icoutils). Every check runs; each failure is
# reported, and the exit status is 1 if any failed.
set -euo pipefail
exe=$1
objdump=$2

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in wrestool icotool; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool not found (icoutils)"; exit 1; }
done
[ -f "$exe" ] || { echo "FAIL: $exe does not exist"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- Size -------------------------------------------------------------------
# The packer pads the stub to 89999 bytes and puts the payload there, so the
# stub must end before it; the budget we keep is 56 KiB. The linker map
# beside the stub (setup.map) shows what grew.
size=$(stat -c %s "$exe")
budget=$((56 * 1024))
echo "$(basename "$exe"): $size bytes (budget $budget)"
[ "$size" -lt 89999 ] || fail "the stub is $size bytes, it must stay below 89999"
[ "$size" -le "$budget" ] || fail "the stub is $size bytes, over its budget of $budget; see setup.map"
[ -s "${exe%.exe}.map" ] || fail "no linker map ${exe%.exe}.map beside the stub"

# --- Imports ----------------------------------------------------------------
# Only DLLs every Windows has in System32. msvcrt.dll is there too, and it is
# what mingw-w64's static runtime calls; a UCRT build (api-ms-win-crt-*) would
# need the Universal C runtime, which older systems may lack, so it fails here.
allowed=" kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll shell32.dll ole32.dll advapi32.dll msvcrt.dll "
imports=$("$objdump" -p "$exe" | awk '/DLL Name:/ { print $3 }')
echo "imports:" $imports
[ -n "$imports" ] || fail "no imported DLLs found by $objdump"
for dll in $imports; do
  case "$allowed" in
    *" ${dll,,} "*) ;;
    *) fail "imports $dll, which is not a system DLL we allow" ;;
  esac
done

# --- Payload signature -------------------------------------------------------
# The reader takes the first signature at or after 89999 as the payload's
# start; the packer refuses a stub that holds one there.
if LC_ALL=C grep -qaP '\xB6\x2D\x93\x51' < <(tail -c +90000 "$exe"); then
  fail "the payload signature B6 2D 93 51 occurs at or after offset 89999"
fi

# --- Resources ----------------------------------------------------------------
resources=$(wrestool -l "$exe")
has_resource() {  # type name
  grep -q -- "--type=$1 --name=$2 " <<<"$resources"
}
extract() {  # type name output [--raw]
  wrestool -x ${4:-} --type="$1" --name="$2" "$exe" >"$3"
}
if [ -n "$resources" ] && grep -v -q -- "--language=1031 " <<<"$resources"; then
  fail "resources not in German (Germany), 1031:"$'\n'"$(grep -v -- '--language=1031 ' <<<"$resources")"
fi

# Manifest: elevation, the version 6 common controls and real DPI.
if has_resource 24 1; then
  extract 24 1 "$work/manifest" --raw
  manifest=$(tr -s ' \n' ' ' <"$work/manifest")
  for want in 'level="requireAdministrator"' 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
              '<dpiAware[^>]*>true</dpiAware>'; do
    grep -q -- "$want" <<<"$manifest" || fail "the manifest lacks $want"
  done
else
  fail "no manifest (type 24, id 1)"
fi

# Icon group 1: 48, 32 and 16 pixels, each an 8-bit PNG image (Windows reads
# PNG icon images since Vista), whole and of the size the group names.
if has_resource 14 1; then
  extract 14 1 "$work/icon.ico"
  icons=$(icotool -l "$work/icon.ico" | sed -E 's/.*--width=([0-9]+) --height=([0-9]+) --bit-depth=([0-9]+).*/\1x\2x\3/' | tr '\n' ' ')
  [ "$icons" = "48x48x8 32x32x8 16x16x8 " ] || fail "icon group 1 holds $icons, expected 48x48x8 32x32x8 16x16x8"
  (cd "$work" && icotool -x icon.ico 2>/dev/null)
  for size in 48 32 16; do
    image=$(ls "$work"/icon_*_${size}x${size}x*.png 2>/dev/null | head -n 1)
    if [ -z "$image" ] || ! identify -format '%wx%h %[channels]' "$image" 2>/dev/null | grep -q "^${size}x${size} "; then
      fail "icon group 1 has no whole ${size}x${size} PNG image"
    fi
  done
else
  fail "no icon group 1"
fi

# Version record 1: the fixed part's numbers, the German string block and its
# translation entry, and the strings that Explorer shows.
if has_resource 16 1; then
  extract 16 1 "$work/version" --raw
  hex=$(od -An -v -tx1 "$work/version" | tr -d '\n')
  # signature FEEF04BD, structure 1.0, then file and product version 2.0.2.2
  grep -q ' bd 04 ef fe 00 00 01 00 00 00 02 00 02 00 02 00 00 00 02 00 02 00 02 00 ' <<<"$hex " ||
    fail "the version record's numbers are not 2.0.2.2"
  grep -q ' 07 04 b0 04 ' <<<"$hex " || fail "the version record has no translation 0x0407, 1200"
  text=$(tr -d '\0' <"$work/version")
  for want in 040704B0 CompanyNameNorvalent "FileDescriptionNorvalent Setup" FileVersion2022 ProductVersion2022; do
    grep -aqF -- "$want" <<<"$text" || fail "the version record lacks $want"
  done
else
  fail "no version record 1"
fi

# Dialog 1000: decoded from the compiled template and compared with the
# layout the dialog code relies on, so that a resource compiler adding style
# bits, or an edit that moves an id, shows here.
dialog_table() {  # template file -> one line for the dialog, one per control
  local -a w
  read -r -a w <<<"$(od -An -v -tu2 "$1" | tr '\n' ' ')"
  local i=0 n at t
  word32() { printf '0x%08X' $(( w[$1] | w[$1 + 1] << 16 )); }
  next_text() {  # the string or ordinal at word i into t; moves i past it
    if (( w[i] == 0xFFFF )); then
      t="#${w[i + 1]}"
      i=$((i + 2))
    else
      t=
      while (( w[i] != 0 )); do t+=$(printf "\\x$(printf %02x "${w[i]}")"); i=$((i + 1)); done
      t="\"$t\""
      i=$((i + 1))
    fi
  }
  # The predefined classes may be stored as ordinals or as names, and Windows
  # compares class names without regard to case.
  next_class() {
    next_text
    case $t in '#128') t=button ;; '#129') t=edit ;; '#130') t=static ;; *) t=${t//\"/}; t=${t,,} ;; esac
  }
  # An extended template (DIALOGEX): version 1, signature FFFF, help id,
  # extended style, style, count, rectangle; items carry a help id and a
  # 32-bit id. The font adds weight, italic and character set.
  (( w[0] == 1 && w[1] == 0xFFFF )) || { echo "not an extended template (DIALOGEX)"; return; }
  n=${w[8]}
  printf 'dialog %s %s %d items %d %d %d %d' "$(word32 6)" "$(word32 4)" "$n" "${w[9]}" "${w[10]}" "${w[11]}" "${w[12]}"
  i=13
  next_text; printf ' menu %s' "$t"
  next_text; printf ' class %s' "$t"
  next_text; printf ' title %s' "$t"
  if (( w[6] & 0x40 )); then  # DS_SETFONT (DS_SHELLFONT includes it): size, weight, italic and charset, face
    printf ' font %d weight %d italic %d charset %d' "${w[i]}" "${w[i + 1]}" $(( w[i + 2] & 0xFF )) $(( w[i + 2] >> 8 ))
    i=$((i + 3))
    next_text; printf ' %s' "$t"
  fi
  echo
  while (( n-- > 0 )); do
    at=$(( (i + 1) / 2 * 2 ))  # items start on a 4-byte boundary
    i=$((at + 12))
    next_class
    local id=$(( w[at + 10] | w[at + 11] << 16 ))
    (( id == 0xFFFFFFFF )) && id=-1
    printf '%d %s %s %s %d %d %d %d' "$id" "$t" \
      "$(word32 $((at + 4)))" "$(word32 $((at + 2)))" "${w[at + 6]}" "${w[at + 7]}" "${w[at + 8]}" "${w[at + 9]}"
    next_text; printf ' %s\n' "$t"
    i=$(( i + 1 + (w[i] + 1) / 2 ))  # creation data: its size word, then that many bytes
  done
}
if has_resource 5 1000; then
  extract 5 1000 "$work/dialog" --raw
  dialog_table "$work/dialog" >"$work/dialog.txt"
  cat >"$work/dialog.expected" <<'EOF'
dialog 0x80C800C8 0x00000000 15 items 0 0 330 223 menu "" class "" title "" font 8 weight 0 italic 0 charset 1 "MS Shell Dlg 2"
99 button 0x50010001 0x00000000 206 205 58 14 ""
2 button 0x50010000 0x00000000 267 205 58 14 ""
-1 static 0x50020010 0x00000000 3 200 324 1 ""
-1 static 0x50000003 0x00000000 298 8 20 20 #1
1001 static 0x50020200 0x00000000 12 15 280 20 ""
1002 static 0x50020000 0x00000000 20 37 200 8 ""
1010 syslistview32 0x50810011 0x00000000 235 40 88 132 ""
1031 static 0x50020000 0x00000000 12 105 130 8 ""
1032 edit 0x50810080 0x00000000 10 116 200 12 ""
1033 button 0x50010000 0x00000000 213 116 14 12 "..."
1041 button 0x50010003 0x00000000 25 137 180 10 ""
1042 button 0x50010003 0x00000000 25 150 180 10 ""
1043 button 0x50010003 0x00000000 25 163 180 10 ""
1047 static 0x50028280 0x00000000 12 178 311 8 ""
1048 msctls_progress32 0x40000001 0x00000000 12 188 311 8 ""
EOF
  diff -u --label expected --label setup.exe "$work/dialog.expected" "$work/dialog.txt" >"$work/dialog.diff" ||
    fail "dialog 1000 differs from its layout:"$'\n'"$(cat "$work/dialog.diff")"
else
  fail "no dialog 1000"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all stub checks passed"
