#!/usr/bin/env bash
# many-machines-check.sh [BUILD-FOLDER]: proves the recipe of docs/many-machines.md on this machine.
# Two "hosts" are one sshd listening on 127.0.0.1 only, at two free high ports, with a host key and an
# authorised key made for this run in a temporary folder of its own. Over them GNU parallel reads 200
# decks from the same folder ("a shared folder"), then six of them from copies that it transfers and
# removes again; each merged output must equal a run of quorvane-cli on this machine alone byte for
# byte. Everything is removed at the end, also when the check fails. Needs openssh-server, GNU
# parallel and rsync (scripts/install-deps.sh does not install them; .ci/run does).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
cli=$build/src/cli/quorvane-cli
say() { echo "many-machines-check.sh: $*" >&2; }
[[ -x $cli ]] || { say "no quorvane-cli in $build (build it first)"; exit 1; }
for tool in /usr/sbin/sshd parallel rsync ssh ssh-keygen; do
    command -v "$tool" >/dev/null || { say "$tool is missing (openssh-server, parallel, rsync)"; exit 1; }
done

work=$(mktemp -d /tmp/quorvane-many-machines.XXXXXX)
made_privsep=""
cleanup() {
    [[ ! -s $work/sshd.pid ]] || kill "$(cat "$work/sshd.pid")" 2>/dev/null || true
    [[ -z $made_privsep ]] || rmdir /run/sshd 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# 200 decks: the samples and the readable test presentations of every kind, copied in turn.
mkdir -p "$work/shared/decks"
mapfile -t sources < <(git -C "$repo" ls-files 'samples/Samples/*' 'tests/data/pptx/*.pptx' 'tests/data/odp/*.od[pt]' \
    'tests/data/odp/*.fodp' 'tests/data/ppt/sample.ppt' 'tests/data/extras/*.pptx' 'tests/data/extras/*.odp')
for ((i = 0; i < 200; i++)); do
    source=${sources[i % ${#sources[@]}]}
    name=$(basename "$source")
    cp "$repo/$source" "$work/shared/decks/$(printf '%03d' "$i")-${name// /-}"
done
(cd "$work/shared" && find decks -type f | LC_ALL=C sort >"$work/decks.txt")
sed "s|^|$work/shared/|" "$work/decks.txt" >"$work/shared-decks.txt"
remote_cli=$(printf '%q' "$cli")

# The throwaway keys, and one sshd on 127.0.0.1 at two free high ports, from a configuration that
# names nothing outside this folder. sshd, started as root, insists on its privilege-separation
# folder; it is made for the run when the system has none.
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/client_key"
cp "$work/client_key.pub" "$work/authorized_keys"
if [[ $(id -u) -eq 0 && ! -d /run/sshd ]]; then
    mkdir -m 755 /run/sshd
    made_privsep=yes
fi
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 40000))
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
    done
}
started=""
for attempt in 1 2 3 4 5; do
    port_a=$(free_port) port_b=$(free_port)
    [[ $port_a != "$port_b" ]] || continue
    cat >"$work/sshd_config" <<EOF
ListenAddress 127.0.0.1:$port_a
ListenAddress 127.0.0.1:$port_b
HostKey $work/host_key
AuthorizedKeysFile $work/authorized_keys
PidFile $work/sshd.pid
AllowUsers $(id -un)
PermitRootLogin prohibit-password
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
X11Forwarding no
PrintMotd no
LogLevel ERROR
EOF
    /usr/sbin/sshd -f "$work/sshd_config" -E "$work/sshd.log"
    {
        printf 'Host quorvane-host-a\n  HostName 127.0.0.1\n  Port %s\n' "$port_a"
        printf 'Host quorvane-host-b\n  HostName 127.0.0.1\n  Port %s\n' "$port_b"
        printf 'Host *\n  User %s\n  IdentityFile %s\n  IdentitiesOnly yes\n  BatchMode yes\n' "$(id -un)" "$work/client_key"
        printf '  UserKnownHostsFile %s\n  GlobalKnownHostsFile /dev/null\n  StrictHostKeyChecking yes\n' "$work/known_hosts"
    } >"$work/ssh_config"
    for port in "$port_a" "$port_b"; do
        echo "[127.0.0.1]:$port $(cut -d' ' -f1-2 "$work/host_key.pub")"
    done >"$work/known_hosts"
    for ((wait = 0; wait < 50; wait++)); do
        if ssh -F "$work/ssh_config" quorvane-host-a true 2>/dev/null &&
            ssh -F "$work/ssh_config" quorvane-host-b true 2>/dev/null; then
            started=yes
            break 2
        fi
        sleep 0.1
    done
    [[ ! -s $work/sshd.pid ]] || kill "$(cat "$work/sshd.pid")" 2>/dev/null || true
    rm -f "$work/sshd.pid"
done
[[ -n $started ]] || { cat "$work/sshd.log" >&2 2>/dev/null || true; say "sshd did not start"; exit 1; }
say "two hosts: sshd on 127.0.0.1:$port_a and 127.0.0.1:$port_b"
hosts=(--ssh "ssh -F $work/ssh_config" --sshlogin 2/quorvane-host-a,2/quorvane-host-b)

# A shared folder: every host sees the decks at the same paths. The list goes out in shards of 20
# names, and --keep-order puts the outputs together in the list's order.
"$cli" text --json --files-from - <"$work/shared-decks.txt" >"$work/one-machine.jsonl"
parallel "${hosts[@]}" --will-cite --keep-order --pipe -N 20 "$remote_cli text --json --files-from -" \
    <"$work/shared-decks.txt" >"$work/many-machines.jsonl"
cmp "$work/one-machine.jsonl" "$work/many-machines.jsonl" ||
    { say "over a shared folder the merged output differs from the one-machine run"; exit 1; }
say "a shared folder: $(wc -l <"$work/many-machines.jsonl") lines from 200 decks, equal to one machine's"

# No shared folder: parallel copies the decks to the host's working folder, reads them there
# and removes them again, a deck a job (parallel 20221122 does not copy every file of a job with
# more). The one-machine run reads the same files at the same paths. Every deck costs ssh sessions
# of its own (to copy it, read it and remove it), so six of them show it.
head -n 6 "$work/decks.txt" >"$work/some-decks.txt"
mkdir "$work/remote"
cp -r "$work/shared/decks" "$work/remote/"
(cd "$work/remote" && "$cli" text --json --files-from - <"$work/some-decks.txt" >"$work/one-machine-copies.jsonl")
rm -r "$work/remote/decks"
cd "$work/shared"
parallel "${hosts[@]}" --will-cite --keep-order --workdir "$work/remote" --transferfile {} --cleanup \
    "$remote_cli" text --json :::: "$work/some-decks.txt" >"$work/many-machines-copies.jsonl"
cmp "$work/one-machine-copies.jsonl" "$work/many-machines-copies.jsonl" ||
    { say "with --transferfile the merged output differs from the one-machine run"; exit 1; }
[[ -z $(find "$work/remote" -type f 2>/dev/null) ]] || { say "--cleanup left copies in the hosts' working folder"; exit 1; }
say "6 decks copied to the hosts: the same output, and no copy left behind"
say "passed in ${SECONDS}s"
