#!/usr/bin/env bash
# Runs a command on a real ALSA sequencer: boots Debian's own kernel in a
# small virtual machine (QEMU) whose root is this machine's own file system,
# read-only, and runs the command there as root. The machine runs on KVM
# where /dev/kvm can be opened and the machine's kernel comes up there within
# 5 s, under emulation (TCG) otherwise; once KVM has failed, emulation is used
# at once until this machine boots again. The kernel has the sequencer and its "Midi Through" client (14:0)
# loaded; snd-virmidi is at hand for a test to plug and pull
# (scripts/alsa-seq.sh). For machines whose kernel has no sound support.
#
#   alsa-guest.sh run [--memory MB] [--timeout SECONDS] [--share DIR]...
#                     [--env NAME[=VALUE]]... -- COMMAND [ARGS...]
#
# runs COMMAND in the folder it is started from and returns its exit status;
# its standard output and error are this script's. It sees the host's files
# as they are, except that /tmp, /run and /dev/shm start empty and that
# nothing can be written but there and in the folders shared: the working
# folder and every DIR, where what the command writes shows on the host at
# once. It gets PATH, HOME, LANG, LANGUAGE, TZ, TERM and every LC_*, XDG_*,
# QT_*, ZR70_*, ASAN_OPTIONS, LSAN_OPTIONS and UBSAN_OPTIONS variable there is,
# and those --env names (NAME alone passes the host's value). Its standard
# input is empty. The machine has 256 MB unless --memory says otherwise; it
# is stopped after 600 s or --timeout SECONDS, and the script then returns
# 124. It returns 125 when the machine failed to start or run the command,
# and prints the machine's console on stderr. There, ZR70_ALSA_MODULES names
# the folder of snd-virmidi's modules (for scripts/alsa-seq.sh). The machine
# ends with this script, also when it is killed.
#
#   alsa-guest.sh prepare
#
# only builds the cache and prints its folder. The cache holds the kernel
# (the package linux-image-amd64 depends on, fetched with apt-get download;
# never installed) and the initial file system made from it and busybox, in
# ${ZR70_ALSA_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zr70-alsa-guest}/<package>_<version>_<recipe>;
# the first run builds it, and runs that start together wait for each other.
# A folder unused for a week is removed when another is built.
#
# With ZR70_ALSA_GUEST_KEEP set, the folder of a run (its command, the
# machine's console log) is left in ${TMPDIR:-/tmp}/zr70-guest.* to look at.
set -euo pipefail
shopt -s inherit_errexit

# The modules the machine loads at start (with what they depend on), and those
# a test plugs.
_guest_boot_modules=(snd-seq-dummy virtio_pci 9pnet_virtio 9p)
_guest_plug_modules=(snd-virmidi)

_guest_fail() {
    echo "alsa-guest.sh: $*" >&2
    exit 125
}

# The cache's base folder.
_guest_cache_base() {
    printf '%s\n' "${ZR70_ALSA_GUEST_CACHE:-${XDG_CACHE_HOME:-${HOME:?}/.cache}/zr70-alsa-guest}"
}

# "<package> <version>" of the kernel linux-image-amd64 depends on now. Where
# apt keeps no cache of its lists (as in Debian's container images) apt-cache
# reads them all, which takes seconds: the answer is kept until the lists
# change.
_guest_kernel_package() {
    local base known
    base=$(_guest_cache_base)
    known=$base/kernel-package
    if [[ -s "$known" && "$known" -nt /var/lib/apt/lists ]]; then
        cat "$known"
        return
    fi
    mkdir -p "$base"
    apt-cache show --no-all-versions linux-image-amd64 2>/dev/null |
        sed -nE 's/^Depends:.*(linux-image-[0-9][^ ,]*) \(= ([^)]*)\).*/\1 \2/p' | head -n 1 |
        tee "$known.$$"
    if [[ -s "$known.$$" ]]; then
        mv -f "$known.$$" "$known"
    else
        rm -f "$known.$$"
    fi
}

