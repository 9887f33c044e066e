# Shared settings of the Wine test harness; sourced by the scripts here.
# Every run keeps its state under $CORVALLO_BUILD/harness (the Windows build
# folder), so that two builds never share a prefix, a display or a server.

harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_dir=$(cd "$harness_dir/../.." && pwd)
: "${CORVALLO_BUILD:=$repo_dir/build/win}"
: "${CORVALLO_NATIVE_TOOLS:=$repo_dir/build/native/tests/tools}"
state_dir="$CORVALLO_BUILD/harness"
template_prefix="$state_dir/prefix-template"
mkdir -p "$state_dir"

export WINEARCH=win32
export WINEDEBUG=${CORVALLO_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export CORVALLO_BUILD CORVALLO_NATIVE_TOOLS

log() { printf '[harness] %s\n' "$*" >&2; }

# Ends a process by id: TERM, a bounded wait, then KILL.
end_pid() {
  local pid=$1 i
  kill -0 "$pid" 2>/dev/null || return 0
  kill "$pid" 2>/dev/null
  for i in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
}

# Makes the template prefix once per build folder: a fresh 32-bit prefix with
# Wine's fonts, font replacements and unmanaged windows (no window manager
# runs under Xvfb).
ensure_template_prefix() {
  [ -f "$template_prefix/.ready-2" ] && return 0
  (
    flock 9
    [ -f "$template_prefix/.ready-2" ] && exit 0
    log "making the template prefix (about 15 s)"
    local tmp="$template_prefix.tmp.$$"
    rm -rf "$tmp"
    export WINEPREFIX="$tmp"
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
    local fonts="$tmp/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    dpkg -L fonts-wine 2>/dev/null | grep -Ei '\.(ttf|fon)$' | while read -r f; do cp -n "$f" "$fonts/"; done
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f >/dev/null 2>&1 </dev/null
    local r='HKCU\Software\Wine\Fonts\Replacements'
    wine reg add "$r" /v Arial /d 'Liberation Sans' /f >/dev/null 2>&1 </dev/null
    wine reg add "$r" /v Verdana /d 'DejaVu Sans' /f >/dev/null 2>&1 </dev/null
    wine reg add "$r" /v 'Times New Roman' /d 'Liberation Serif' /f >/dev/null 2>&1 </dev/null
    wine reg add "$r" /v 'Courier New' /d 'Liberation Mono' /f >/dev/null 2>&1 </dev/null
    # The suite's own folders and registry key, as the suite's installer leaves them.
    mkdir -p "$tmp/drive_c/Program Files/Corvallo/Update" "$tmp/drive_c/ProgramData/Corvallo"
    wine reg add 'HKLM\SOFTWARE\Quendrel' /f >/dev/null 2>&1 </dev/null
    # A crashing test program ends at once instead of waiting in the debugger.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    touch "$tmp/.ready-2"
    rm -rf "$template_prefix"
    mv "$tmp" "$template_prefix"
  ) 9>"$state_dir/template.lock"
}

# Starts Xvfb on a free display; prints "display pid".
start_xvfb() {
  local fifo="$state_dir/xvfb.$$.fd"
  rm -f "$fifo"
  # Not with the callers' lock descriptor (9): the display would hold their lock as long as it runs.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" 9>&- >/dev/null 2>&1 &
  local pid=$! i d=""
  for i in $(seq 1 100); do
    d=$(cat "$fifo" 2>/dev/null | tr -d '[:space:]')
    [ -n "$d" ] && break
    sleep 0.1
  done
  rm -f "$fifo"
  [ -n "$d" ] || { end_pid "$pid"; return 1; }
  echo ":$d $pid"
}

# Converts a Unix path to the path a Windows program sees (drive Z:).
winpath() { printf 'Z:%s' "$(readlink -f "$1" | tr / '\\')"; }
