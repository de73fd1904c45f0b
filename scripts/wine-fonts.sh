# zendrel_link_wine_fonts: makes Wine's own fonts (Tahoma, Marlett, ...) of
# Debian's fonts-wine visible in the prefix $WINEPREFIX. Sourced, not run.
#
# Wine 8 as Debian packages it looks for its fonts in C:\windows\Fonts of the
# prefix and in fontconfig's folders, not in /usr/share/wine/fonts where
# fonts-wine puts them: without this link Tahoma falls back to Liberation Sans
# (Arial's widths) and the caption buttons, drawn in Marlett, show as letters.
zendrel_link_wine_fonts() {
  local dir=/usr/share/wine/fonts target="$WINEPREFIX/drive_c/windows/Fonts" f
  [ -d "$dir" ] && [ -d "$target" ] || return 0
  for f in "$dir"/*; do
    [ -e "$target/${f##*/}" ] || ln -s "$f" "$target/${f##*/}"
  done
}
