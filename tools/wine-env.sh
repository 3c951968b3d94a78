# Sourced by the Wine wrappers. Expects WINEPREFIX; sets a quiet, non-interactive Wine and
# provides kelto_wine_ready, which creates the prefix once and makes sure its server runs.
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# File names cross the Unix locale: Chinese folder names need UTF-8.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# Wine hands the environment on to Windows programs, where libcurl's proxy variables come
# before Windows' proxy settings: a proxy of this machine's would take over every transfer
# (and cannot be reached from the tests' namespace). Tests that need one set their own.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

_kelto_tools_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# The prefix is set up once, under a lock, so that parallel tests do not race to create it.
_kelto_wine_create_prefix() {
  mkdir -p "$WINEPREFIX"
  wineboot --init </dev/null >/dev/null 2>&1 9>&- || return 1
  wineserver -w </dev/null >/dev/null 2>&1 9>&-
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp -n /usr/share/wine/fonts/*.ttf "$fonts"/ 2>/dev/null || true
  _kelto_wine_settings || return 1
  touch "$WINEPREFIX/.kelto-ready"
}

# The prefix's registry settings. The file is UTF-16 with the version 5 header: regedit reads
# a REGEDIT4 file in the ANSI code page, which garbles the Chinese face names (a font asked
# for as "微软雅黑" would then find no Chinese glyphs). A prefix made before a change of these
# settings takes them when its marker, named after their version, is missing.
_KELTO_WINE_SETTINGS_MARKER=.kelto-settings-5
_kelto_wine_settings() {
  local reg="$WINEPREFIX/kelto-setup.reg"
  { printf '\xff\xfe'
    iconv -f UTF-8 -t UTF-16LE <<'REG'
Windows Registry Editor Version 5.00

; A crash must end the process, not open a debugger window that waits for a click.
[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

; Nor may a debugger end it: the one Wine starts by default ends a crashed program with exit
; code 0, which a test would take for success. Without one the program ends with the
; exception's code.
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=-

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Microsoft YaHei"="WenQuanYi Micro Hei"
"微软雅黑"="WenQuanYi Micro Hei"
"SimSun"="WenQuanYi Micro Hei"
"宋体"="WenQuanYi Micro Hei"
"SimHei"="WenQuanYi Micro Hei"
"黑体"="WenQuanYi Micro Hei"

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"mscoree"=""
"mshtml"=""

; No proxy, and no automatic proxy detection, which Wine (as Windows) assumes when nothing is
; set: a detection would look the name "wpad" up through the system's resolver. The proxy tests
; set their own proxies here for a while. The value is WinHTTP's binary form: version 0x46, a
; change counter, flags (1: direct), and three empty strings (proxy, bypass list, script).
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections]
"DefaultConnectionSettings"=hex:46,00,00,00,01,00,00,00,01,00,00,00,00,00,00,00,00,00,00,00,\
  00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,\
  00,00,00,00,00,00

; Xvfb runs no window manager, so windows must not be "managed": hiding or destroying a
; managed window makes Wine wait two seconds for a manager's answer that never comes.
[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
  } > "$reg" || return 1
  wine regedit /S "$reg" </dev/null >/dev/null 2>&1 9>&- || return 1
  # The server regedit started saves the registry as it ends; the persistent one starts
  # later, once the test drives are linked.
  wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
  touch "$WINEPREFIX/$_KELTO_WINE_SETTINGS_MARKER"
}

# Whether a wineserver for this prefix accepts connections.
_kelto_wineserver_up() {
  python3 - "$WINEPREFIX" <<'PY' 2>/dev/null
import os, socket, sys
st = os.stat(sys.argv[1])
path = "/tmp/.wine-%d/server-%x-%x/socket" % (os.getuid(), st.st_dev, st.st_ino)
s = socket.socket(socket.AF_UNIX)
s.connect(path)
PY
}

# Start the persistent server and Wine's services detached from our output: a service that
# inherited CTest's pipe would hold every test for seconds, and a bare server without its
# services makes test discovery hang.
kelto_wine_start_server() {
  # Neither may inherit the prefix lock (fd 9): a server holding it would block every later
  # wrapper for ever.
  wineserver -p </dev/null >/dev/null 2>&1 9>&-
  wine wineboot </dev/null >/dev/null 2>&1 9>&-
}

kelto_wine_ready() {
  local lock="$WINEPREFIX.lock"
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.kelto-ready" ]; then
    _kelto_wine_create_prefix || { echo "wine-run: cannot create the Wine prefix $WINEPREFIX" >&2; exec 9>&-; return 1; }
  elif [ ! -f "$WINEPREFIX/$_KELTO_WINE_SETTINGS_MARKER" ]; then
    _kelto_wine_settings || { echo "wine-run: cannot update the settings of $WINEPREFIX" >&2; exec 9>&-; return 1; }
  fi
  if [ -z "${KELTO_WINE_SERVER_UP:-}" ] && ! _kelto_wineserver_up; then
    kelto_wine_start_server
  fi
  exec 9>&-
  return 0
}
