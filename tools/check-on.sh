#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the test command as CI does (the package check too) on another Debian release: in a
# new minimal chroot holding a clean clone of this repository's HEAD. Run as root.
#   bash tools/check-on.sh RELEASE       e.g. bash tools/check-on.sh trixie
# Downloaded packages are kept in /var/cache/rulecraft-check-on/RELEASE for the next run;
# the chroot itself is made anew each time and removed at the end.
set -euo pipefail
release=${1:-}
[[ $release =~ ^[a-z]+$ ]] || { echo "usage: bash tools/check-on.sh RELEASE" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "tools/check-on.sh must run as root" >&2; exit 2; }
if ! command -v debootstrap >/dev/null; then
  echo "Installing: debootstrap"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap
fi
source=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
commit=$(git -C "$source" rev-parse HEAD)
cache=/var/cache/rulecraft-check-on/$release
mkdir -p "$cache/debootstrap" "$cache/archives"
work=$(mktemp -d /var/tmp/rulecraft-check-on.XXXXXX)
root=$work/root
mounts=()

# Processes whose root is the chroot or a folder in it.
inside() {
  local p r
  for p in /proc/[0-9]*; do
    r=$(readlink "$p/root" 2>/dev/null) || continue
    r=${r% (deleted)}
    [[ $r == "$root" || $r == "$root"/* ]] && echo "${p#/proc/}"
  done
  return 0
}
cleanup() {
  local pids signal i
  trap - EXIT INT TERM HUP
  for signal in TERM TERM KILL KILL; do
    mapfile -t pids < <(inside)
    [ ${#pids[@]} -eq 0 ] && break
    kill -s "$signal" "${pids[@]}" 2>/dev/null || true
    sleep 1
  done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" || umount --lazy "${mounts[i]}" || true
  done
  # A bind or mount left behind would be emptied with the chroot, so then nothing goes.
  if grep -q -F " $work/" /proc/self/mountinfo; then
    echo "check-on: $work is still mounted on; left in place" >&2
  else
    rm -rf --one-file-system "$work"
  fi
}
trap 'status=$?; cleanup; echo "check-on $release: stopped before the end (exit $status)"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
keep() { # from to: the packages in from that to lacks
  local deb
  for deb in "$1"/*.deb; do
    if [ -e "$deb" ] && [ ! -e "$2/${deb##*/}" ]; then
      ln "$deb" "$2/" 2>/dev/null || cp "$deb" "$2/"
    fi
  done
}
mount_in() { # type options where
  mount -t "$1" -o "$2" "$1" "$3"
  mounts+=("$3")
}

echo "== a new $release chroot"
# One run at a time uses the shared cache.
(
  flock 9
  debootstrap --variant=minbase --cache-dir="$cache/debootstrap" "$release" "$root" \
    http://deb.debian.org/debian >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log"; exit 1; }
  # The packages downloaded before, linked where the file system allows.
  keep "$cache/archives" "$root/var/cache/apt/archives"
) 9>"$cache/lock"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# No service that a package brings starts in the chroot.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

# Only the devices a build and its tests use, never the host's /dev; the file writer reads
# /proc/self/fd.
mount_in proc nosuid,nodev,noexec "$root/proc"
mount_in tmpfs mode=755,nosuid,size=1m "$root/dev"
for node in null:1:3 zero:1:5 full:1:7 random:1:8 urandom:1:9 tty:5:0; do
  IFS=: read -r name major minor <<<"$node"
  mknod -m 666 "$root/dev/$name" c "$major" "$minor"
done
ln -s /proc/self/fd "$root/dev/fd"
for fd in 0:stdin 1:stdout 2:stderr; do ln -s "/proc/self/fd/${fd%%:*}" "$root/dev/${fd#*:}"; done
mkdir "$root/dev/pts" "$root/dev/shm"
mount_in devpts newinstance,ptmxmode=666,mode=620,gid=5,nosuid,noexec "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mount_in tmpfs mode=1777,nosuid,nodev "$root/dev/shm"

echo "== a clean clone of $commit"
git clone -q --no-checkout "$source" "$root/root/rulecraft"
git -C "$root/root/rulecraft" fetch -q "$source" "$commit"
git -C "$root/root/rulecraft" checkout -q --detach "$commit"

echo "== bash tools/setup.sh test, inside"
status=0
chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI=true RULECRAFT_PACKAGE_TEST=1 \
  /bin/bash -c 'cd /root/rulecraft && exec bash tools/setup.sh test' 2>&1 |
  tee "$work/inner.log" || status=${PIPESTATUS[0]}
result=$(tail -n 1 "$work/inner.log")

# What this run downloaded is kept for the next; what it no longer needed goes.
(
  flock 9
  find "$cache/archives" -name '*.deb' -printf '%f\n' | while read -r deb; do
    [ -e "$root/var/cache/apt/archives/$deb" ] || rm -f "$cache/archives/$deb"
  done
  keep "$root/var/cache/apt/archives" "$cache/archives"
) 9>"$cache/lock"

cleanup
if [ "$status" = 0 ]; then
  echo "check-on $release ($commit): $result"
else
  echo "check-on $release ($commit): FAILED, the inner run exited $status; its last line: $result"
  exit "$status"
fi
