# bash completion for quorix. Commands and options are asked of the
# installed quorix itself (its --help), so they never fall behind it.
_quorix() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion || return
  else
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  fi
  local quorix=${words[0]}

  if [ "$cword" -eq 1 ]; then
    local commands
    commands=$("$quorix" --help 2>/dev/null | sed -n 's/^\(usage:\)\{0,1\} *quorix \([a-z0-9]\{1,\}\).*/\2/p')
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi

  case $prev in
    --machine | --show)
      COMPREPLY=($(compgen -W "$("$quorix" machines 2>/dev/null | awk 'NR > 1 && NF == 0 {exit} NR > 1 {print $1}')" -- "$cur"))
      return ;;
    --sound)
      # The sounds of the machine named earlier on the line.
      local i machine=dmx
      for ((i = 1; i < cword; i++)); do [ "${words[i]}" = --machine ] && machine=${words[i+1]}; done
      COMPREPLY=($(compgen -W "$("$quorix" machines --show "$machine" 2>/dev/null |
        awk '/^\[\[machine.sound\]\]/ {s = 1; next} s && /^name = / {gsub(/"/, "", $3); print $3; s = 0}')" -- "$cur"))
      return ;;
    --eprom-pinout) COMPREPLY=($(compgen -W "tr707-27c256 drumtraks-27256" -- "$cur")); return ;;
    --machines | --into) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --at | --length) return ;;
    --code) COMPREPLY=($(compgen -W "u255 linear linear-inverted signed linear-top6" -- "$cur")); return ;;
    --encoder) COMPREPLY=($(compgen -W "dac curve" -- "$cur")); return ;;
    --eprom | --chips) COMPREPLY=($(compgen -W "2716 2732 2764 27128 27256 27512" -- "$cur")); return ;;
    --plot) COMPREPLY=($(compgen -f -X '!*.png' -- "$cur") $(compgen -d -- "$cur")); return ;;
    --preview) COMPREPLY=($(compgen -f -X '!*.wav' -- "$cur") $(compgen -d -- "$cur")); return ;;
    --rate | --out-rate | --region | --plot-size | --size | --gain | --fade | --channel) return ;;
  esac

  if [[ $cur == -* ]]; then
    local options
    options=$("$quorix" "${words[1]}" --help 2>/dev/null | grep -o -- '--[a-z0-9][a-z0-9-]*' | sort -u)
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -F _quorix quorix
