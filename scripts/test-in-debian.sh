#!/usr/bin/env bash
# test-in-debian.sh RELEASE (such as trixie): runs the README's test command in a minimal Debian
# RELEASE, on a fresh clone of the commit checked out here (changes not committed are not part of
# it), then installs the .deb made there, starts the programs and removes it again
# (scripts/check-install.sh). Run as root on Debian; a failure of the build, a test or the package
# check is a failure of this script.
#
# The Debian is a chroot that debootstrap makes from the archive this machine's apt already uses. It is
# kept in /var/tmp/quorvane-debian-RELEASE/base, together with the packages apt downloads into it and
# a compiler cache, and every run works on a copy of it, so that each run starts from the minimal
# system while the next run on the same machine neither makes the chroot nor downloads again, and
# compiles only what changed (delete the folder to start afresh). When the archive cannot be reached the script says so and exits with status 0, so that
# a machine without the network still runs the rest of its checks.
#
# test-in-debian.sh --prepare RELEASE only makes the chroot, if it is not made yet, and downloads the
# packages the build will install into it, so that a run after it spends its time on the build; it
# can run beside other work, as CI runs it beside its first stages (a run waits for it to end).
set -euo pipefail
prepare=0
if [[ ${1:-} == --prepare ]]; then
    prepare=1
    shift
fi
release=${1:?usage: scripts/test-in-debian.sh [--prepare] RELEASE (such as trixie)}
[[ $release =~ ^[a-z]+$ ]] || { echo "test-in-debian.sh: '$release' is not a release name" >&2; exit 2; }
[[ $(id -u) -eq 0 ]] || exec sudo -- "$0" "$@"
repo=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$repo" rev-parse HEAD)
cache=/var/tmp/quorvane-debian-$release
base=$cache/base
root=$cache/run
say() { echo "test-in-debian.sh: $*" >&2; }
unreachable() {
    say "the Debian archive $1 cannot be reached: the check in Debian $release is skipped"
    exit 0
}
elapsed() { printf '%dm%02ds' $((SECONDS / 60)) $((SECONDS % 60)); }

# The archive apt reads for the release this machine runs (the suite without a -updates or -security
# suffix), and its security archive when it uses one.
archive() {
    apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 'Identifier: Packages' |
        awk -v suite="$1" '$1 ~ suite { print $2; exit }'
}
mirror=$(archive '^[a-z]+$')
security=$(archive '-security$')
[[ -n $mirror ]] || { say "no Debian archive in this machine's apt sources"; exit 1; }
mirror=${mirror%/}
security=${security%/}

# Nothing that is mounted below a chroot may be deleted with it (/dev is the machine's own): the
# file systems this script binds there, or those a debootstrap that was stopped left, are unmounted
# first, the deepest first; the binds are slaves, so their unmounting never reaches the machine's.
unmount_below() {
    local target
    awk -v dir="$1/" 'index($5, dir) == 1 { print $5 }' /proc/self/mountinfo | sort -r |
        while read -r target; do umount "$target"; done
}
remove() {
    unmount_below "$1"
    if awk -v dir="$1/" 'index($5, dir) == 1 { found = 1 } END { exit !found }' /proc/self/mountinfo; then
        say "something is still mounted below $1; it is left as it is"
        exit 1
    fi
    rm -rf --one-file-system "$1"
}

if ! command -v debootstrap >/dev/null; then
    apt-get update -qq || unreachable "$mirror"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi
wget -q -T 30 -t 2 -O /dev/null "$mirror/dists/$release/InRelease" || unreachable "$mirror"

mkdir -p "$cache"
exec 9>"$cache/lock"
flock -n 9 || { say "another run uses $cache; waiting for it"; flock 9; }

