#!/usr/bin/env bash
# Writes a two-page sample report in the sibling programs' print format to
# stdout: PCL5 escapes, code page 852 text with Polish letters, box frames,
# CR LF lines and a form feed between the pages.
set -euo pipefail
e=$'\e'
line() { printf '%s\r\n' "$1"; }
# Box-drawing bytes of code page 852 and a few Polish letters in it.
tl=$'\xc9' tr=$'\xbb' bl=$'\xc8' br=$'\xbc' h2=$'\xcd' v2=$'\xba'
stl=$'\xda' str=$'\xbf' sbl=$'\xc0' sbr=$'\xd9' h1=$'\xc4' v1=$'\xb3' lt=$'\xc3' rt=$'\xb4'
a_=$'\xa5' e_=$'\xa9' l_=$'\x88' o_=$'\xa2' s_=$'\x98' z_=$'\xbe' c_=$'\x86' n_=$'\xe4' Z_=$'\xbd'
rep() { local s=""; for ((i = 0; i < $2; i++)); do s+="$1"; done; printf '%s' "$s"; }
# A framed row: text padded to the frame's inner width (one byte a character).
row() { LC_ALL=C printf '  %s%-*s%s\r\n' "$1" "$2" "$3" "$1"; }

page() {
    local n=$1
    line "  Faktura VAT Nr FV/$n/2026"
    line "  za okres 01-12-2026 do 31-12-2026"
    line "${e}&l0O${e}(s12H${e}&l6C"
    line "  ${tl}$(rep "$h2" 56)${tr}"
    row "$v2" 56 " Zak${l_}ad Us${l_}ugowy \"Pr${o_}bka\"      strona $n z 2"
    line "  ${bl}$(rep "$h2" 56)${br}"
    line ""
    line "  ${stl}$(rep "$h1" 30)${str}"
    row "$v1" 30 " Za${z_}${o_}${l_}${c_} g${e_}${s_}l${a_} ja${z_}${n_}"
    line "  ${lt}$(rep "$h1" 30)${rt}"
    row "$v1" 30 " ${Z_}${o_}${l_}w i ${s_}limak: 12,50 z${l_}"
    line "  ${sbl}$(rep "$h1" 30)${sbr}"
    line ""
    line "  ${e}(s1BRazem do zap${l_}aty: 1 234,56 z${l_}${e}(s0B"
}

page 1
printf '\f'
page 2
