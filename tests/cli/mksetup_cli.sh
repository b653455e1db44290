#!/usr/bin/env bash
# The mksetup command line as a user meets it: help, errors with the culprit
# named and a non-zero exit, pack then list and verify.
# usage: mksetup_cli.sh STUB PRODUCT_FOLDER MKSETUP [RUNNER...]
set -uo pipefail
stub=$1 product=$2
shift 2
mksetup=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

check() {  # check NAME EXPECTED_EXIT PATTERN -- ARGS...
    local name=$1 want=$2 pattern=$3
    shift 4
    local out status
    out=$("${mksetup[@]}" "$@" 2>&1)
    status=$?
    if [ "$status" -ne "$want" ] || ! grep -qE -- "$pattern" <<<"$out"; then
        echo "FAIL: $name: exit $status (want $want), output:"
        sed 's/^/    /' <<<"$out"
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
}

pack=(pack --stub "$stub" --product-code NVD --window-class NvDemoWnd --main-program NvDemo.exe --date 2026-12-11 --quiet)

check "help" 0 "Usage: mksetup \[OPTIONS\] SUBCOMMAND" -- --help
check "help names the version" 0 "mksetup [0-9]+\.[0-9]+" -- --help
check "version" 0 "^mksetup [0-9]+\.[0-9]+\.[0-9]+" -- --version
check "pack help" 0 "--product-code TEXT REQUIRED" -- pack --help
check "list help" 0 "Usage: mksetup list \[OPTIONS\] SETUP" -- list --help
check "verify help" 0 "Usage: mksetup verify" -- verify --help
check "extract help" 0 "--languages" -- extract --help
check "no command" 2 "A subcommand is required" --
check "unknown command" 2 "unknown command frobnicate" -- frobnicate
check "missing date" 2 "--date is required" -- pack --stub "$stub" --product-code NVD -o "$work/x.exe" "$product"
check "bad date" 2 "YYYY-MM-DD" -- "${pack[@]}" --date 11.12.2026 -o "$work/x.exe" "$product"
check "no calendar date" 1 "2026-02-30 is not a calendar date" -- "${pack[@]}" --date 2026-02-30 -o "$work/x.exe" "$product"
check "long product code" 1 "product code \"NVDX\"" -- "${pack[@]}" --product-code NVDX -o "$work/x.exe" "$product"
check "bad level" 2 "--level: takes" -- "${pack[@]}" --level 12 -o "$work/x.exe" "$product"
check "unknown option last" 2 "unknown option --levle" -- "${pack[@]}" -o "$work/x.exe" "$product" --levle
check "unknown option" 2 "unknown option --levle" -- "${pack[@]}" --levle 3 -o "$work/x.exe" "$product"
check "missing folder" 1 "is not a folder" -- "${pack[@]}" -o "$work/x.exe" "$work/none"
[ -e "$work/x.exe" ] && { echo "FAIL: a failed pack left an output file"; failed=$((failed + 1)); }

check "pack" 0 "" -- "${pack[@]}" -o "$work/Setup.exe" "$product"
mkdir -p "$work/plain/sub"
echo data >"$work/plain/sub/a.txt"
check "warnings" 0 "warning: no UnInst.exe" -- "${pack[@]}" -o "$work/Plain.exe" "$work/plain"
check "list" 0 "Product code: +NVD" -- list "$work/Setup.exe"
check "list entries" 0 "  64.NvDemo.ini" -- list "$work/Setup.exe"
check "list verdict" 0 "Verdict: +ok" -- list "$work/Setup.exe"
check "verify" 0 "ok, [0-9]+ entries" -- verify "$work/Setup.exe"
check "verify a stub" 1 "no payload" -- verify "$stub"
check "verify a missing file" 1 "Windows error 2" -- verify "$work/none.exe"
size=$(stat -c %s "$work/Setup.exe")
head -c $((size - 10)) "$work/Setup.exe" >"$work/cut.exe"
check "verify a cut file" 1 "checksum mismatch" -- verify "$work/cut.exe"
head -c 90010 "$work/Setup.exe" >"$work/cut-header.exe"
check "verify a file cut in the stream header" 1 "\\(-38\\)" -- verify "$work/cut-header.exe"

check "list says whether signed" 0 "Authenticode: +not signed" -- list "$work/Setup.exe"
# Signing needs a real program as the stub (the native run packs with a bare one).
if [ "$(stat -c %s "$stub")" -lt 1024 ]; then
    :
elif command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Throwaway -keyout "$work/key.pem" \
        -out "$work/certificate.pem" >/dev/null 2>&1
    osslsigncode sign -certs "$work/certificate.pem" -key "$work/key.pem" -in "$stub" -out "$work/signed-stub.exe" >/dev/null
    check "a signed stub is refused" 1 "is signed; pack the unsigned stub" -- \
        "${pack[@]}" --stub "$work/signed-stub.exe" -o "$work/x.exe" "$product"
    osslsigncode sign -certs "$work/certificate.pem" -key "$work/key.pem" -in "$work/Setup.exe" -out "$work/Signed.exe" >/dev/null
    check "list sees a signature" 0 "Authenticode: +signed" -- list "$work/Signed.exe"
    check "a signed setup verifies" 0 "ok, [0-9]+ entries" -- verify "$work/Signed.exe"
else
    echo "FAIL: osslsigncode and openssl are needed"; failed=$((failed + 1))
fi
check "list as JSON" 0 '"format": 1' -- list --json "$work/Setup.exe"
check "list as JSON of a cut file" 1 '"ok": false' -- list --json "$work/cut.exe"
check "extract" 0 "files written to" -- extract "$work/Setup.exe" "$work/extracted"
check "extract into a folder that is not empty" 1 "is not empty" -- extract "$work/Setup.exe" "$work/extracted"
check "extract a cut file" 1 "the installer would refuse" -- extract "$work/cut.exe" "$work/refused"
[ -e "$work/refused" ] && { echo "FAIL: a refused extract left a folder"; failed=$((failed + 1)); }
check "extract a language the package lacks" 1 'no language "XX"' -- extract "$work/Setup.exe" "$work/x" --languages de,xx
check "extract a dry run" 0 "^write  FILE_ID.DIZ" -- extract "$work/Setup.exe" "$work/plan" --dry-run
[ -e "$work/plan" ] && { echo "FAIL: a dry run wrote"; failed=$((failed + 1)); }
check "extract a bad platform" 2 "--platform" -- extract "$work/Setup.exe" "$work/x" --platform 16

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
