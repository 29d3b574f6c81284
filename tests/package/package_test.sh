#!/usr/bin/env bash
# The Debian package made from this build, as a register office would install it: its files at
# their places with their modes and nothing outside /usr but the example profile and the upkeep's
# policy (conffiles), the upkeep's service and timer (installed, not enabled), its
# declared dependencies, desktop entries the desktop accepts, a man page man renders cleanly and
# that tells every option, the program started from where the package puts it, and lintian's
# verdict (no error, no warning) when lintian is installed.
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

# Each file the package must bring, with the mode it must have: the program alone executable,
# nothing writable but by root (the SQL scripts are read by psql, never run).
contents=$(dpkg-deb -c "$deb" | awk '{print $1, $2, $6}')
list=$(awk '{print $3}' <<<"$contents")
while read -r mode f; do
    line=$(awk -v f="$f" '$3 == f' <<<"$contents")
    if [ -z "$line" ]; then
        fail "no $f in the package"
    elif [ "$(awk '{print $1, $2}' <<<"$line")" != "$mode root/root" ]; then
        fail "$f is $(awk '{print $1, $2}' <<<"$line"), not $mode root/root"
    fi
done <<'FILES'
-rwxr-xr-x ./usr/bin/histmaint
-rw-r--r-- ./usr/share/applications/histmaint.desktop
-rw-r--r-- ./usr/share/applications/histmaint-server.desktop
-rw-r--r-- ./usr/share/icons/hicolor/64x64/apps/histmaint.png
-rw-r--r-- ./usr/share/man/man1/histmaint.1.gz
-rw-r--r-- ./usr/share/doc/histmaint/README.md
-rw-r--r-- ./usr/share/doc/histmaint/copyright
-rw-r--r-- ./usr/share/doc/histmaint/changelog.Debian.gz
-rw-r--r-- ./usr/share/lintian/overrides/histmaint
-rw-r--r-- ./usr/share/doc/histmaint/docs/user-guide.md
-rw-r--r-- ./usr/share/doc/histmaint/docs/admin-guide.md
-rw-r--r-- ./usr/share/doc/histmaint/docs/images/household.png
-rw-r--r-- ./usr/share/histmaint/operator-role.sql
-rw-r--r-- ./usr/share/histmaint/journal-upgrade.sql
-rw-r--r-- ./usr/share/histmaint/audit.sql
-rw-r--r-- ./etc/histmaint/office.conf.example
-rw-r--r-- ./etc/histmaint/maintain.conf
-rw-r--r-- ./usr/lib/systemd/system/histmaint-maintain.service
-rw-r--r-- ./usr/lib/systemd/system/histmaint-maintain.timer
-rw-r--r-- ./usr/lib/sysusers.d/histmaint.conf
FILES
writable=$(awk '$1 !~ /^l/ && $1 ~ /^.....w|^........w/ {print $3}' <<<"$contents")
[ -z "$writable" ] || fail "writable by others than root: $writable"
outside=$(grep -v -e '^\./usr/' -e '^\./$' -e '^\./etc/$' -e '^\./etc/histmaint/$' \
               -e '^\./etc/histmaint/office\.conf\.example$' -e '^\./etc/histmaint/maintain\.conf$' <<<"$list" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
# Everything the package puts in /etc is a conffile: an upgrade keeps the administrator's edits.
dpkg-deb -e "$deb" "$work/control"
for f in $(grep '^\./etc/.*[^/]$' <<<"$list" | sed 's/^\.//'); do
    grep -qx -- "$f" "$work/control/conffiles" 2>/dev/null || fail "$f is not listed in conffiles"
done
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6gui6 libqt6widgets6 libqt6printsupport6 libsqlite3-0 libpq5 fonts-noto-cjk fonts-liberation2 qt6-translations-l10n; do
    grep -q -- "$d" <<<"$depends" || fail "Depends does not name $d: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = histmaint ] || fail "the package is not named histmaint"

dpkg-deb -x "$deb" "$work/root"
version=$(dpkg-deb -f "$deb" Version)
zcat "$work/root/usr/share/doc/histmaint/changelog.Debian.gz" | head -1 | grep -q "^histmaint ($version) " \
    || fail "the changelog's first entry is not the package's version $version"
apps="$work/root/usr/share/applications"
desktop-file-validate "$apps/histmaint.desktop" "$apps/histmaint-server.desktop" || fail "a desktop entry is refused"
grep -qx 'Name=历史信息维护' "$apps/histmaint.desktop" || fail "the entry is not named 历史信息维护"
grep -qx 'Name=历史信息维护（服务器）' "$apps/histmaint-server.desktop" \
    && grep -qx 'Name\[zh_CN\]=历史信息维护（服务器）' "$apps/histmaint-server.desktop" \
    || fail "the server's entry is not named 历史信息维护（服务器）"
grep -qx 'Exec=histmaint --profile office' "$apps/histmaint-server.desktop" \
    || fail "the server's entry does not open the office profile"

# The example profile: a verified TLS link, the statement timeout, comments in both languages,
# and never a password.
example="$work/root/etc/histmaint/office.conf.example"
for line in 'sslmode = verify-full' 'sslrootcert = /etc/histmaint/office-ca.crt' 'statement_timeout = 30'; do
    grep -qx -- "$line" "$example" || fail "the example profile has no '$line'"
done
for key in host port dbname user; do
    grep -qE "^$key = [^ ]+$" "$example" || fail "the example profile has no $key"
done
grep -qiE '^[[:space:]]*#?[[:space:]]*password[[:space:]]*=' "$example" && fail "the example profile has a password line"
grep -qP '^#.*[^\x00-\x7F]' "$example" && grep -q '^# [A-Z][a-z]' "$example" \
    || fail "the example profile is not explained in Chinese and English"

# The man page as man renders it: groff's warnings are what a reader would see as broken text.
if command -v man >/dev/null; then
    manwarn=$(MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$work/root/usr/share/man/man1/histmaint.1.gz" 2>&1 >/dev/null)
    [ -z "$manwarn" ] || fail "man warns about the man page: $manwarn"
fi

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
# The example profile as an administrator makes office.conf from it, read by the installed
# program: only the server (here a socket folder that does not exist) may stop it, not the file.
mkdir -p "$work/config/histmaint"
sed 's|^host = .*|host = /nonexistent/histmaint-socket|' "$example" >"$work/config/histmaint/office.conf"
if XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen timeout 60 "$exe" --profile office \
       --screenshot "$work/office.png" >"$work/office.log" 2>&1; then
    fail "the installed program opened a server that does not exist: $(cat "$work/office.log")"
elif grep -q -e '连接配置文件' -e '找不到连接配置' -e 'unknown argument' "$work/office.log"; then
    fail "the installed program refused the example profile: $(cat "$work/office.log")"
elif ! grep -q 'nonexistent/histmaint-socket' "$work/office.log"; then
    fail "the installed program did not try the profile's server: $(cat "$work/office.log")"
fi
# The history's upkeep: the policy as installed deletes nothing (every line a comment), the
# service runs the policy once, the timer is daily and makes up a missed night, nothing enables
# either, and systemd finds nothing wrong with them.
policy="$work/root/etc/histmaint/maintain.conf"
grep -v -e '^#' -e '^[[:space:]]*$' "$policy" && fail "the installed policy is not all comments"
units="$work/root/usr/lib/systemd/system"
grep -qx 'Type=oneshot' "$units/histmaint-maintain.service" || fail "the upkeep service is not Type=oneshot"
grep -qx 'ExecStart=/usr/bin/histmaint maintain policy --policy /etc/histmaint/maintain.conf' \
    "$units/histmaint-maintain.service" || fail "the upkeep service does not run the policy"
grep -qx 'Persistent=false' "$units/histmaint-maintain.timer" && grep -q '^OnCalendar=' "$units/histmaint-maintain.timer" \
    || fail "the upkeep timer is not daily and persistent"
if [ -d "$work/control" ]; then
    for script in postinst prerm postrm preinst; do
        [ -e "$work/control/$script" ] && grep -q 'systemctl\|deb-systemd' "$work/control/$script" \
            && fail "$script enables or starts a unit: the upkeep stays off until the administrator turns it on"
    done
fi
if command -v systemd-analyze >/dev/null; then
    # The units as systemd reads them, their program the one the package brings (verify looks
    # for it on this computer) and no man page looked up (the one they name is not installed).
    mkdir -p "$work/units"
    sed "s|/usr/bin/histmaint|$work/root/usr/bin/histmaint|" "$units/histmaint-maintain.service" \
        >"$work/units/histmaint-maintain.service"
    cp "$units/histmaint-maintain.timer" "$work/units/"
    if ! verify=$(systemd-analyze verify --man=no "$work/units/histmaint-maintain.service" \
                  "$work/units/histmaint-maintain.timer" 2>&1); then
        fail "systemd-analyze verify: $verify"
    elif grep -q 'histmaint-maintain' <<<"$verify"; then
        fail "systemd-analyze verify: $verify"
    fi
fi
# lintian: Debian's own check of a package. Every error and warning fails; the overrides shipped
# in the package say why each is wrong where lintian is.
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 \
        || fail "lintian: $(grep -vx 'running with root privileges is not recommended!' "$work/lintian.log")"
fi
# Every dependency is a package apt knows (a dry run; nothing is installed).
if command -v apt-get >/dev/null && [ "$(id -u)" -eq 0 ]; then
    apt-get install -s "$deb" >"$work/apt.log" 2>&1 || fail "apt cannot install the package: $(tail -5 "$work/apt.log")"
fi
exit $failed
