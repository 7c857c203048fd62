#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# layer_check.sh SOURCE_DIR: fails on an #include "..." in product code that
# runs against the layers the build links:
#   platform <- module <- presentation <- board <- shell (the reader only)
#   game beside module (no SDL); packing on module, the reader's decoders and
#   the board's geometry; packing/convert on packing; each tool and generator
#   on what it uses.
# The one exception: the app-wide state (shell/app_state.h, shell/globals.*)
# is a library of its own linked under presentation, so the screens, the
# board and the board picture may include it, and it may include only
# platform/, module/ and the board's state type it holds.
set -u
cd "${1:?usage: layer_check.sh SOURCE_DIR}" || exit 2
base='platform/|module/'
decoders='presentation/(picture_decode|sound_decode|video_player)\.h'
state='shell/(app_state|globals)\.h'

rule() {  # what a file may include, as the start of an ERE
  case $1 in
    platform/*) echo 'platform/' ;;
    module/*) echo "$base" ;;
    game/*) echo "$base|game/" ;;
    presentation/*) echo "$base|presentation/|$state" ;;
    board/*) echo "$base|presentation/|board/|$state" ;;
    shell/app_state.h | shell/globals.*) echo "$base|board/board_state\.h|$state" ;;
    shell/*) echo "$base|game/|presentation/|board/|shell/" ;;
    packing/convert/*) echo "$base|$decoders|packing/" ;;
    packing/*) echo "$base|$decoders|board/geometry\.h|packing/[^/]+$" ;;
    generators/board-shot/*) echo "$base|presentation/|board/|$state|generators/board-shot/" ;;
    tools/rvl-pack/*) echo "$base|packing/|tools/rvl-pack/" ;;
    generators/demo/*) echo "$base|packing/[^/]+$|generators/demo/" ;;
    tools/*/* | generators/*/*) echo "platform/|${1%/*}/" ;;
  esac
}

status=0
while IFS= read -r file; do
  allowed=$(rule "$file")
  if [ -z "$allowed" ]; then echo "$file: in no layer"; status=1; continue; fi
  while IFS=: read -r line name; do
    [[ $name =~ ^($allowed) ]] || { echo "$file:$line: \"$name\" runs against the layers"; status=1; }
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/; T; =; p' "$file" | paste -d: - -)
  if [[ $file == game/* ]] && grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<SDL' "$file"; then
    echo "$file: the game model uses no SDL"; status=1
  fi
done < <(find platform module game presentation board shell packing tools generators -name '*.cpp' -o -name '*.h' | sort)
exit $status
