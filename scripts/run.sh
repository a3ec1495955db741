#!/usr/bin/env bash
# `make run`: starts the agent under Wine, on $DISPLAY when there is one, else on a private Xvfb
# display, and stays in the foreground until the agent exits (tray menu "Exit") or Ctrl+C.
set -u
cd "$(dirname "$0")/.."
export QF_USE_DISPLAY=1
. scripts/wine-env.sh
trap qf_env_stop EXIT
trap 'exit 130' INT TERM
qf_env_start || exit 1
user=$(id -un)
logs="$WINEPREFIX/drive_c/users/$user/Documents/Quillrook files/Log/"
echo "Quillrook Folder runs on display $DISPLAY (Wine prefix $WINEPREFIX)."
echo "Logs: $logs (folder.log, folder_error.log; written every few seconds)"
echo "Registry: HKEY_CURRENT_USER\\Software\\BrantwellTools\\Quillrook Folder in $WINEPREFIX/user.reg"
echo "Stop it with the tray menu's Exit, or press Ctrl+C here."
wine "$QF_BIN/qrfolder.exe" "$@"
