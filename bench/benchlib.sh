# Shared by the benchmark scripts: sourced, never run. Needs `root`, the checkout's folder.

# bench_install COMMAND:PACKAGE... installs, from Debian's packages, the packages whose command is
# missing (a COMMAND with a slash is a path that must be executable), then checks them all.
bench_install() {
    local missing=() pair command
    for pair in "$@"; do
        command=${pair%%:*}
        if [[ $command == */* ]]; then [[ -x $command ]] || missing+=("${pair#*:}"); else command -v "$command" >/dev/null || missing+=("${pair#*:}"); fi
    done
    [[ ${#missing[@]} -eq 0 ]] && return
    local sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    echo "installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    for pair in "$@"; do
        command=${pair%%:*}
        if [[ $command == */* ]]; then [[ -x $command ]]; else command -v "$command" >/dev/null; fi ||
            { echo "$command missing" >&2; exit 1; }
    done
}

# bench_build_cli sets `cli` to snaplore-cli of SNAPLORE_BUILD_DIR, or of a Release build in
# build-release that it makes or brings up to date (with snaplore-cli-image, which the picture
# commands hand over to).
bench_build_cli() {
    local dir=${SNAPLORE_BUILD_DIR:-$root/build-release}
    if [[ -z ${SNAPLORE_BUILD_DIR:-} ]]; then
        [[ -f $dir/build.ninja ]] ||
            cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSNAPLORE_TESTS=OFF >/dev/null
        cmake --build "$dir" --target snaplore-cli snaplore-cli-image >/dev/null
    fi
    cli=$dir/cli/snaplore-cli
    [[ -x $cli ]] || { echo "no snaplore-cli in $dir" >&2; exit 1; }
    if [[ -f $dir/CMakeCache.txt ]] && ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$dir/CMakeCache.txt"; then
        echo "warning: $dir is not a Release build" >&2
    fi
}
