#!/usr/bin/env bash
# Installs the Debian packages the build needs, or says how to.
set -u
packages=(g++ cmake make libgtest-dev nlohmann-json3-dev libsodium-dev libedit-dev pkg-config libboost-dev libboost-context-dev "$@")
if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "deps: no dpkg here; make sure these are installed: ${packages[*]}" >&2
    exit 0
fi
missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)
    [[ "$status" == *"install ok installed"* ]] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
    echo "deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq "${missing[@]}" || exit 1
else
    echo "deps: missing packages; run as root:" >&2
    echo "    apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
fi