# The minimal system, made once: it only counts as made once debootstrap has finished (and one made
# without the compiler cache, by an earlier version of this script, is made anew).
[[ ! -d $base || -x $base/usr/bin/ccache ]] || remove "$base"
if [[ ! -d $base ]]; then
    say "making a minimal Debian $release in $base from $mirror"
    remove "$base.new"
    # ccache is not the project's but this script's: the builds of later runs reuse what the earlier
    # ones compiled.
    debootstrap --variant=minbase --include=ccache "$release" "$base.new" "$mirror" >"$cache/debootstrap.log" 2>&1 || {
        tail -n 20 "$cache/debootstrap.log" >&2
        say "debootstrap failed (the whole log: $cache/debootstrap.log)"
        exit 1
    }
    # The sources a machine of that release has: the release, its updates and its security archive.
    rm -f "$base.new/etc/apt/sources.list"
    {
        printf 'Types: deb\nURIs: %s\nSuites: %s %s-updates\nComponents: main\n' "$mirror" "$release" "$release"
        printf 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n'
        if [[ -n $security ]]; then
            printf '\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\n' "$security" "$release"
            printf 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n'
        fi
    } >"$base.new/etc/apt/sources.list.d/debian.sources"
    # No service starts inside the chroot when a package is installed.
    printf '#!/bin/sh\nexit 101\n' >"$base.new/usr/sbin/policy-rc.d"
    chmod 755 "$base.new/usr/sbin/policy-rc.d"
    rm -rf "$base.new/var/cache/apt/archives"/*.deb
    mv "$base.new" "$base"
    say "Debian $release made in $(elapsed)"
fi

# A login's environment, with no variable of this machine's but the proxy settings, and the compiler
# cache kept with the chroot (the build compiles through ccache when it is installed).
environment=(HOME=/root LANG=C.UTF-8 PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
             CCACHE_DIR=/var/cache/ccache CCACHE_MAXSIZE=2G)
for name in http_proxy https_proxy no_proxy; do
    [[ -z ${!name:-} ]] || environment+=("$name=${!name}")
done
# The package lists and the packages are kept beside the chroot, for every run.
mkdir -p "$cache/archives/partial" "$cache/lists/partial" "$cache/ccache"

if ((prepare)); then
    # The packages are downloaded in the chroot itself, which keeps nothing of it but the name
    # resolution: the lists and the packages go to the folders kept beside it.
    trap 'unmount_below "$base"' EXIT
    trap 'exit 1' INT TERM
    cp -L /etc/resolv.conf "$base/etc/resolv.conf"
    mount --bind "$cache/archives" "$base/var/cache/apt/archives"
    mount --bind "$cache/lists" "$base/var/lib/apt/lists"
    install -m 755 "$repo/scripts/install-deps.sh" "$base/tmp/install-deps.sh"
    chroot "$base" /usr/bin/env -i "${environment[@]}" /tmp/install-deps.sh --download-only
    rm -f "$base/tmp/install-deps.sh"
    say "Debian $release is ready, with the packages its build installs downloaded, in $(elapsed)"
    exit 0
fi

# This run's copy, with the machine's name resolution, the kernel's file systems and the package cache.
# A failed run's copy stays until the next run, for a look at it.
trap 'status=$?; unmount_below "$root"; ((status == 0)) || say "failed; the chroot of this run is kept in $root"' EXIT
remove "$root"
cp -a "$base" "$root"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# The copy is thrown away after the run: dpkg need not wait for each file to reach the disk, and
# man-db need not index the manual pages of the hundreds of packages the build installs.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/quorvane-unsafe-io"
echo 'man-db man-db/auto-update boolean false' | chroot "$root" debconf-set-selections
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
mkdir -p "$root/var/cache/ccache"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
mount --bind "$cache/lists" "$root/var/lib/apt/lists"
mount --bind "$cache/ccache" "$root/var/cache/ccache"

# A fresh clone of this commit, as a user's would be.
git init -q "$root/root/quorvane"
git -C "$root/root/quorvane" fetch -q "$repo" "$commit"
git -C "$root/root/quorvane" checkout -q --detach "$commit"
say "testing $(git -C "$repo" log -1 --format='%h %s' "$commit") in Debian $release"

inside() { chroot "$root" /usr/bin/env -i "${environment[@]}" bash -c "cd /root/quorvane && $1"; }
inside 'scripts/test.sh'
say "scripts/test.sh passed in Debian $release ($(elapsed) so far)"
inside 'scripts/check-install.sh build/packages/quorvane_*.deb'
# Packages that can no longer be downloaded are not kept.
inside 'apt-get autoclean -qq'
remove "$root"
say "Debian $release: the tests and the package passed in $(elapsed)"
