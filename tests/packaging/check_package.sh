#!/usr/bin/env bash
# Checks a built Debian package: unpacks it into a temporary root, checks what
# it holds and depends on, verifies the poller's systemd unit there and rates
# its sandbox, runs every tool's --help and --version from there, starts the
# program under a virtual X server until its window shows, installs it with apt
# (as root; a poller instance enabled then is gone after a purge) and lets
# lintian look for errors.
# Usage: check_package.sh PACKAGE.deb VERSION
set -euo pipefail
deb="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
fail() { echo "check_package: $*" >&2; exit 1; }

[ "$(dpkg-deb -f "$deb" Package)" = raruzor-monitor ] || fail "wrong package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version), not $version"
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libqt6widgets6 libqt6serialport6 libqt6network6 libqcustomplot2.1-qt6 libstdc++6 qt6-qpa-plugins \
               qt6-translations-l10n; do
  grep -q "$library" <<<"$depends" || fail "no dependency on $library: $depends"
done

dpkg-deb -x "$deb" "$root"
doc=usr/share/doc/raruzor-monitor
for file in usr/bin/raruzor-monitor usr/bin/raruzor-poll usr/bin/raruzor-archive usr/bin/raruzor-report usr/bin/tarvel-meter-sim \
            usr/bin/ccnn-convert \
            usr/share/applications/raruzor-monitor.desktop \
            usr/share/icons/hicolor/scalable/apps/raruzor-monitor.svg \
            usr/share/man/man1/raruzor-monitor.1.gz usr/share/man/man1/raruzor-poll.1.gz \
            usr/share/man/man1/raruzor-archive.1.gz usr/share/man/man1/raruzor-report.1.gz \
            usr/share/man/man1/tarvel-meter-sim.1.gz usr/share/man/man1/ccnn-convert.1.gz \
            $doc/guide.html $doc/service.html $doc/archive.html $doc/mqtt.html $doc/report.html $doc/copyright $doc/changelog.gz $doc/report-sample.pdf $doc/report-sample.html \
            $doc/main-page.png $doc/harmonics-page.png $doc/interharmonics-page.png \
            $doc/power-page.png $doc/signals-page.png $doc/connections.png \
            usr/lib/systemd/system/raruzor-poll@.service usr/lib/sysusers.d/raruzor-monitor.conf \
            etc/raruzor-monitor/example.ini; do
  [ -s "$root/$file" ] || fail "missing $file"
done
# every picture the guide shows is beside it
for picture in $(grep -o 'src="[^"]*"' "$root/$doc/guide.html" | sed 's/src="\(.*\)"/\1/'); do
  [ -s "$root/$doc/$picture" ] || fail "the guide shows $picture, which is not installed"
done
# and every page the guide links to (the service, the archive, MQTT, the report)
for page in $(grep -o 'href="[^"#:]*' "$root/$doc/guide.html" | sed 's/href="//' | sort -u); do
  [ -s "$root/$doc/$page" ] || fail "the guide links to $page, which is not installed"
done
# the manual pages are Russian, as the program is; each names the others
for page in raruzor-monitor raruzor-poll raruzor-archive raruzor-report tarvel-meter-sim ccnn-convert; do
  text="$(zcat "$root/usr/share/man/man1/$page.1.gz")"
  grep -q '^\.SH "\?СМОТРИТЕ ТАКЖЕ' <<<"$text" || fail "$page(1) has no СМОТРИТЕ ТАКЖЕ"
  grep -q '^\.SH ОБЗОР' <<<"$text" || fail "$page(1) has no ОБЗОР"
  for other in raruzor-poll raruzor-archive raruzor-report; do
    [ "$other" = "$page" ] || grep -q "^\.BR $other (1)" <<<"$text" || fail "$page(1) does not name $other"
  done
done
# the poller's three ways to call it are three lines of its synopsis
[ "$(zcat "$root/usr/share/man/man1/raruzor-poll.1.gz" | sed -n '/^\.SH ОБЗОР/,/^\.SH/p' | grep -c '^\.B raruzor-poll')" = 3 ] \
  || fail "raruzor-poll(1)'s synopsis is not three lines"
grep -q '^Exec=raruzor-monitor$' "$root/usr/share/applications/raruzor-monitor.desktop" || fail "desktop entry"

# The poller as a service: the example configuration is a conffile with every
# key; the account comes from sysusers (or adduser) and nothing is enabled.
[ "$(dpkg-deb -I "$deb" conffiles)" = /etc/raruzor-monitor/example.ini ] || fail "conffiles: $(dpkg-deb -I "$deb" conffiles)"
for key in Poll/Connections Poll/Ids Poll/Password Poll/Attempts Poll/StatsEvery Poll/NoOscillograms Poll/LogDir \
           Archive/Target Archive/Spectra Archive/KeepDays Mqtt/Url Mqtt/Ca Mqtt/Queue; do
  awk -F= -v section="[${key%/*}]" -v name="${key#*/}" \
    '/^\[/ { in_section = ($0 == section) } in_section && $1 == name { found = 1 } END { exit !found }' \
    "$root/etc/raruzor-monitor/example.ini" || fail "example.ini has no $key"
done
for script in postinst prerm postrm; do
  dpkg-deb -I "$deb" "$script" >"$work/$script" || fail "no $script"
  sh -n "$work/$script" || fail "$script is not a valid shell script"
