#!/usr/bin/env bash
# Installs the Debian packages built by package-check.sh into a fresh, minimal Debian 12 root
# (debootstrap, minbase) with apt, which must fetch every dependency they declare and nothing
# may be missing: a machine that builds them always has SQLite, libcap and the C++ runtime,
# so only a root without them shows that the Depends lines are complete. Then the installed
# host runs there. Needs root and access to the Debian archive.
# Usage: scripts/package-clean-root.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
mirror=${PLINTH_DEBIAN_MIRROR:-http://deb.debian.org/debian}

fail() {
  echo "package-clean-root: $*" >&2
  exit 1
}
[[ $(id -u) == 0 ]] || fail "making a root and installing into it needs root"
debs=("$build"/libplinth1_*.deb "$build"/libplinth-dev_*.deb "$build"/plinth-tools_*.deb)
for deb in "${debs[@]}"; do [[ -f $deb ]] || fail "no $deb: run scripts/package-check.sh first"; done

SECONDS=0
root=$(mktemp -d /var/tmp/plinth-clean-root.XXXXXX)
chmod 755 "$root"  # apt downloads as its own user, which must reach the root's folders
cleanup() {
  for mount in "$root/dev/pts" "$root/proc"; do
    if mountpoint -q "$mount"; then umount "$mount"; fi
  done
  rm -rf "$root"
}
trap cleanup EXIT

echo "--- a minimal Debian 12 root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
  { cat "$root.log"; rm -f "$root.log"; fail "debootstrap failed"; }
rm -f "$root.log"
mount -t proc proc "$root/proc"
mount -t devpts devpts "$root/dev/pts"  # dpkg keeps its terminal log there
cp /etc/resolv.conf "$root/etc/resolv.conf"
mkdir "$root/debs"
cp "${debs[@]}" "$root/debs/"

echo "--- apt install ./*.deb there"
chroot "$root" /bin/bash -euo pipefail -c '
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q --no-install-recommends ./debs/*.deb | sed -n "/^The following NEW/,/^[0-9]* upgraded/p"
  echo "--- the installed host"
  plinth --version
  [[ $(echo colour | plinth text replace -r colour color) == color ]]
  export PLINTH_REGISTRY=/tmp/registry.db
  plinth reg add "HKCU\Software\Plinth\Check" /v Answer /t REG_DWORD /d 42 >/dev/null
  plinth reg query "HKCU\Software\Plinth\Check" /v Answer
  plinth os >/tmp/os && head -2 /tmp/os
  if ldd /usr/bin/plinth | grep "not found"; then exit 1; fi
'
echo "package-clean-root: installed with their dependencies and used in a fresh root in ${SECONDS}s"
