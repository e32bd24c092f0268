#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game windowed on its sample content.
set -euo pipefail
cd "$(dirname "$0")"
./deps.sh
# A build folder keeps the generator it was first set up with (an older build/ may have
# been made with Makefiles); a new one uses Ninja.
generator=(-G Ninja)
[[ -f build/CMakeCache.txt ]] && generator=()
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUV3_TESTS=OFF >/dev/null
cmake --build build --target tessmar

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: no display to open the game window on. Run it on a virtual X server:" >&2
    echo "    xvfb-run -a -s '-screen 0 1280x1024x24' ./run.sh" >&2
    exit 1
fi

# The first start plays in a window: the options get fullScreen=false when the user has none.
vendor=$(sed -n 's/^[[:space:]]*name[[:space:]]*=[[:space:]]*//p' data/cfg/vendor.cfg | head -n 1)
user_folder="${XDG_DATA_HOME:-$HOME/.local/share}/${vendor:-Tarn}/Tessmar5"
if [[ ! -f "$user_folder/options.cfg" ]]; then
    mkdir -p "$user_folder"
    printf '[main]\nfullScreen=false\n' >"$user_folder/options.cfg"
fi

cd build
exec ./tessmar "$@"