# The cache folder of the kernel to use, built when it is not there. Without
# the package lists (never updated on this machine) and not root to update
# them, the newest folder the cache has is used.
_guest_cache() {
    local base package version found cache
    base=$(_guest_cache_base)
    read -r package version < <(_guest_kernel_package) || true
    if [[ -z "${package:-}" ]] && _guest_update_lists; then
        read -r package version < <(_guest_kernel_package) || true
    fi
    if [[ -z "${package:-}" ]]; then
        found=$(find "$base" -mindepth 2 -maxdepth 2 -name initramfs.cpio -printf '%T@ %h\n' 2>/dev/null |
            sort -rn | head -n 1 | cut -d' ' -f2-)
        [[ -n "$found" ]] || _guest_fail "cannot tell which kernel to fetch: apt-cache knows no linux-image-amd64"
        printf '%s\n' "$found"
        return
    fi
    cache=$(_guest_cache_folder "$base" "$package" "$version")
    if [[ ! -e "$cache/initramfs.cpio" ]]; then
        mkdir -p "$base"
        local lock
        exec {lock}>"$base/.lock"
        flock "$lock"
        # Another run may have built it while this one waited. The lists may
        # name a version the archive no longer has: once they are updated, the
        # version they name now is tried. (A build runs as a job of its own:
        # in a condition, errexit would not hold inside it.)
        if [[ ! -e "$cache/initramfs.cpio" ]] &&
            ! { _guest_build "$base" "$package" "$version" "$cache" & wait $!; }; then
            _guest_update_lists || exit 125
            read -r package version < <(_guest_kernel_package) || true
            [[ -n "${package:-}" ]] || _guest_fail "apt-cache knows no linux-image-amd64"
            cache=$(_guest_cache_folder "$base" "$package" "$version")
            if [[ ! -e "$cache/initramfs.cpio" ]]; then
                { _guest_build "$base" "$package" "$version" "$cache" & wait $!; } || exit 125
            fi
        fi
        exec {lock}>&-
    fi
    # Those of other kernels or recipes go once unused for a week.
    touch "$cache"
    printf '%s\n' "$cache"
}

# Updates apt's package lists where this script may, and forgets what they
# named.
_guest_update_lists() {
    [[ $(id -u) -eq 0 ]] || return 1
    apt-get update -qq >&2 || return 1
    rm -f "$(_guest_cache_base)/kernel-package"
}

# _guest_cache_folder BASE PACKAGE VERSION: the cache folder of that kernel,
# with a hash of the way the cache is built, so that a change there makes a
# new one.
_guest_cache_folder() {
    local recipe
    recipe=$({
        declare -f _guest_build _guest_vmlinux _guest_modules _guest_init
        echo "${_guest_boot_modules[*]} ${_guest_plug_modules[*]}"
    } | md5sum | cut -c1-8)
    printf '%s/%s_%s_%s\n' "$1" "$2" "$3" "$recipe"
}

