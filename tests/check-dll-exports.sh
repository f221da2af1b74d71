#!/usr/bin/env bash
# The host finds a plugin by its undecorated export names, and users must not
# need any runtime DLL beside it: exactly our eight exports, system imports only.
set -euo pipefail
dll=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
dump=$("$objdump" -p "$dll")

exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort | tr '\n' ' ')
expected="ConfigureW ExitFARW GetGlobalInfoW GetPluginInfoW OpenW ProcessEditorEventW ProcessSynchroEventW SetStartupInfoW "
if [ "$exports" != "$expected" ]; then
    echo "exports are: $exports"
    echo "expected:    $expected"
    exit 1
fi

imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for name in $imports; do
    case "$name" in
        kernel32.dll|user32.dll|advapi32.dll|version.dll|msvcrt.dll|ntdll.dll|shell32.dll|ole32.dll) ;;
        api-ms-win-*) ;;
        *) echo "imports a non-system DLL: $name"; exit 1 ;;
    esac
done
echo "exports: $exports"
echo "imports: $(echo $imports)"