done
grep -q systemd-sysusers "$work/postinst" && grep -q 'adduser raruzor dialout' "$work/postinst" || fail "postinst makes no account"
! grep -Eq 'systemctl.*[[:space:]](enable|start)([[:space:]]|$)' "$work/postinst" || fail "postinst enables or starts a poller"
systemd-sysusers --root="$root" --dry-run raruzor-monitor.conf >"$work/sysusers.txt" 2>&1 || { cat "$work/sysusers.txt"; fail "sysusers"; }
grep -q "Creating user 'raruzor'" "$work/sysusers.txt" || fail "sysusers makes no user raruzor: $(cat "$work/sysusers.txt")"
grep -Eq '^m raruzor dialout$' "$root/usr/lib/sysusers.d/raruzor-monitor.conf" || fail "raruzor is not put into dialout"
# systemd-analyze resolves the unit, its commands and its manual page inside
# the root, so the root gets systemd's own units beside ours (no systemd runs
# here); any complaint, even an unknown key it would ignore, fails.
cp -rn /usr/lib/systemd/system/. "$root/usr/lib/systemd/system/"
MANPATH="$root/usr/share/man" systemd-analyze verify --root="$root" raruzor-poll@example.service >"$work/verify.txt" 2>&1 \
  || { cat "$work/verify.txt"; fail "systemd-analyze verify"; }
[ ! -s "$work/verify.txt" ] || { cat "$work/verify.txt"; fail "systemd-analyze verify complains"; }
# The sandbox, as systemd rates it from the unit file alone: 0 is shut
# tight, 10 wide open. Serial ports and the network keep it above 1.
systemd-analyze security --offline=yes --root="$root" raruzor-poll@example.service >"$work/security.txt" 2>&1 \
  || { cat "$work/security.txt"; fail "systemd-analyze security"; }
exposure="$(sed -n 's/^.*Overall exposure level for raruzor-poll@example.service: \([0-9.]*\).*$/\1/p' "$work/security.txt")"
[ -n "$exposure" ] || { cat "$work/security.txt"; fail "systemd-analyze security gives no exposure"; }
awk -v e="$exposure" 'BEGIN { exit !(e <= 2.0) }' || { grep '✗' "$work/security.txt"; fail "the unit's exposure is $exposure, more than 2.0"; }
grep -q '^LoadCredential=config:/etc/raruzor-monitor/%i.ini$' "$root/usr/lib/systemd/system/raruzor-poll@.service" \
  || fail "the unit does not hand the INI over as a credential"

for tool in raruzor-poll raruzor-archive raruzor-report tarvel-meter-sim ccnn-convert; do
  # the whole text is read: a grep that stops early would cut the tool off with SIGPIPE
  "$root/usr/bin/$tool" --help | grep "^Использование: \(.*/\)\?$tool " >/dev/null || fail "$tool --help"
  [ "$("$root/usr/bin/$tool" --version)" = "$tool $version" ] || fail "$tool --version: $("$root/usr/bin/$tool" --version)"
done

# The program from the package, in a home of its own, until its window shows.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$1/usr/bin/raruzor-monitor" & program=$!
  for _ in $(seq 60); do
    if xdotool search --name "^Raruzor U7\(D5\) v $2\$" >/dev/null 2>&1; then
      kill $program; wait $program || true; exit 0
    fi
    kill -0 $program 2>/dev/null || exit 1
    sleep 0.5
  done
  kill $program; exit 1' _ "$root" "$version" || fail "the program's window did not show"

# Installed as a user would (root only, as in CI): the tools run from /usr/bin
# and the manual pages are found. A package that was not installed before is
# removed again.
if [ "$(id -u)" -eq 0 ]; then
  installed_before=0
  dpkg-query -W -f='${Status}' raruzor-monitor 2>/dev/null | grep -q 'install ok installed' && installed_before=1
  # an example.ini left by an earlier build is replaced, not asked about
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o Dpkg::Options::=--force-confnew "$(realpath "$deb")" \
    >"$work/apt.txt" 2>&1 || { cat "$work/apt.txt"; fail "apt could not install the package"; }
  for tool in raruzor-poll raruzor-archive raruzor-report tarvel-meter-sim ccnn-convert; do
    [ "$(/usr/bin/$tool --version)" = "$tool $version" ] || fail "installed $tool --version"
  done
  [ -x /usr/bin/raruzor-monitor ] || fail "the program was not installed"
  man -w raruzor-poll >/dev/null || fail "no manual page for raruzor-poll once installed"
  id -nG raruzor 2>/dev/null | grep -qw dialout || fail "no account raruzor in group dialout once installed"
  [ -f /etc/raruzor-monitor/example.ini ] || fail "no example configuration once installed"
  if [ "$installed_before" -eq 0 ]; then
    # An enabled instance (systemctl works on the files when systemd does not
    # run) outlives a removal, as its INI would, and goes with a purge.
    instance=raruzor-poll@check-package.service
    trap 'rm -f /etc/systemd/system/*.wants/'"$instance"'; rm -rf "$work"' EXIT
    systemctl enable "$instance" >"$work/enable.txt" 2>&1 || { cat "$work/enable.txt"; fail "systemctl enable $instance"; }
    link=/etc/systemd/system/multi-user.target.wants/$instance
    [ -L "$link" ] || fail "systemctl enable made no $link"
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq raruzor-monitor >"$work/apt.txt" 2>&1 \
      || { cat "$work/apt.txt"; fail "apt could not remove the package"; }
    [ -L "$link" ] || fail "removing the package disabled $instance"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq raruzor-monitor >"$work/apt.txt" 2>&1 \
      || { cat "$work/apt.txt"; fail "apt could not purge the package"; }
    [ ! -e "$link" ] && [ ! -L "$link" ] || fail "$instance is still enabled after a purge"
  fi
fi

status=0
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || status=$?
grep -v "running with root privileges" "$work/lintian.txt" || true
[ "$status" -eq 0 ] || fail "lintian reports errors"
echo "check_package: $(basename "$deb") is sound ($(du -k "$deb" | cut -f1) KiB)"