# _guest_build BASE PACKAGE VERSION CACHE: fetches and unpacks the kernel in a
# folder of its own and renames it to CACHE when it is complete.
_guest_build() {
    local base=$1 package=$2 version=$3 cache=$4 work
    work=$(mktemp -d "$base/.build.XXXXXX")
    # Removed on any failure; once renamed there is nothing left to remove.
    _guest_work=$work
    trap 'rm -rf "$_guest_work"' EXIT
    echo "alsa-guest.sh: preparing $package $version in $cache" >&2
    (cd "$work" && apt-get download -qq -o APT::Sandbox::User=root "$package=$version" >&2) ||
        _guest_fail "apt-get download $package=$version failed"
    dpkg-deb -x "$work"/*.deb "$work/deb"
    rm -f "$work"/*.deb

    local root kernel
    root=$(find "$work/deb" -type d -path '*/lib/modules' | head -n 1)
    root=${root%/lib/modules}
    kernel=$(find "$root/lib/modules" -mindepth 1 -maxdepth 1 -printf '%f\n' | head -n 1)
    [[ -n "$kernel" ]] || _guest_fail "$package has no modules"
    _guest_vmlinux "$work/deb/boot/vmlinuz-$kernel" "$work/vmlinux"
    # The package has no modules.dep: it is made when the package is installed.
    depmod -b "$root" "$kernel"

    local initramfs=$work/initramfs
    mkdir -p "$initramfs"/{bin,dev,proc,sys,job,newroot,modules/plug}
    cp /bin/busybox "$initramfs/bin/busybox"
    ln -s busybox "$initramfs/bin/sh"
    _guest_modules "$root" "$kernel" "$initramfs/modules" "${_guest_boot_modules[@]}"
    _guest_modules "$root" "$kernel" "$initramfs/modules/plug" "${_guest_plug_modules[@]}"
    # Only those the machine has not loaded already are plugged.
    grep -vxF -f "$initramfs/modules/order" "$initramfs/modules/plug/order" >"$work/plug" || true
    mv "$work/plug" "$initramfs/modules/plug/order"
    (cd "$initramfs/modules/plug" && find . -name '*.ko' -printf '%f\n' | grep -vxF -f order | xargs -r rm)
    _guest_init >"$initramfs/init"
    chmod 755 "$initramfs/init"
    (cd "$initramfs" && find . | LC_ALL=C sort | cpio --quiet -o -H newc -R 0:0) >"$work/initramfs.cpio"

    rm -rf "$work/deb" "$initramfs"
    echo "$package $version $kernel" >"$work/kernel"
    chmod 755 "$work"
    mv -T "$work" "$cache"
    trap - EXIT
    find "$base" -mindepth 1 -maxdepth 1 -type d -mtime +7 -exec rm -rf {} +
}

# _guest_vmlinux VMLINUZ VMLINUX: the kernel itself, unpacked from the xz
# stream inside the compressed image. QEMU starts it directly, which takes
# seconds less than letting the image unpack itself in the emulated machine.
_guest_vmlinux() {
    local offset
    offset=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$1" | head -n 1 | cut -d: -f1)
    [[ -n "$offset" ]] || _guest_fail "$1 holds no xz stream"
    # xz stops at what follows the stream; that it says so is expected.
    tail -c +$((offset + 1)) "$1" | xz -dc >"$2" 2>/dev/null || true
    [[ $(head -c 4 "$2") == $'\x7fELF' ]] || _guest_fail "$1 did not unpack to a kernel"
}

# _guest_modules ROOT KERNEL FOLDER MODULE...: copies the modules and those
# they depend on into FOLDER, uncompressed, and lists them in FOLDER/order in
# the order they load.
_guest_modules() {
    local root=$1 kernel=$2 folder=$3 path name
    shift 3
    modprobe -d "$root" -S "$kernel" --show-depends -a "$@" |
        sed -n 's/^insmod \([^ ]*\).*/\1/p' | awk '!seen[$0]++' |
        while read -r path; do
            name=$(basename "$path")
            case "$name" in
            *.ko) cp "$path" "$folder/$name" ;;
            *.ko.xz) xz -dc "$path" >"$folder/${name%.xz}" ;;
            *) _guest_fail "cannot unpack the module $name" ;;
            esac
            echo "${name%.ko*}.ko"
        done >"$folder/order"
}

