#!/bin/sh
# Makes the Wine prefix the Windows tests share ($WINEPREFIX) look like a desktop:
# Wine's own fonts (MS Sans Serif, Marlett for the title-bar buttons, Tahoma),
# which Debian's Wine does not find by itself, and windows that Wine frames
# itself, since Xvfb has no window manager (without one each hide waits 2 s).
set -e
wine="$1"
"$wine" wineboot -i
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ]; then
    cp -u /usr/share/wine/fonts/* "$fonts/"
fi
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
