#!/usr/bin/env bash
# The Debian package made from this build, as a register office would install it: its files and
# nothing outside /usr, its declared dependencies, a desktop entry the desktop accepts, and the
# program started from where the package puts it, with a man page that tells every option.
#   package_test.sh BUILD_DIR
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
deb=$(ls "$work"/out/histmaint_*.deb)
failed=0
fail() { echo "package: $*"; failed=1; }

list=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/histmaint ./usr/share/applications/histmaint.desktop \
         ./usr/share/icons/hicolor/64x64/apps/histmaint.png ./usr/share/man/man1/histmaint.1.gz \
         ./usr/share/doc/histmaint/README.md ./usr/share/doc/histmaint/docs/user-guide.md \
         ./usr/share/doc/histmaint/docs/admin-guide.md ./usr/share/doc/histmaint/docs/images/household.png; do
    grep -qx -- "$f" <<<"$list" || fail "no $f in the package"
done
outside=$(grep -v -e '^\./usr/' -e '^\./$' <<<"$list" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6gui6 libqt6widgets6 libqt6printsupport6 libsqlite3-0 libpq5 fonts-noto-cjk fonts-liberation2 qt6-translations-l10n; do
    grep -q -- "$d" <<<"$depends" || fail "Depends does not name $d: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = histmaint ] || fail "the package is not named histmaint"

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/histmaint.desktop" || fail "the desktop entry is refused"
grep -qx 'Name=历史信息维护' "$work/root/usr/share/applications/histmaint.desktop" || fail "the entry is not named 历史信息维护"

exe="$work/root/usr/bin/histmaint"
if help=$("$exe" --help 2>&1); then
    grep -q '^Usage: histmaint' <<<"$help" || fail "--help says no usage: $help"
    man=$(zcat "$work/root/usr/share/man/man1/histmaint.1.gz" | sed 's/\\-/-/g')
    # The man page and --help tell the same options, both ways.
    for option in $(grep -o -- '--[a-z-]*' <<<"$help" | sort -u); do
        grep -q -- "$option" <<<"$man" || fail "the man page does not tell $option"
    done
    for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$man" | sort -u); do
        grep -q -- "$option" <<<"$help" || fail "--help does not tell $option, which the man page does"
    done
    grep -q -- "histmaint @PROJECT_VERSION@" <<<"$man" && fail "the man page's version was not filled in"
else
    fail "histmaint --help from the package failed: $help"
fi
# The program as installed: its resources, fonts and platform plugin at work.
if QT_QPA_PLATFORM=offscreen "$exe" --create-demo "$work/demo" --households 5 >"$work/demo.log" 2>&1 \
    && QT_QPA_PLATFORM=offscreen "$exe" --data "$work/demo" --screenshot "$work/shot.png" --category p_rprinfo \
        >"$work/shot.log" 2>&1; then
    [ -s "$work/shot.png" ] || fail "the installed program drew no picture"
else
    fail "the installed program did not run: $(cat "$work/demo.log" "$work/shot.log" 2>/dev/null)"
fi
# Every dependency is a package apt knows (a dry run; nothing is installed).
if command -v apt-get >/dev/null && [ "$(id -u)" -eq 0 ]; then
    apt-get install -s "$deb" >"$work/apt.log" 2>&1 || fail "apt cannot install the package: $(tail -5 "$work/apt.log")"
fi
exit $failed