# The machine's first process: loads the modules, puts the host's file system
# together as the command's root, runs the command and resets the machine,
# which ends QEMU (-no-reboot) half a second sooner than a power-off. The folder
# of the run (share "job") holds the shares to mount, the command and, at the
# end, its status.
_guest_init() {
    cat <<'EOF'
#!/bin/sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t devtmpfs devtmpfs /dev
exec </dev/null >/dev/console 2>&1
echo "alsa-guest: the kernel runs"
mount -t proc proc /proc
mount -t sysfs sysfs /sys

stop() {
    echo "alsa-guest: $*"
    reboot -f
}
while read -r module; do
    insmod "/modules/$module" || stop "could not load $module"
done </modules/order
ninep=trans=virtio,version=9p2000.L,msize=262144
mount -t 9p -o "$ninep" job /job || stop "could not mount the run's folder"
mount -t 9p -o "$ninep,ro,cache=loose" hostroot /newroot || stop "could not mount the host's files"

root=/newroot
mount -t devtmpfs devtmpfs $root/dev
mkdir -p $root/dev/pts $root/dev/shm
ln -s /proc/self/fd $root/dev/fd
ln -s /proc/self/fd/0 $root/dev/stdin
ln -s /proc/self/fd/1 $root/dev/stdout
ln -s /proc/self/fd/2 $root/dev/stderr
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts $root/dev/pts
mount -t tmpfs -o mode=1777 tmpfs $root/dev/shm
mount -t proc proc $root/proc
mount -t sysfs sysfs $root/sys
mount -t tmpfs -o mode=1777 tmpfs $root/tmp
mount -t tmpfs -o mode=755 tmpfs $root/run
mkdir -p $root/run/zr70-alsa-guest
cp -r /modules/plug $root/run/zr70-alsa-guest/modules
chmod 666 $root/dev/snd/seq
while read -r tag path; do
    mkdir -p "$root$path" || stop "could not make $path"
    if [ "$tag" = job ]; then
        mount --bind /job "$root$path"
    else
        mount -t 9p -o "$ninep" "$tag" "$root$path"
    fi || stop "could not mount $path"
done </job/shares

stty -F /dev/ttyS1 raw -echo
stty -F /dev/ttyS2 raw -echo
env -i chroot $root /bin/bash "$(cat /job/path)/command.sh" </dev/null >/dev/ttyS1 2>/dev/ttyS2
status=$?
# A change of settings waits for what is still to be sent.
stty -F /dev/ttyS1 raw
stty -F /dev/ttyS2 raw
echo $status >/job/status
sync
reboot -f
EOF
}

# _guest_command FOLDER COMMAND...: writes FOLDER/command.sh, which sets the
# environment and runs COMMAND in the working folder.
_guest_command() {
    local folder=$1 name
    shift
    {
        echo "# The command of this run, written by alsa-guest.sh."
        for name in "${_guest_env[@]}"; do
            [[ -v $name ]] || continue
            printf 'export %s=%q\n' "$name" "${!name}"
        done
        printf 'export ZR70_ALSA_MODULES=/run/zr70-alsa-guest/modules\n'
        # shellcheck disable=SC2016
        printf '%s\n' 'if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ ! -d "$XDG_RUNTIME_DIR" ]; then' \
            '    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"' 'fi'
        printf 'cd -- %q || exit 125\n' "$PWD"
        printf 'exec --'
        printf ' %q' "$@"
        printf '\n'
    } >"$folder/command.sh"
}

# The variables passed on by default.
_guest_default_env() {
    local name
    for name in PATH HOME LANG LANGUAGE TZ TERM ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
        [[ -v $name ]] && echo "$name"
    done
    compgen -e | grep -E '^(LC_|XDG_|QT_|ZR70_)' || true
}

# Under emulation, ACPI's routing of the PCI interrupts takes a second of the
# start, the crypto self-tests half a second, the mitigations and read-only
# kernel data some more; a panic resets the machine.
_guest_kernel_options="console=ttyS0 quiet panic=-1 rdinit=/init pci=noacpi cryptomgr.notests mitigations=off rodata=off"

_guest_qemu_pid=
_guest_timer_pid=
_guest_out_pid=
_guest_err_pid=
_guest_job=

_guest_cleanup() {
    local pid
    for pid in "$_guest_qemu_pid" "$_guest_timer_pid" "$_guest_out_pid" "$_guest_err_pid"; do
        if [[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null; then
            wait "$pid" 2>/dev/null || true
        fi
    done
    _guest_qemu_pid='' _guest_timer_pid='' _guest_out_pid='' _guest_err_pid=''
    if [[ -n "$_guest_job" && -z "${ZR70_ALSA_GUEST_KEEP:-}" ]]; then
        rm -rf "$_guest_job"
    fi
    _guest_job=
}

# _guest_qemu ACCEL: starts the machine on ACCEL (kvm or tcg), with the
# variables of _guest_run. On KVM it gets this machine's processor, whose
# programs it runs.
_guest_qemu() {
    local cpu=()
    [[ "$1" == kvm ]] && cpu=(-cpu host)
    setpriv --pdeathsig KILL -- qemu-system-x86_64 \
        -accel "$1" "${cpu[@]}" -m "$memory" -smp 1 -nodefaults -no-user-config -display none -no-reboot \
        -kernel "$cache/vmlinux" -initrd "$cache/initramfs.cpio" \
        -append "$_guest_kernel_options" \
        -serial "file:$job/console.log" \
        -chardev "file,id=out,path=${job//,/,,}/out" -serial chardev:out \
        -chardev "file,id=err,path=${job//,/,,}/err" -serial chardev:err \
        -fsdev "local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap" \
        -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
        -fsdev "local,id=job,path=${job//,/,,},security_model=none,multidevs=remap" \
        -device virtio-9p-pci,fsdev=job,mount_tag=job \
        "${qemu[@]}" </dev/null {out}>&- {err}>&- &
    _guest_qemu_pid=$!
}

# KVM can be tried: /dev/kvm opens, and it has not failed since this machine
# booted.
_guest_kvm_usable() {
    [[ -r /dev/kvm && -w /dev/kvm ]] || return 1
    [[ "$(cat "$(_guest_cache_base)/kvm-failed" 2>/dev/null)" != "$(cat /proc/sys/kernel/random/boot_id)" ]]
}

# The machine's kernel has started its first program within 5 s. Where KVM
# cannot run a machine inside this one, the machine's firmware hangs: no line
# ever comes, and QEMU does not end.
_guest_kernel_runs() {
    local deadline=$((SECONDS + 5))
    until grep -qs '^alsa-guest: the kernel runs' "$job/console.log"; do
        ((SECONDS <= deadline)) && kill -0 "$_guest_qemu_pid" 2>/dev/null || return 1
        sleep 0.05
    done
}

_guest_stop_qemu() {
    kill -KILL "$_guest_qemu_pid" 2>/dev/null || true
    wait "$_guest_qemu_pid" 2>/dev/null || true
    _guest_qemu_pid=
}

_guest_run() {
    local memory=256 timeout=600 shares=() name
    _guest_env=()
    while (($# > 0)); do
        case "$1" in
        --memory) memory=${2:?--memory MB} && shift 2 ;;
        --timeout) timeout=${2:?--timeout SECONDS} && shift 2 ;;
        --share)
            [[ -d "${2:?--share DIR}" ]] || _guest_fail "--share $2: no such folder"
            shares+=("$(realpath "$2")") && shift 2
            ;;
        --env)
            name=${2:?--env NAME[=VALUE]}
            if [[ "$name" == *=* ]]; then
                export "${name%%=*}=${name#*=}"
                name=${name%%=*}
            fi
            _guest_env+=("$name") && shift 2
            ;;
        --) shift && break ;;
        *) _guest_fail "unknown option $1 (see the head of this script)" ;;
        esac
    done
    (($# > 0)) || _guest_fail "no command given after --"
    [[ "$memory" =~ ^[0-9]+$ && "$timeout" =~ ^[0-9]+$ ]] ||
        _guest_fail "--memory and --timeout take whole numbers"
    mapfile -t -O "${#_guest_env[@]}" _guest_env < <(_guest_default_env)

    local cache
    cache=$(_guest_cache)
    trap _guest_cleanup EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
    _guest_job=$(mktemp -d "${TMPDIR:-/tmp}/zr70-guest.XXXXXX")
    local job=$_guest_job
    printf '%s\n' "$job" >"$job/path"
    _guest_command "$job" "$@"

    # The run's folder, and the working folder and the shared ones less those
    # inside another, those above others first.
    [[ "$PWD" != / ]] && shares+=("$PWD")
    local qemu=() index=0 path
    {
        printf 'job\t%s\n' "$job"
        ((${#shares[@]} == 0)) || printf '%s\n' "${shares[@]}" | LC_ALL=C sort -u |
            awk '{ for (i = 1; i <= n; i++) if (index($0, kept[i] "/") == 1) next; kept[++n] = $0
                   print "share\t" $0 }'
    } | LC_ALL=C sort -t$'\t' -k2,2 >"$job/list"
    while IFS=$'\t' read -r name path; do
        [[ "$name" == job ]] || name=share$((index++))
        printf '%s %s\n' "$name" "$path" >>"$job/shares"
        [[ "$name" == job ]] && continue
        qemu+=(-fsdev "local,id=$name,path=${path//,/,,},security_model=none,multidevs=remap"
            -device "virtio-9p-pci,fsdev=$name,mount_tag=$name")
    done <"$job/list"

    # ttyS0 is the console, ttyS1 and ttyS2 the command's output and errors,
    # which reach this script's through pipes: written into its output
    # directly they would not move the offset of a file it shares with its
    # caller, whose next write would overwrite them.
    # This script holds both pipes open until QEMU has ended, so that no open
    # waits for the other end, and the readers see their end then even if
    # QEMU never opened them.
    local out err
    mkfifo "$job/out" "$job/err"
    exec {out}<>"$job/out" {err}<>"$job/err"
    cat "$job/out" {out}>&- {err}>&- &
    _guest_out_pid=$!
    cat "$job/err" >&2 {out}>&- {err}>&- &
    _guest_err_pid=$!
    local accel=tcg
    _guest_kvm_usable && accel=kvm
    _guest_qemu "$accel"
    setpriv --pdeathsig KILL -- sleep "$timeout" {out}>&- {err}>&- &
    _guest_timer_pid=$!
    if [[ "$accel" == kvm ]] && ! _guest_kernel_runs; then
        _guest_stop_qemu
        echo "alsa-guest.sh: the machine did not come up on KVM; it is emulated until this machine boots again" >&2
        cat /proc/sys/kernel/random/boot_id >"$(_guest_cache_base)/kvm-failed" || true
        rm -f "$job/console.log"
        _guest_qemu tcg
    fi

    local ended
    wait -n -p ended "$_guest_qemu_pid" "$_guest_timer_pid" || true
    if [[ "$ended" == "$_guest_timer_pid" ]]; then
        _guest_timer_pid=
        echo "alsa-guest.sh: the machine was stopped after $timeout s; its console:" >&2
        cat "$job/console.log" >&2
        exit 124
    fi
    _guest_qemu_pid=
    exec {out}>&- {err}>&-
    wait "$_guest_out_pid" "$_guest_err_pid" || true
    if [[ ! -s "$job/status" ]]; then
        echo "alsa-guest.sh: the machine ended without running the command; its console:" >&2
        cat "$job/console.log" >&2
        exit 125
    fi
    exit "$(cat "$job/status")"
}

case "${1:-}" in
run)
    shift
    _guest_run "$@"
    ;;
prepare) _guest_cache ;;
*)
    echo "usage: alsa-guest.sh run [--memory MB] [--timeout SECONDS] [--share DIR]... [--env NAME[=VALUE]]... -- COMMAND [ARGS...]" >&2
    echo "       alsa-guest.sh prepare" >&2
    exit 2
    ;;
esac
